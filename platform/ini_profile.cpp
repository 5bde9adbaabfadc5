#include "platform/ini_profile.h"

// ANSI text, as the profile functions take it: bytes pass through unconverted.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION  // the templates are compiled here, not linked from the library
#include <SimpleIni.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string_view>

namespace {

std::string Cut(const char* text, int size) {
  if (size < 1 || text == nullptr) return std::string();
  std::string_view view(text);
  return std::string(view.substr(0, static_cast<size_t>(size - 1)));
}

constexpr off_t kMaxIniBytes = 1 << 20;  // far above any profile; guards the read buffer

// Loads path into ini. A missing file is an empty profile; an unreadable one, a folder, a
// device or an oversized file is an error. The file is read here, with its size checked,
// because the library sizes its buffer from a seek that folders and special files answer
// with nonsense.
bool Load(CSimpleIniA& ini, const char* path) {
  struct stat info {};
  if (::stat(path, &info) != 0) return errno == ENOENT;
  if (!S_ISREG(info.st_mode) || info.st_size > kMaxIniBytes) return false;
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::string bytes;
  char chunk[4096];
  ssize_t n = 0;
  while ((n = ::read(fd, chunk, sizeof chunk)) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || bytes.size() + static_cast<size_t>(n) > static_cast<size_t>(kMaxIniBytes)) {
      ::close(fd);
      return false;
    }
    bytes.append(chunk, static_cast<size_t>(n));
  }
  ::close(fd);
  return ini.LoadData(bytes) >= 0;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Replaces path with bytes through a temporary file in the same folder. When the folder
// takes no new file but the old file is writable, it is rewritten in place instead.
bool SaveWhole(const std::string& path, const std::string& bytes) {
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd >= 0) {
    const bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    struct stat old {};
    ::fchmod(fd, ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);
    if (::close(fd) == 0 && ok && std::rename(temp.c_str(), path.c_str()) == 0) return true;
    std::remove(temp.c_str());
    return false;
  }
  const int in = ::open(path.c_str(), O_WRONLY);
  if (in < 0) return false;
  const bool ok = ::ftruncate(in, 0) == 0 && WriteAll(in, bytes);
  return ::close(in) == 0 && ok;
}

}  // namespace

std::string ReadIniString(const char* section, const char* key, const char* defaultValue, int size,
                          const char* path) {
  CSimpleIniA ini;
  if (path == nullptr || section == nullptr || key == nullptr || !Load(ini, path)) {
    return Cut(defaultValue, size);
  }
  return Cut(ini.GetValue(section, key, defaultValue), size);
}

bool WriteIniString(const char* section, const char* key, const char* value, const char* path) {
  if (path == nullptr || section == nullptr || key == nullptr || value == nullptr) return false;
  CSimpleIniA ini;
  if (!Load(ini, path)) return false;
  if (ini.SetValue(section, key, value) < 0) return false;
  std::string bytes;
  if (ini.Save(bytes) < 0) return false;
  return SaveWhole(path, bytes);
}
