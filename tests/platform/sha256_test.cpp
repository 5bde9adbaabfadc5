// SHA-256 against coreutils' sha256sum on real files, and the FIPS 180-4 example.
#include "platform/sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

using roadkeep::test::CommandOutput;
using roadkeep::test::TempDir;
using roadkeep::test::WriteAll;

TEST(Sha256, AbcIsTheStandardDigest) {
  const std::string abc = "abc";
  EXPECT_EQ(Sha256Hex({reinterpret_cast<const uint8_t*>(abc.data()), abc.size()}),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(Sha256, FilesAndBytesAgreeWithSha256sum) {
  const TempDir dir;
  // Sizes around the block and the padding boundaries and past the 1 MiB read.
  for (const size_t size : {size_t{0}, size_t{1}, size_t{55}, size_t{56}, size_t{64},
                            size_t{1} << 20, (size_t{1} << 20) + 3}) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 131 + (i >> 9));
    const std::string path = dir.File("f" + std::to_string(size));
    WriteAll(path, bytes);
    const std::string expected = CommandOutput("sha256sum " + path).substr(0, 64);
    ASSERT_EQ(expected.size(), 64u);
    EXPECT_EQ(Sha256OfFile(path), expected) << size;
    EXPECT_EQ(Sha256Hex(bytes), expected) << size;
    // Fed in uneven pieces, the digest is the same.
    CSha256 pieces;
    for (size_t at = 0; at < size; at += 7) {
      pieces.Update(std::span<const uint8_t>(bytes).subspan(at, std::min<size_t>(7, size - at)));
    }
    EXPECT_EQ(pieces.FinishHex(), expected) << size;
  }
}

TEST(Sha256, MissingFileGivesNoDigestAndItsError) {
  const TempDir dir;
  int error = 0;
  EXPECT_EQ(Sha256OfFile(dir.File("none"), &error), "");
  EXPECT_EQ(error, ENOENT);
}

}  // namespace
