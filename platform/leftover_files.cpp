#include "platform/leftover_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

namespace {

bool Stale(const struct stat& info, std::time_t now) {
  const std::time_t changed = info.st_mtime;
  return changed < now - kLeftoverAgeSeconds || changed > now + kLeftoverAgeSeconds;
}

}  // namespace

int RemoveLeftovers(const std::string& folder, LeftoverPattern pattern) {
  if (pattern == nullptr) return 0;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return 0;
  const std::time_t now = std::time(nullptr);
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (!pattern(entry->d_name)) continue;
    struct stat info {};
    // The entry itself, not what a link points to: a link is never ours.
    if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(info.st_mode) || !Stale(info, now)) continue;
    if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}
