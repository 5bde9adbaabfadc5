// Removable volumes of this PC: the directories named in ROADKEEP_CARD_DIRS (colon-separated;
// they count as removable drives, for tests and demos), then removable mounts from the
// mount table (under /media or /run/media, or on a block device marked removable); only
// mounts of local block devices count, never network shares or virtual file systems.
#pragma once

#include <string>
#include <vector>

namespace roadkeep::platform {

// Mount points of the removable volumes, in a stable order; empty entries and missing
// directories are left out.
std::vector<std::string> RemovableVolumes();
// The same with cardDirs in place of ROADKEEP_CARD_DIRS, for a thread that must not read the
// environment while another may change it.
std::vector<std::string> RemovableVolumes(const std::string& cardDirs);

// The mount points in a mountinfo text (as /proc/self/mountinfo) that count as removable.
// sysBlock is the folder holding <device>/removable (normally /sys/block).
std::vector<std::string> RemovableMountsFrom(const std::string& mountinfo,
                                             const std::string& sysBlock);

}  // namespace roadkeep::platform
