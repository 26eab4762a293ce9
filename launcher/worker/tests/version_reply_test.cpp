#include "launcher/version_reply.h"

#include <gtest/gtest.h>

namespace {

TEST(VersionReplyReading, UrlListIsUrlThenUrlsWithoutDuplicates) {
  auto reply = ParseVersionReply(R"({"version":"2.1","md5":"AB","url":"A","urls":["B","A","B"],"extra":1})");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->version, "2.1");
  EXPECT_EQ(reply->md5, "AB");
  EXPECT_EQ(reply->urls, (std::vector<std::string>{"A", "B"}));
}

TEST(VersionReplyReading, MissingAndNullMembersReadAsEmpty) {
  auto reply = ParseVersionReply(R"({"version":null,"url":5,"urls":"not a list"})");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->version, "");
  EXPECT_EQ(reply->md5, "");
  EXPECT_TRUE(reply->urls.empty());
}

TEST(VersionReplyReading, NonStringUrlEntriesAreSkipped) {
  auto reply = ParseVersionReply(R"({"version":"1","urls":[1,"B",null,{"u":"C"},"D"]})");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->urls, (std::vector<std::string>{"B", "D"}));
}

TEST(VersionReplyReading, RepliesThatCannotBeTrustedAreRefused) {
  EXPECT_FALSE(ParseVersionReply(""));
  EXPECT_FALSE(ParseVersionReply("{\"version\":"));
  EXPECT_FALSE(ParseVersionReply("[\"1.0\"]"));
  EXPECT_FALSE(ParseVersionReply("\"1.0\""));
  // A number where text belongs: an md5 read as "no check" would let any
  // package through, so the whole reply is refused.
  EXPECT_FALSE(ParseVersionReply(R"({"version":"1.0","md5":12345})"));
  EXPECT_FALSE(ParseVersionReply(R"({"version":1.5})"));
  EXPECT_FALSE(ParseVersionReply(std::string(100000, '[')));
}

TEST(VersionTextAsFolderName, OnlyPlainNamesAreUsable) {
  EXPECT_TRUE(IsUsableVersionText("1.2.3"));
  EXPECT_TRUE(IsUsableVersionText("2024-05 beta"));
  for (const char* bad : {"", ".", "..", "../x", "a/b", "a\\b", "Temp", "temp", "a\tb", "a\nb"})
    EXPECT_FALSE(IsUsableVersionText(bad)) << bad;
  EXPECT_FALSE(IsUsableVersionText(std::string(300, 'v')));
}

}  // namespace
