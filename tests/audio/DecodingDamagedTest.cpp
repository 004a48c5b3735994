// Cut and damaged copies of the test files: each converts what is readable or fails with a clear
// error; none may crash or hang. The copies are made at test time from a fixed seed.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/audio/DecodingConversion.h"
#include "tests/support/MediaReader.h"
#include "tests/support/TestEnvironment.h"

namespace {

const char* const kFiles[] = {"ra144.ra",    "ra144.rm",     "ac3-stereo.rm", "aac.rm", "video-ac3-mono.rmvb",
                              "u8-mono.wav", "surround51.rm"};

enum class Damage { Cut, Flip };

struct DamageCase {
  std::string file;
  Damage kind;
  int amount;  // Cut: per mille of the file kept (negative: that many bytes); Flip: the seed
  std::string name;
};

// A small deterministic generator, so the corpus is the same everywhere.
uint32_t NextRandom(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

std::string Damaged(const std::string& bytes, const DamageCase& c) {
  if (c.kind == Damage::Cut) {
    const size_t keep = c.amount < 0 ? size_t(-c.amount) : bytes.size() * size_t(c.amount) / 1000;
    return bytes.substr(0, std::min(keep, bytes.size()));
  }
  std::string out = bytes;
  uint32_t state = uint32_t(c.amount) * 2654435761u;
  // Odd seeds hit the header (the first 600 bytes), even seeds the whole file; more flips as seeds grow.
  const size_t span = c.amount % 2 ? std::min<size_t>(600, out.size()) : out.size();
  const int flips = 1 << (c.amount % 7);
  for (int i = 0; i < flips; ++i) {
    const size_t at = NextRandom(state) % span;
    out[at] = char(uint8_t(out[at]) ^ uint8_t(1u << (NextRandom(state) % 8)));
  }
  return out;
}

std::vector<DamageCase> AllCases() {
  std::vector<DamageCase> cases;
  for (const char* file : kFiles) {
    std::string base = file;
    for (char& ch : base) {
      if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    }
    for (int bytes : {1, 16, 100, 300})
      cases.push_back({file, Damage::Cut, -bytes, base + "_cut" + std::to_string(bytes) + "b"});
    for (int permille : {50, 150, 300, 500, 700, 900, 990}) {
      cases.push_back({file, Damage::Cut, permille, base + "_cut" + std::to_string(permille) + "pm"});
    }
    for (int seed = 1; seed <= 8; ++seed)
      cases.push_back({file, Damage::Flip, seed, base + "_flip" + std::to_string(seed)});
  }
  return cases;
}

void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.name; }

class DecodingDamaged : public ::testing::TestWithParam<DamageCase> {};

}  // namespace

TEST_P(DecodingDamaged, ConvertsWhatIsReadableOrFailsClearly) {
  const DamageCase& c = GetParam();
  QTemporaryDir dir;
  const std::string original = ReadWholeFile(TestDataFile(c.file));
  ASSERT_FALSE(original.empty());
  const std::string source = dir.path().toStdString() + "/" + c.name + c.file.substr(c.file.rfind('.'));
  const std::string copy = Damaged(original, c);
  WriteWholeFile(source, copy);
  const std::string mp3 = dir.path().toStdString() + "/out.mp3";

  const DecodingOutcome outcome = ConvertWithDX9(source, mp3, {"Damaged", "", "", "", "", ""});
  if (!outcome.openError.empty()) {
    RecordProperty("outcome", "fails at open: " + outcome.openError);
    EXPECT_NE(outcome.openError, "Unrecognized error value.");
    return;
  }
  if (!outcome.threadError.empty()) {
    RecordProperty("outcome", "fails while converting: " + outcome.threadError);
    EXPECT_FALSE(outcome.done);  // never both an error and a success
    EXPECT_EQ(outcome.threadErrors, 1);
    // Nothing decoded, or a decoder that ran away: nothing left behind. Otherwise what was written is
    // a finished file.
    if (outcome.failure == TSndFailure::NoAudio || outcome.failure == TSndFailure::Damaged) {
      EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(mp3)));
    } else {
      EXPECT_TRUE(DecodeMedia(mp3).ok);
    }
    return;
  }
  ASSERT_TRUE(outcome.done);
  RecordProperty("outcome", "converted");
  // Never more than the bound: one and a half times what the file states or can hold (at 2 kbit/s at
  // the least) plus a minute.
  const DecodedMedia written = DecodeMedia(mp3);
  ASSERT_TRUE(written.ok) << written.error;
  const double holds = std::max(outcome.streamDuration / 1e7, copy.size() * 8 / 2000.0);
  EXPECT_LE(written.DecodedSeconds(), 1.5 * holds + 60 + 1);
  // A copy cut late in the file still gives most of what lies before the cut.
  if (c.kind == Damage::Cut && c.amount >= 500) {
    const DecodedMedia in = DecodeMedia(TestDataFile(c.file));
    const DecodedMedia out = DecodeMedia(mp3);
    ASSERT_TRUE(out.ok) << out.error;
    EXPECT_GE(out.DecodedSeconds(), in.DecodedSeconds() * (c.amount / 1000.0) - 0.5);
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, DecodingDamaged, ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<DamageCase>& info) { return info.param.name; });
