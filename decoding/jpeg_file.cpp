#include "decoding/jpeg_file.h"

#include <fcntl.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/part_file.h"

namespace {

// Larger pictures are refused rather than encoded (the codec's own limit is 65535).
constexpr int kMaxSide = 65535;

struct HandleCloser {
  void operator()(void* handle) const { tjDestroy(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

struct BufferFree {
  void operator()(unsigned char* buffer) const { tjFree(buffer); }
};
using Buffer = std::unique_ptr<unsigned char, BufferFree>;

bool EqualsNoCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    const char x = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a - 'A' + 'a') : *a;
    if (x != *b) return false;
  }
  return *a == *b;
}

// Writes all of data to fd, retrying short writes.
bool WriteAll(int fd, const unsigned char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// The hidden part a snapshot is written as before it takes its name.
constexpr char kPartPrefix[] = ".rk-snapshot-";

std::string FolderOf(const char* path) {
  const char* slash = std::strrchr(path, '/');
  if (slash == nullptr) return ".";
  return slash == path ? "/" : std::string(path, slash);
}

}  // namespace

bool IsJpegName(const char* path) {
  if (path == nullptr) return false;
  const char* dot = std::strrchr(path, '.');
  if (dot == nullptr || std::strchr(dot, '/') != nullptr) return false;
  return EqualsNoCase(dot, ".jpg") || EqualsNoCase(dot, ".jpeg") || EqualsNoCase(dot, ".jpe");
}

bool WriteJpegFile(const char* path, const uint8_t* bgrx, int width, int height, int rowStride,
                   int quality) {
  if (path == nullptr || *path == '\0' || bgrx == nullptr) return false;
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return false;
  if (rowStride / 4 < width || quality < 1 || quality > 100) return false;

  Handle encoder(tjInitCompress());
  if (!encoder) return false;
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  const int status = tjCompress2(encoder.get(), bgrx, width, rowStride, height, TJPF_BGRX, &out,
                                 &outSize, TJSAMP_420, quality, 0);
  const Buffer jpeg(out);
  if (status != 0 || out == nullptr || outSize == 0) return false;

  RemoveDeadParts(FolderOf(path), kPartPrefix);
  CPartFile part;
  if (part.Create(path, kPartPrefix) != 0) return false;
  // A snapshot the user named replaces the file of that name, never a link or anything else.
  return WriteAll(part.Fd(), jpeg.get(), outSize) && part.MoveIntoPlace(true) == 0;
}

bool ReadJpegFile(const char* path, JpegPicture* picture) {
  if (path == nullptr || picture == nullptr) return false;
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path, "rb"), std::fclose);
  if (!file) return false;
  std::vector<unsigned char> bytes;
  unsigned char chunk[65536];
  size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  if (bytes.empty()) return false;

  Handle decoder(tjInitDecompress());
  if (!decoder) return false;
  int width = 0, height = 0, subsampling = 0, colourSpace = 0;
  if (tjDecompressHeader3(decoder.get(), bytes.data(), bytes.size(), &width, &height, &subsampling,
                          &colourSpace) != 0 ||
      width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
    return false;
  }
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  if (tjDecompress2(decoder.get(), bytes.data(), bytes.size(), pixels.data(), width, width * 4,
                    height, TJPF_BGRA, 0) != 0) {
    return false;
  }
  // TJPF_BGRA fills the fourth byte with 0xFF.
  picture->width = width;
  picture->height = height;
  picture->components = colourSpace == TJCS_GRAY                                 ? 1
                        : (colourSpace == TJCS_CMYK || colourSpace == TJCS_YCCK) ? 4
                                                                                 : 3;
  picture->bgrx = std::move(pixels);
  return true;
}
