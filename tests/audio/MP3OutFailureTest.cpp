// Failures of the MP3 sink are errors, never a run that looks done: writes that fail, settings the
// encoder refuses, a source that gives no audio. Also sources far below the output rate, and the
// Info frame placed right after the sink's own ID3v2 tag.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <cerrno>

extern "C" {
#include <libavutil/error.h>
}

#include "MP3OutTestRun.h"
#include "Mp3FrameReader.h"
#include "audio/AudioReadError.h"
#include "tests/support/MediaReader.h"
#include "tests/support/TestEnvironment.h"

namespace {

class MP3OutFailure : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const {
    return dir_.filePath(QString::fromStdString(name)).toStdString();
  }
  // Runs out on source into path until OnDone or OnThreadException, then a little longer so that a
  // second report would be seen.
  void Run(TMP3Out& out, TSndInput& source, const std::string& path) {
    outcome_.Attach(out);
    out.FileName = path;
    out.SetInput(&source);
    out.Start();
    ASSERT_TRUE(PumpUntil([&] { return outcome_.Finished(); }));
    PumpFor(50);
    out.OnDone = nullptr;
    out.OnThreadException = nullptr;
  }
  void ExpectOneError(TSndFailure failure) {
    EXPECT_EQ(outcome_.done, 0);
    ASSERT_EQ(outcome_.errors, 1);
    EXPECT_EQ(outcome_.failures[0], failure) << outcome_.messages[0];
  }
  QTemporaryDir dir_;
  Mp3RunOutcome outcome_;
};

bool IsCharacterDevice(const char* path) {
  struct stat info {};
  return stat(path, &info) == 0 && S_ISCHR(info.st_mode);
}

// An attached output stream that refuses every write once Fail is set, as a disk that fills up.
class TFailingStream : public TByteStream {
 public:
  int64_t Write(const void*, int64_t count) override {
    if (Fail.load()) return 0;
    Bytes += count;
    return count;
  }
  int LastError() const override { return Fail.load() ? EIO : 0; }
  std::atomic<bool> Fail{false};
  int64_t Bytes = 0;
};

bool Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

TEST_F(MP3OutFailure, ADeviceAsOutputIsRefusedBeforeAnythingIsWritten) {
  ASSERT_TRUE(IsCharacterDevice("/dev/full"));
  TSineSource source(44100, 2, 440, 3.0);
  TMP3Out out;
  out.Id3TagTitle = "Full";
  Run(out, source, "/dev/full");
  ExpectOneError(TSndFailure::CannotCreate);
  EXPECT_EQ(outcome_.messages[0], "Cannot create file \"/dev/full\". It is not a regular file");
  EXPECT_EQ(out.State(), TOutputState::Idle);
  EXPECT_FALSE(source.Busy);
  EXPECT_EQ(source.OpenCount, 0);
  EXPECT_FALSE(out.CreatedFile().Known);
  EXPECT_TRUE(IsCharacterDevice("/dev/full"));  // a device is never removed as a failed output
}

TEST_F(MP3OutFailure, AWriteThatFailsWhileFinishingIsReportedOnceAndNotAsDone) {
  TSineSource source(44100, 2, 440, 1.0);
  const int lastRead = int(source.Frames * 4 / TMP3Out::InBlockSize) + 1;  // the read that returns 0
  TFailingStream stream;
  source.OnRead = [&](int index) {
    if (index == lastRead) stream.Fail = true;
  };
  TMP3Out out;
  out.StreamAttached = true;
  out.Stream = &stream;
  Run(out, source, "attached.mp3");
  ExpectOneError(TSndFailure::WriteFailed);
  EXPECT_EQ(outcome_.messages[0], "Cannot write file \"attached.mp3\". Input/output error");
  EXPECT_EQ(outcome_.systemErrors[0], EIO);
  EXPECT_GT(stream.Bytes, 10000);  // the audio blocks went out; the flush did not
  EXPECT_EQ(source.Reads, lastRead + 1);
  EXPECT_FALSE(source.Busy);
  EXPECT_EQ(source.OpenCount, 0);
  EXPECT_EQ(out.State(), TOutputState::Idle);
}

