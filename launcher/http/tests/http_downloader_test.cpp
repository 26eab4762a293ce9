#include "launcher/http_downloader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <vector>

#include "launcher/http_client.h"
#include "local_server.h"

namespace varnel_http {
namespace {

using launcher_test::LocalServer;
using launcher_test::ReadFile;
using launcher_test::ScratchDir;

struct RecordingResponder : DownloadProgressResponder {
  void OnProgress(int percent) override { seen.push_back(percent); }
  std::vector<int> seen;
};

// Byte i of a served pattern file is i % 256.
bool IsPattern(const std::string& bytes, std::size_t size) {
  if (bytes.size() != size) return false;
  for (std::size_t i = 0; i < size; ++i) {
    if (static_cast<unsigned char>(bytes[i]) != i % 256) return false;
  }
  return true;
}

// A clock one second further on every time it is read: every progress call
// of the library becomes a new sample.
HttpDownloader::Clock SteppingClock() {
  auto now = std::make_shared<std::int64_t>(1'700'000'000);
  return [now] { return ++*now; };
}

// The wall clock running ten times fast: the rate rules see a real transfer
// from a real slow server, in a tenth of the time.
HttpDownloader::Clock FastForwardClock() {
  const auto begin = std::chrono::steady_clock::now();
  return [begin] {
    const auto real = std::chrono::steady_clock::now() - begin;
    return 1'700'000'000 + std::chrono::duration_cast<std::chrono::milliseconds>(real).count() / 100;
  };
}

class HttpDownloaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.ready()) << "local test server did not start";
    ASSERT_FALSE(scratch_.path().empty());
  }
  std::string Target(const std::string& relative) const { return scratch_.path() + "/" + relative; }
  int RequestsSeen() {
    HttpClient probe;
    EXPECT_TRUE(probe.Request("GET", server_.HttpUrl("/requests"), {}));
    return std::stoi(probe.response_body());
  }

  LocalServer server_;
  ScratchDir scratch_;
  RecordingResponder responder_;
};

TEST_F(HttpDownloaderTest, KnownLengthReportsRisingPercentagesEndingAtHundred) {
  // Sent in five pieces with pauses between, so progress calls see parts.
  HttpDownloader downloader(&responder_, SteppingClock());
  ASSERT_TRUE(downloader.Download(server_.HttpUrl("/trickle/65536/5"), Target("pkg.zip")));
  EXPECT_EQ(downloader.last_code(), 0);
  EXPECT_EQ(ReadFile(Target("pkg.zip")), std::string(5 * 65536, 't'));
  ASSERT_GE(responder_.seen.size(), 2u);
  EXPECT_LT(responder_.seen.front(), 100);
  EXPECT_EQ(responder_.seen.back(), 100);
  for (std::size_t i = 0; i < responder_.seen.size(); ++i) {
    EXPECT_GE(responder_.seen[i], 0);
    EXPECT_LE(responder_.seen[i], 100);
    if (i > 0) {
      EXPECT_GE(responder_.seen[i], responder_.seen[i - 1]);
    }
  }
}

TEST_F(HttpDownloaderTest, LargeFilesArriveIntact) {
  constexpr std::size_t kSize = 24 * 1024 * 1024 + 17;
  HttpDownloader downloader(&responder_);
  ASSERT_TRUE(downloader.Download(server_.HttpUrl("/file/" + std::to_string(kSize)), Target("big.zip")));
  EXPECT_TRUE(IsPattern(ReadFile(Target("big.zip")), kSize));
  EXPECT_EQ(responder_.seen.back(), 100);
}

TEST_F(HttpDownloaderTest, UnknownLengthReportsOnlyTheFinalHundred) {
  HttpDownloader downloader(&responder_, SteppingClock());
  ASSERT_TRUE(downloader.Download(server_.HttpUrl("/trickle/65536/5?nolength"), Target("pkg.zip")));
  EXPECT_EQ(ReadFile(Target("pkg.zip")), std::string(5 * 65536, 't'));
  EXPECT_EQ(responder_.seen, std::vector<int>{100});

  constexpr std::size_t kSize = 2 * 1024 * 1024;
  ASSERT_TRUE(downloader.Download(server_.HttpUrl("/nolength/" + std::to_string(kSize)), Target("pkg.zip")));
  EXPECT_TRUE(IsPattern(ReadFile(Target("pkg.zip")), kSize));
}

