#include "platform/removable_drives.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/support/temp_dir.h"

namespace {

using roadkeep::platform::RemovableMountsFrom;
using roadkeep::platform::RemovableVolumes;
using roadkeep::test::TempDir;

// Network shares and virtual file systems under /media are never looked at: a hung share
// must not freeze the card watch. A card through FUSE (ntfs-3g) still counts.
TEST(RemovableDrives, TakesLocalMediaMountsFromTheMountTable) {
  const std::string mountinfo =
      "22 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw\n"
      "40 22 8:17 / /media/kim/CARD rw - vfat /dev/sdb1 rw\n"
      "41 22 8:33 / /run/media/lee/SD\\040CARD rw - exfat /dev/sdc1 rw\n"
      "42 22 0:5 / /proc rw - proc proc rw\n"
      "43 22 0:52 / /media/kim/share rw shared:7 - cifs //nas/cards rw\n"
      "44 22 0:53 / /media/kim/remote rw - fuse.sshfs kim@host:/cards rw\n"
      "45 22 0:54 / /media/kim/nfs rw - nfs4 host:/export rw\n"
      "46 22 0:55 / /media/kim/NTFS rw - fuseblk /dev/sdd1 rw\n"
      "garbage line\n"
      "\n";
  const auto mounts = RemovableMountsFrom(mountinfo, "/nonexistent");
  EXPECT_EQ(mounts, (std::vector<std::string>{"/media/kim/CARD", "/media/kim/NTFS",
                                              "/run/media/lee/SD CARD"}));
}

TEST(RemovableDrives, CardDirsComeFirstInTheirOrder) {
  TempDir a, b;
  const std::string dirs = b.Path().string() + "::/nonexistent-card:" + a.Path().string();
  setenv("ROADKEEP_CARD_DIRS", dirs.c_str(), 1);
  const auto volumes = RemovableVolumes();
  ASSERT_GE(volumes.size(), 2u);
  EXPECT_EQ(volumes[0], b.Path().string());
  EXPECT_EQ(volumes[1], a.Path().string());
  unsetenv("ROADKEEP_CARD_DIRS");
}

}  // namespace