TEST_F(MP3OutFailure, SettingsTheEncoderRefusesWriteNoFile) {
  TSineSource source(0, 2, 440, 1.0);  // an input rate of 0 Hz
  TMP3Out out;
  out.Id3TagTitle = "Refused";
  const std::string path = Path("refused.mp3");
  Run(out, source, path);
  ExpectOneError(TSndFailure::Other);
  EXPECT_NE(outcome_.messages[0].find("The MP3 encoder refused the settings"), std::string::npos)
      << outcome_.messages[0];
  EXPECT_NE(outcome_.messages[0].find("input rate 0 Hz"), std::string::npos) << outcome_.messages[0];
  EXPECT_FALSE(Exists(path));
  EXPECT_FALSE(source.Busy);
  EXPECT_EQ(source.OpenCount, 0);
}

TEST_F(MP3OutFailure, ASourceWithoutAudioLeavesNoFile) {
  {
    TSineSource empty(44100, 2, 440, 0.0);
    empty.FileName = "/music/empty.rm";
    TMP3Out out;
    out.Id3TagTitle = "Nothing";
    const std::string path = Path("empty.mp3");
    Run(out, empty, path);
    ExpectOneError(TSndFailure::NoAudio);
    EXPECT_EQ(outcome_.messages[0], "Cannot convert \"/music/empty.rm\": no audio could be decoded.");
    EXPECT_FALSE(Exists(path));
    EXPECT_FALSE(empty.Busy);
  }
  // A decoder that fails before it gives anything: the same, with the decoder's reason.
  outcome_.errors = 0;
  outcome_.messages.clear();
  outcome_.failures.clear();
  TSineSource broken(44100, 2, 440, 5.0);
  broken.FileName = "/music/cut.rm";
  broken.OnRead = [](int) { CheckResult(AVERROR_INVALIDDATA); };
  TMP3Out out;
  const std::string path = Path("cut.mp3");
  Run(out, broken, path);
  ExpectOneError(TSndFailure::NoAudio);
  EXPECT_EQ(outcome_.messages[0], "Cannot convert \"/music/cut.rm\": no audio could be decoded (" +
                                      AudioReadErrorText(AVERROR_INVALIDDATA) + ").");
  EXPECT_FALSE(Exists(path));
}

TEST_F(MP3OutFailure, AReaderErrorAfterAudioKeepsAPlayableFile) {
  TSineSource source(44100, 2, 440, 30.0);
  source.OnRead = [](int index) {
    if (index == 50) CheckResult(AVERROR_INVALIDDATA);
  };
  TMP3Out out;
  out.EnableVBR = 1;
  out.WriteVBRHeader = 1;
  const std::string path = Path("half.mp3");
  Run(out, source, path);
  EXPECT_EQ(outcome_.done, 0);
  ASSERT_EQ(outcome_.errors, 1);
  EXPECT_EQ(outcome_.messages[0], AudioReadErrorText(AVERROR_INVALIDDATA));
  const DecodedMedia media = DecodeMedia(path);
  ASSERT_TRUE(media.ok) << media.error;
  EXPECT_NEAR(media.DecodedSeconds(), 50 * 4096 / 44100.0, 0.1);
  EXPECT_EQ(ReadMp3Layout(ReadWholeFile(path)).xingId, "Xing");
}

