#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "launcher/manifest/md5.h"
#include "manifest_test_support.h"

using namespace manifesttest;

namespace {

TEST(Md5OfFileLarge, SparseFilePastTwoGibMatchesMd5sum) {
  ScratchDir scratch;
  const std::string path = scratch / "sparse.bin";
  // Data at the start and past the 2^31 mark, a hole in between: the bytes
  // that a 32-bit size would lose are real ones.
  WriteFile(path, "head");
  const int fd = ::open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  const char tail[] = "tail bytes past two GiB";
  const off_t at = (off_t{1} << 31) + 12345;
  ASSERT_EQ(::pwrite(fd, tail, sizeof tail - 1, at), static_cast<ssize_t>(sizeof tail - 1));
  ::close(fd);
  EXPECT_EQ(Md5OfFile(path), Md5sumOf(path));
}

}  // namespace
