#include "launcher/url_test.h"

#include <gtest/gtest.h>

#include <regex>

#include "local_server.h"

namespace url_test {
namespace {

using launcher_test::LocalServer;

constexpr char kQueryPath[] = "/public/versions/shell/teacher";

// A gateway on an ephemeral HTTPS port answering the version query with body.
std::unique_ptr<LocalServer> Gateway(const std::string& body) {
  return std::make_unique<LocalServer>(std::vector<std::string>{
      "--http-port", "-1", "--https-port", "0", "--version-path", kQueryPath, "--version-body", body});
}

std::string Base(const LocalServer& server) { return server.HttpsUrl(""); }

// Runs one block into memory, with the time stamps made stable.
std::string Block(const std::vector<std::string>& bases) {
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* memory = open_memstream(&text, &size);
  WriteUrlTestBlock(memory, bases);
  std::fclose(memory);
  std::string block(text, size);
  std::free(text);
  return std::regex_replace(block, std::regex("\\?tm=-?[0-9]+"), "?tm=T");
}

TEST(UrlTestProbeUrl, CarriesTheLowThirtyTwoBitsOfTheTimeAsASignedNumber) {
  EXPECT_EQ(VersionProbeUrl("https://gw", 1'700'000'000), "https://gw/public/versions/shell/teacher?tm=1700000000");
  EXPECT_EQ(VersionProbeUrl("https://gw", 0x180000000LL), "https://gw/public/versions/shell/teacher?tm=-2147483648");
}

TEST(UrlTestBlock, DifferingRepliesAndRefusedQueriesAreCountedApart) {
  auto first = Gateway("{\"version\":\"2.0.1\"}");
  auto other = Gateway("{\"version\":\"2.0.2\"}");
  ASSERT_TRUE(first->ready() && other->ready());
  const std::string a = Base(*first), b = Base(*other);
  const std::string q = std::string(kQueryPath) + "?tm=T";
  // A status other than 200 counts as a failed query ("#" turns the query
  // path into a fragment, so the server sees /status/404).
  const std::string missing = first->HttpsUrl("/status/404#");

  EXPECT_EQ(Block({a, b, a, missing}),
            "begin TestVerUrl with 4 urls\n"
            "[0] got fist response from " + a + q + "\n {\"version\":\"2.0.1\"}\n"
            "[1] UrlDismatch " + b + q + ":\n{\"version\":\"2.0.2\"}\n"
            "[3] UrlError " + missing + q + "\n"
            "done TestVerUrl: 1 dismatch,1 error\n\n");
}

TEST(UrlTestBlock, AnEmptyFirstReplyLeavesTheReferenceEmpty) {
  auto empty = Gateway("");
  auto full = Gateway("v1");
  ASSERT_TRUE(empty->ready() && full->ready());
  const std::string a = Base(*empty), b = Base(*full);
  const std::string q = std::string(kQueryPath) + "?tm=T";
  EXPECT_EQ(Block({a, b, b}),
            "begin TestVerUrl with 3 urls\n"
            "[0] got fist response from " + a + q + "\n \n"
            "[1] got fist response from " + b + q + "\n v1\n"
            "done TestVerUrl: 0 dismatch,0 error\n\n");
}

}  // namespace
}  // namespace url_test
