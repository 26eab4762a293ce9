#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

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
  // md5sum runs beside our hash: two passes over 2 GiB cost one.
  FILE* oracle = ::popen(("md5sum '" + path + "'").c_str(), "r");
  ASSERT_NE(oracle, nullptr);
  const std::string ours = Md5OfFile(path);
  char theirs[33] = {};
  ASSERT_EQ(std::fread(theirs, 1, 32, oracle), 32u);
  ::pclose(oracle);
  EXPECT_EQ(ours, theirs);
}

}  // namespace
