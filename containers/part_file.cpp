#include "containers/part_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char kPartSuffix[] = ".part";

}  // namespace

std::string PartPath(const std::string& destination, const char* prefix) {
  static std::atomic<unsigned> counter{0};
  const size_t slash = destination.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : destination.substr(0, slash + 1);
  return folder + prefix + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1)) +
         kPartSuffix;
}

int MoveIntoPlace(const std::string& part, const std::string& destination, bool replace) {
  if (replace) return ::rename(part.c_str(), destination.c_str()) == 0 ? 0 : errno;
  if (::renameat2(AT_FDCWD, part.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) == 0) {
    return 0;
  }
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without the flag: check, then rename.
  struct stat st {};
  if (::lstat(destination.c_str(), &st) == 0) return EEXIST;
  return ::rename(part.c_str(), destination.c_str()) == 0 ? 0 : errno;
}

void RemoveStaleParts(const std::string& folder, const char* prefix) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  const size_t head = std::strlen(prefix), tail = sizeof kPartSuffix - 1;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() <= head + tail || name.compare(0, head, prefix) != 0 ||
        name.compare(name.size() - tail, tail, kPartSuffix) != 0) {
      continue;
    }
    const long pid = std::strtol(name.c_str() + head, nullptr, 10);
    if (pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH)) continue;
    struct stat st {};
    const std::string path = folder + (folder.back() == '/' ? "" : "/") + name;
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(path.c_str());
  }
  ::closedir(dir);
}
