#include "platform/removable_drives.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace roadkeep::platform {
namespace {

bool IsDirectory(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// mountinfo escapes blanks and the like as \ooo.
std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size()) {
      const std::string octal = text.substr(i + 1, 3);
      if (octal.size() == 3 && std::all_of(octal.begin(), octal.end(),
                                           [](char c) { return c >= '0' && c <= '7'; })) {
        out += static_cast<char>(std::strtol(octal.c_str(), nullptr, 8));
        i += 3;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

// Whether the block device major:minor (or its parent disk) is marked removable.
bool DeviceRemovable(const std::string& majorMinor, const std::string& sysBlock) {
  if (majorMinor.rfind("0:", 0) == 0) return false;  // virtual file systems have no device
  std::ifstream uevent("/sys/dev/block/" + majorMinor + "/uevent");
  std::string line, devname;
  while (std::getline(uevent, line)) {
    if (StartsWith(line, "DEVNAME=")) devname = line.substr(8);
  }
  if (devname.empty()) return false;
  // A partition (sdb1, mmcblk0p1) takes the flag of its disk.
  for (std::string disk = devname; !disk.empty(); disk.pop_back()) {
    std::ifstream flag(sysBlock + "/" + disk + "/removable");
    int value = 0;
    if (flag >> value) return value == 1;
  }
  return false;
}

}  // namespace

std::vector<std::string> RemovableMountsFrom(const std::string& mountinfo,
                                             const std::string& sysBlock) {
  std::vector<std::string> mounts;
  std::istringstream lines(mountinfo);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string id, parent, majorMinor, root, mountPoint;
    if (!(fields >> id >> parent >> majorMinor >> root >> mountPoint)) continue;
    mountPoint = Unescape(mountPoint);
    // The mount's source follows the separator " - " and the file system type. Only a local
    // block device can be a card: a network share under /media may hang whoever looks at it.
    std::string word, type, source;
    while (fields >> word && word != "-") {
    }
    fields >> type >> source;
    const bool blockDevice = majorMinor.rfind("0:", 0) != 0 || StartsWith(source, "/dev/");
    if (!blockDevice) continue;
    const bool mediaFolder = StartsWith(mountPoint, "/media/") || StartsWith(mountPoint, "/run/media/");
    if (mediaFolder || DeviceRemovable(majorMinor, sysBlock)) mounts.push_back(mountPoint);
  }
  std::sort(mounts.begin(), mounts.end());
  mounts.erase(std::unique(mounts.begin(), mounts.end()), mounts.end());
  return mounts;
}

std::vector<std::string> RemovableVolumes() {
  const char* dirs = std::getenv("ROADKEEP_CARD_DIRS");
  return RemovableVolumes(dirs ? dirs : "");
}

std::vector<std::string> RemovableVolumes(const std::string& cardDirs) {
  std::vector<std::string> volumes;
  std::istringstream list(cardDirs);
  std::string dir;
  while (std::getline(list, dir, ':')) {
    if (IsDirectory(dir)) volumes.push_back(dir);
  }
  std::ifstream in("/proc/self/mountinfo");
  std::stringstream text;
  text << in.rdbuf();
  for (const std::string& mount : RemovableMountsFrom(text.str(), "/sys/block")) {
    if (IsDirectory(mount) &&
        std::find(volumes.begin(), volumes.end(), mount) == volumes.end()) {
      volumes.push_back(mount);
    }
  }
  return volumes;
}

}  // namespace roadkeep::platform