TEST_F(HttpDownloaderTest, FollowsRedirectsCreatesMissingFoldersAndTruncates) {
  const std::string target = Target("dir/sub/file.zip");
  ASSERT_TRUE(HttpDownloader(nullptr).Download(server_.HttpUrl("/redirect-file/5000"), target));
  EXPECT_TRUE(IsPattern(ReadFile(target), 5000));

  std::ofstream(target, std::ios::binary) << std::string(1 << 20, 'o');
  ASSERT_TRUE(HttpDownloader(nullptr).Download(server_.HttpUrl("/file/100"), target));
  EXPECT_TRUE(IsPattern(ReadFile(target), 100));
}

TEST_F(HttpDownloaderTest, HttpErrorsAndUnverifiedCertificatesFail) {
  HttpDownloader downloader(&responder_);
  EXPECT_FALSE(downloader.Download(server_.HttpUrl("/status/404"), Target("missing.zip")));
  EXPECT_EQ(downloader.last_code(), CURLE_HTTP_RETURNED_ERROR);
  // Unlike the version query, a package download checks the certificate.
  EXPECT_FALSE(downloader.Download(server_.HttpsUrl("/file/100"), Target("secure.zip")));
  EXPECT_EQ(downloader.last_code(), CURLE_PEER_FAILED_VERIFICATION);
  EXPECT_TRUE(responder_.seen.empty());
  // The same object goes on working after failures.
  EXPECT_TRUE(downloader.Download(server_.HttpUrl("/file/10"), Target("after.zip")));
}

TEST_F(HttpDownloaderTest, UnwritableTargetsAndBadUrlsFailWithoutTouchingTheNetwork) {
  std::ofstream(Target("blocker")) << "a file where a folder should be";
  std::ofstream(Target("keep.zip")) << "earlier download";
  HttpDownloader downloader(&responder_);
  EXPECT_FALSE(downloader.Download(server_.HttpUrl("/file/100"), Target("blocker/file.zip")));
  EXPECT_FALSE(downloader.Download(server_.HttpUrl("/file/100"), scratch_.path()));
  for (const std::string& url : {std::string(), server_.HttpUrl("/file/100\r\nX: 1"), std::string("\x01")}) {
    EXPECT_FALSE(downloader.Download(url, Target("keep.zip")));
    EXPECT_EQ(downloader.last_code(), CURLE_URL_MALFORMAT);
  }
  EXPECT_EQ(ReadFile(Target("keep.zip")), "earlier download");
  EXPECT_EQ(RequestsSeen(), 0);
  EXPECT_TRUE(responder_.seen.empty());
}

TEST_F(HttpDownloaderTest, ARealSlowTransferIsAbortedByTheAverageRule) {
  // 100 B/s for 2 s of real time: 20 s on the fast clock, well under the
  // 512 B/s the average must reach once 15 s have passed.
  const std::string url = server_.HttpUrl("/trickle/10/20");
  HttpDownloader guarded(&responder_, FastForwardClock());
  const auto begin = std::chrono::steady_clock::now();
  EXPECT_FALSE(guarded.Download(url, Target("slow.zip")));
  EXPECT_EQ(guarded.last_code(), CURLE_ABORTED_BY_CALLBACK);
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(1900));
  EXPECT_FALSE(ReadFile(Target("slow.zip")).empty());  // partial file stays for the caller

  // Without a responder the rules are off and the same transfer completes.
  HttpDownloader unguarded(nullptr, FastForwardClock());
  EXPECT_TRUE(unguarded.Download(url, Target("slow.zip")));
  EXPECT_EQ(ReadFile(Target("slow.zip")), std::string(200, 't'));
}

}  // namespace
}  // namespace varnel_http
