// The digests taken while a package unpacks stand in for the check's own
// reading of the files only while those files are what was hashed: a file
// damaged or replaced after it was hashed must give the digest of what is
// on disk now, as md5sum sees it.
#include "launcher/unpacked_digests.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>

#include "support/test_env.h"

namespace {

void Write(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

std::string Md5sum(const std::string& path) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(("md5sum '" + path + "'").c_str(), "r"), pclose);
  char digest[33] = {};
  return pipe && std::fread(digest, 1, 32, pipe.get()) == 32 ? std::string(digest) : std::string();
}

TEST(UnpackedDigests, AFileChangedAfterItWasHashedIsReadAgain) {
  test_env::TempDir dir;
  const std::string kept = dir.path() + "/kept.dll", grown = dir.path() + "/grown.dll",
                    replaced = dir.path() + "/replaced.dll", unseen = dir.path() + "/unseen.dll";
  for (const std::string& path : {kept, grown, replaced, unseen}) Write(path, "as unpacked: " + path);
  UnpackedDigests digests;
  for (const std::string& path : {kept, grown, replaced}) digests.FileWritten(path);
  digests.WaitUntilHashed();

  std::ofstream(grown, std::ios::binary | std::ios::app) << "appended by someone else";
  // Same size, new content, put in place the way installers replace files.
  std::string other = "AS UNPACKED: " + replaced;
  Write(replaced + ".new", other);
  ASSERT_EQ(std::rename((replaced + ".new").c_str(), replaced.c_str()), 0);

  for (const std::string& path : {kept, grown, replaced, unseen, dir.path()}) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0) << path;
    const std::string expected = path == dir.path() ? "" : Md5sum(path);
    EXPECT_EQ(digests.DigestOf(fd), expected) << path << " (a folder has no digest)";
    ::close(fd);
  }
}

}  // namespace
