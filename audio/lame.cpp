#include "audio/lame.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

TLameEntryPoints Lame;
TLameGetLametagFrame LameGetLametagFrame = nullptr;
TLameGetId3v1Tag LameGetId3v1Tag = nullptr;

namespace {

std::mutex loadMutex;
void* libraryHandle = nullptr;
int loadCount = 0;  // LoadLame calls not yet matched by UnloadLame
std::string libraryFile = LameLibraryDefaultFile;

template <typename Fn>
void Resolve(Fn& slot, const char* name) {
  slot = reinterpret_cast<Fn>(dlsym(libraryHandle, name));
}

// Reads exactly count bytes at offset; false at the end of the file or on an error.
bool ReadAt(int fd, unsigned char* data, size_t count, off_t offset) {
  while (count > 0) {
    const ssize_t n = pread(fd, data, count, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    count -= size_t(n);
    offset += n;
  }
  return true;
}

bool WriteAt(int fd, const unsigned char* data, size_t count, off_t offset) {
  while (count > 0) {
    const ssize_t n = pwrite(fd, data, count, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    count -= size_t(n);
    offset += n;
  }
  return true;
}

bool IsFrameSync(const unsigned char* h) {
  // 11 sync bits, a valid version, layer III, a bitrate index other than free and bad, a valid rate.
  return h[0] == 0xFF && (h[1] & 0xE0) == 0xE0 && (h[1] & 0x18) != 0x08 && (h[1] & 0x06) == 0x02 &&
         (h[2] & 0xF0) != 0xF0 && (h[2] & 0xF0) != 0 && (h[2] & 0x0C) != 0x0C;
}

// Size of a leading ID3v2 tag (header, body and footer), 0 when the file starts with none.
off_t LeadingId3v2Size(int fd) {
  unsigned char header[10];
  if (!ReadAt(fd, header, sizeof header, 0) || std::memcmp(header, "ID3", 3) != 0 || header[3] == 0xFF ||
      ((header[6] | header[7] | header[8] | header[9]) & 0x80)) {
    return 0;
  }
  const off_t size =
      (off_t(header[6]) << 21) | (off_t(header[7]) << 14) | (off_t(header[8]) << 7) | off_t(header[9]);
  return 10 + size + ((header[5] & 0x10) ? 10 : 0);  // footer flag
}

}  // namespace

std::string LameLibraryFile() {
  std::lock_guard<std::mutex> lock(loadMutex);
  return libraryFile;
}

void SetLameLibraryFile(const std::string& fileName) {
  std::lock_guard<std::mutex> lock(loadMutex);
  libraryFile = fileName;
}

void LoadLame(const std::string& fileName) {
  std::lock_guard<std::mutex> lock(loadMutex);
  if (libraryHandle) {
    ++loadCount;
    return;
  }
  libraryHandle = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!libraryHandle) return;
  loadCount = 1;
  // Every name in its order; a name the library does not export stays empty.
#define TOLVANE_LAME_RESOLVE(name, result, params) Resolve(Lame.name, #name);
  TOLVANE_LAME_ENTRY_POINTS(TOLVANE_LAME_RESOLVE)
#undef TOLVANE_LAME_RESOLVE
  Resolve(LameGetLametagFrame, "lame_get_lametag_frame");
  Resolve(LameGetId3v1Tag, "lame_get_id3v1_tag");
}

void UnloadLame() {
  std::lock_guard<std::mutex> lock(loadMutex);
  if (!libraryHandle) return;
  if (--loadCount > 0) return;
  loadCount = 0;
  dlclose(libraryHandle);
  libraryHandle = nullptr;
  Lame = TLameEntryPoints();
  LameGetLametagFrame = nullptr;
  LameGetId3v1Tag = nullptr;
}

bool LameLoaded() {
  std::lock_guard<std::mutex> lock(loadMutex);
  return libraryHandle != nullptr;
}

unsigned long WriteTagFrameAt(int fd, int64_t firstFrameOffset, const unsigned char* frame, size_t size) {
  if (size == 0) return ENODATA;
  const off_t offset = firstFrameOffset < 0 ? LeadingId3v2Size(fd) : off_t(firstFrameOffset);
  struct stat info {};
  unsigned char header[4];
  if (fstat(fd, &info) != 0) return errno;
  if (offset + off_t(size) > info.st_size || !ReadAt(fd, header, sizeof header, offset) ||
      !IsFrameSync(header))
    return ENODATA;  // no frame to replace there: the file is left as it is
  errno = 0;
  return WriteAt(fd, frame, size, offset) ? 0 : errno ? errno : EIO;
}

unsigned long WriteTagFrameAt(const char* path, int64_t firstFrameOffset, const unsigned char* frame,
                              size_t size) {
  if (size == 0) return ENODATA;
  const int fd = open(path, O_RDWR | O_CLOEXEC);
  if (fd < 0) return errno;
  unsigned long result = WriteTagFrameAt(fd, firstFrameOffset, frame, size);
  if (close(fd) != 0 && result == 0 && errno != EINTR) result = errno;
  return result;
}

namespace {

// The encoder's LAME/Xing frame; the encoder is released. Empty, with result set, when there is none to
// write (0: the encoder writes no tag, its frames being too small to hold one).
std::vector<unsigned char> TakeLametagFrame(lame_global_flags* encoder, unsigned long& result) {
  result = 0;
  // The largest MPEG-1/2 layer III frame is 1441 bytes; the encoder says when it needs more.
  std::vector<unsigned char> frame(4096);
  size_t size = LameGetLametagFrame ? LameGetLametagFrame(encoder, frame.data(), frame.size()) : 0;
  if (size > frame.size()) {
    frame.resize(size);
    size = LameGetLametagFrame(encoder, frame.data(), frame.size());
  }
  if (size == 0 && LameGetLametagFrame) {
    frame.clear();  // the encoder writes no tag: nothing to replace
  } else if (size == 0 || size > frame.size()) {
    frame.clear();
    result = ENODATA;
  } else {
    frame.resize(size);
  }
  if (Lame.lame_close) Lame.lame_close(encoder);
  return frame;
}

}  // namespace

unsigned long WriteInfoTagAt(lame_global_flags* encoder, int fd, int64_t firstFrameOffset) {
  if (!encoder) return EINVAL;
  unsigned long result = 0;
  const std::vector<unsigned char> frame = TakeLametagFrame(encoder, result);
  return frame.empty() ? result : WriteTagFrameAt(fd, firstFrameOffset, frame.data(), frame.size());
}

unsigned long WriteInfoTagAt(lame_global_flags* encoder, const char* path, int64_t firstFrameOffset) {
  if (!encoder) return EINVAL;
  unsigned long result = 0;
  const std::vector<unsigned char> frame = TakeLametagFrame(encoder, result);
  return frame.empty() ? result : WriteTagFrameAt(path, firstFrameOffset, frame.data(), frame.size());
}

unsigned long beWriteInfoTag(lame_global_flags* encoder, const char* path) {
  return WriteInfoTagAt(encoder, path, -1);
}