TEST_F(MP3OutFailure, SourcesFarBelowTheOutputRateEncodeWhole) {
  for (const int rate : {1000, 5000}) {
    SCOPED_TRACE(rate);
    for (const int channels : {1, 2}) {
      TSineSource source(rate, channels, rate / 8.0, 4.0);
      TMP3Out out;
      out.SampleRate = sr41kHz;  // the progress window's choice: 44.1 times the input rate at 1 kHz
      const std::string path = Path("slow.mp3");
      ASSERT_TRUE(EncodeToFile(out, source, path)) << channels << " channels";
      const DecodedMedia media = DecodeMedia(path);
      ASSERT_TRUE(media.ok) << media.error;
      EXPECT_EQ(media.sampleRate, 44100);
      EXPECT_NEAR(media.DecodedSeconds(), 4.0, 0.1);
    }
  }
  EXPECT_EQ(TMP3Out::OutBufferSizeFor(8192, 44100, 44100), TMP3Out::OutBufferSize);
  EXPECT_EQ(TMP3Out::OutBufferSizeFor(8192, 48000, 32000), TMP3Out::OutBufferSize);
  EXPECT_EQ(TMP3Out::OutBufferSizeFor(8192, 1000, 44100), 451584 + 7200);
}

// A source far below any real rate (a damaged header saying 8 Hz) once asked for the MP3 buffer of a
// whole block upsampled 5512 times (56 MB); its blocks now go to the encoder in pieces.
TEST_F(MP3OutFailure, ASourceOfEightHertzEncodesInPiecesWithinABoundedBuffer) {
  for (const int channels : {1, 2}) {
    SCOPED_TRACE(channels);
    TSineSource source(8, channels, 1, 6.0);
    TMP3Out out;
    out.SampleRate = sr41kHz;
    const std::string path = Path("eight-hertz.mp3");
    ASSERT_TRUE(EncodeToFile(out, source, path));
    const DecodedMedia media = DecodeMedia(path);
    ASSERT_TRUE(media.ok) << media.error;
    EXPECT_NEAR(media.DecodedSeconds(), 6.0, 0.1);
  }
  EXPECT_LE(TMP3Out::OutBufferSizeFor(TMP3Out::EncodeChunkFor(8192, 8, 44100), 8, 44100),
            TMP3Out::MaxOutBufferSize);
  // Real rates keep one call a block.
  EXPECT_EQ(TMP3Out::EncodeChunkFor(8192, 8000, 44100), 8192);
  EXPECT_EQ(TMP3Out::EncodeChunkFor(8192, 44100, 44100), 8192);
}

TEST_F(MP3OutFailure, InfoFrameFollowsATagThatHoldsFrameSyncBytes) {
  TSineSource source(44100, 2, 440, 2.0);
  TMP3Out out;
  // U+FBFF is the bytes FF FB in UTF-16LE: a frame sync of MPEG-1 layer III, followed by bytes that
  // make a plausible header.
  out.Id3TagTitle = "\xEF\xAF\xBF\xEF\xAF\xBF\xE4\x80\x80 sync";
  out.Id3TagComment = "\xEF\xAF\xBF\xE9\x82\x90";
  const std::string path = Path("sync.mp3");
  ASSERT_TRUE(EncodeToFile(out, source, path));
  const std::string bytes = ReadWholeFile(path);
  const Mp3Layout layout = ReadMp3Layout(bytes);
  ASSERT_GT(layout.id3v2Size, 10u);
  EXPECT_NE(bytes.substr(0, layout.id3v2Size).find("\xFF\xFB"), std::string::npos);
  ASSERT_FALSE(layout.frames.empty());
  EXPECT_EQ(layout.frames[0].offset, layout.id3v2Size);
  EXPECT_EQ(layout.xingId, "Info");
  // The Info frame carries LAME's tag, which counts the whole file's frames.
  EXPECT_EQ(bytes.substr(layout.id3v2Size + 36, 4), "Info");
  const DecodedMedia media = DecodeMedia(path);
  ASSERT_TRUE(media.ok) << media.error;
  EXPECT_EQ(media.tags.at("title"), out.Id3TagTitle);
}

}  // namespace
