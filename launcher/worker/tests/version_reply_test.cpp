#include "launcher/version_reply.h"

#include <gtest/gtest.h>

#include "launcher/package_signature.h"

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

TEST(VersionReplyReading, OnlyPaddedBase64OfSixtyFourBytesIsASignature) {
  const std::string bytes0to63 =
      "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4OTo7PD0+Pw==";
  auto reply = ParseVersionReply(R"({"version":"1","md5":"ab","signature":")" + bytes0to63 + "\"}");
  ASSERT_TRUE(reply);
  std::optional<PackageSignature> signature = DecodePackageSignature(reply->signature);
  ASSERT_TRUE(signature);
  for (int i = 0; i < 64; ++i) EXPECT_EQ((*signature)[i], i);
  // Another type is no signature, and no reason to refuse a reply that
  // builds without a package key take as before.
  reply = ParseVersionReply(R"({"version":"1","signature":{"sig":"x"}})");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->signature, "");
  for (const std::string& bad :
       {std::string(), bytes0to63.substr(0, 86), bytes0to63 + "\n", " " + bytes0to63.substr(1),
        std::string(
            "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4OTo7PD0+P0A="),
        "=" + bytes0to63.substr(1), std::string(88, '=')}) {
    EXPECT_FALSE(DecodePackageSignature(bad)) << bad;
  }
}

TEST(VersionTextAsFolderName, OnlyPlainNamesAreUsable) {
  EXPECT_TRUE(IsUsableVersionText("1.2.3"));
  EXPECT_TRUE(IsUsableVersionText("2024-05 beta"));
  for (const char* bad : {"", ".", "..", "../x", "a/b", "a\\b", "Temp", "temp", "a\tb", "a\nb"})
    EXPECT_FALSE(IsUsableVersionText(bad)) << bad;
  EXPECT_FALSE(IsUsableVersionText(std::string(300, 'v')));
}

}  // namespace
