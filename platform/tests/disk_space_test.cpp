#include "platform/disk_space.h"

#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include "support/test_env.h"

namespace {

using platform::FreeDiskBytes;

TEST(FreeDiskBytes, MissingFolderIsMeasuredOnItsNearestExistingAncestor) {
  test_env::TempDir dir;
  std::optional<uint64_t> existing = FreeDiskBytes(dir.path());
  std::optional<uint64_t> missing = FreeDiskBytes(dir / "tarkel.shell/bin/1.0.0");
  ASSERT_TRUE(existing);
  ASSERT_TRUE(missing);
  EXPECT_GT(*existing, 0u);
  // Other tests write to the same disk meanwhile: allow a little drift.
  uint64_t drift = *existing > *missing ? *existing - *missing : *missing - *existing;
  EXPECT_LT(drift, 64u << 20);
}

TEST(FreeDiskBytes, ReportsTheVolumeOfThePathNotOfTheCaller) {
  // /dev/shm is a memory file system of its own size; /proc reports zero.
  struct statvfs shm;
  if (::statvfs("/dev/shm", &shm) != 0) GTEST_SKIP() << "no /dev/shm here";
  std::optional<uint64_t> free = FreeDiskBytes("/dev/shm/no/such/folder");
  ASSERT_TRUE(free);
  uint64_t expected = static_cast<uint64_t>(shm.f_bavail) * shm.f_frsize;
  uint64_t drift = *free > expected ? *free - expected : expected - *free;
  EXPECT_LT(drift, 64u << 20);
  EXPECT_EQ(FreeDiskBytes("/proc/self"), 0u);
}

TEST(FreeDiskBytes, EmptyOrOverlongPathGivesNothing) {
  EXPECT_FALSE(FreeDiskBytes(""));
  EXPECT_FALSE(FreeDiskBytes("/" + std::string(10000, 'x')));
}

}  // namespace
