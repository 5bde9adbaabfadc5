#include "platform/part_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace {

constexpr std::string_view kPartSuffix = ".part";
constexpr size_t kRandomChars = 10;
constexpr int kCreateTries = 64;

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool IsNameChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Ten characters from the kernel's random source; false when it gives none.
bool RandomName(std::string* out) {
  static constexpr char kChars[] =
      "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  unsigned char bytes[kRandomChars];
  if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) return false;
  out->clear();
  for (unsigned char b : bytes) *out += kChars[b % (sizeof kChars - 1)];
  return true;
}

// The process's file-creation mask, read without changing it (umask() would, for every thread).
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
  }
  return 022;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Makes a rename in folder durable; file systems without directory sync are let be.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

CPartFile::~CPartFile() { Discard(); }

int CPartFile::Create(const std::string& destination, const char* prefix) {
  Discard();
  const std::string folder = FolderOf(destination);
  for (int attempt = 0; attempt < kCreateTries; ++attempt) {
    std::string random;
    if (!RandomName(&random)) return EAGAIN;
    const std::string path = folder + "/" + prefix + random + std::string(kPartSuffix);
    const int fd =
        ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return errno;
    }
    // A cleanup that got to the new file between its creation and this lock may have removed
    // it: the lock must be ours and the name must still lead to this file.
    struct stat opened {}, named {};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &opened) != 0 ||
        ::lstat(path.c_str(), &named) != 0 || !SameFile(opened, named)) {
      ::close(fd);
      continue;
    }
    m_fd = fd;
    m_path = path;
    m_destination = destination;
    return 0;
  }
  return EEXIST;
}

std::string CPartFile::FdPath() const { return "/proc/self/fd/" + std::to_string(m_fd); }

int CPartFile::MoveIntoPlace(bool replace) {
  if (m_fd < 0) return EBADF;
  int error = 0;
  // A file cut short by a full disk must not look finished after a crash either.
  if (::fsync(m_fd) != 0 && errno != EINVAL) error = errno;
  struct stat old {};
  const bool exists = error == 0 && ::lstat(m_destination.c_str(), &old) == 0;
  if (error == 0 && exists) {
    if (!S_ISREG(old.st_mode)) error = ELOOP;
    else if (!replace) error = EEXIST;
  }
  if (error == 0) {
    ::fchmod(m_fd, exists ? (old.st_mode & 0777) : (0666 & ~CurrentUmask()));
    if (replace) {
      // rename replaces a link that appeared meanwhile, never what it leads to.
      if (std::rename(m_path.c_str(), m_destination.c_str()) != 0) error = errno;
    } else if (::renameat2(AT_FDCWD, m_path.c_str(), AT_FDCWD, m_destination.c_str(),
                           RENAME_NOREPLACE) != 0) {
      error = errno;
      if (error == EINVAL || error == ENOSYS) {
        // A file system without the flag: check, then rename.
        struct stat st {};
        error = ::lstat(m_destination.c_str(), &st) == 0 ? EEXIST
                : std::rename(m_path.c_str(), m_destination.c_str()) == 0 ? 0
                                                                          : errno;
      }
    }
  }
  if (error != 0) {
    Discard();
    return error;
  }
  Close();
  SyncFolder(FolderOf(m_destination));
  return 0;
}

void CPartFile::Discard() {
  if (m_fd < 0) return;
  // Only the name that still leads to this file: never one that someone put in its place.
  struct stat opened {}, named {};
  if (::fstat(m_fd, &opened) == 0 && ::lstat(m_path.c_str(), &named) == 0 &&
      SameFile(opened, named)) {
    ::unlink(m_path.c_str());
  }
  Close();
}

void CPartFile::Close() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
}

bool IsPartName(std::string_view name, std::string_view prefix) {
  if (name.size() != prefix.size() + kRandomChars + kPartSuffix.size()) return false;
  if (name.substr(0, prefix.size()) != prefix || name.substr(name.size() - kPartSuffix.size()) != kPartSuffix) {
    return false;
  }
  for (char c : name.substr(prefix.size(), kRandomChars)) {
    if (!IsNameChar(c)) return false;
  }
  return true;
}

int RemoveDeadParts(const std::string& folder, const char* prefix) {
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return 0;
  DIR* dir = ::fdopendir(dirFd);
  if (dir == nullptr) {
    ::close(dirFd);
    return 0;
  }
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsPartName(entry->d_name, prefix)) continue;
    const int fd =
        ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat opened {}, named {};
    // Ours, and no writer holds it: a live part is locked by its CPartFile.
    const bool dead = ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) &&
                      opened.st_uid == ::geteuid() && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                      ::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
                      SameFile(opened, named);
    if (dead && ::unlinkat(dirFd, entry->d_name, 0) == 0) ++removed;
    ::close(fd);
  }
  ::closedir(dir);
  return removed;
}

int OpenRegularFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  // Reads of a regular file never block; the flag only kept a FIFO from blocking the open.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}
