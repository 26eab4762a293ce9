#include "launcher/text_table.h"

#include <gtest/gtest.h>

#include "support/test_env.h"

namespace {

using test_env::ScopedEnv;

// The language is process-wide state: every test puts back what it found.
class TextTableTest : public ::testing::Test {
 protected:
  void TearDown() override { SetTextLanguage(saved_); }
  unsigned saved_ = TextLanguage();
};

TEST_F(TextTableTest, EveryIdHasTextInAllThreeLanguages) {
  for (unsigned id = 103; id <= 116; ++id) {
    for (unsigned language : {kLanguageEnglishUs, kLanguageKorean, kLanguageChineseSimplified}) {
      EXPECT_FALSE(LoadText(id, language).empty()) << id << " in " << language;
    }
  }
}

TEST_F(TextTableTest, TextsAreKeptExactlyIncludingFullWidthCommasAndTypos) {
  EXPECT_EQ(LoadText(kTextDownloading, kLanguageEnglishUs), L"downloading upate...");
  EXPECT_EQ(LoadText(kTextUnzipFailed, kLanguageEnglishUs),
            L"unzip files error\uFF0Cplease info the developer");
  EXPECT_EQ(LoadText(kTextNetworkFailed, kLanguageEnglishUs),
            L"net error\uFF0Cplease check network and retry");
  EXPECT_EQ(LoadText(kTextDownloadFailed, kLanguageEnglishUs),
            L"download files error\uFF0Cplease check network and retry");
  EXPECT_EQ(LoadText(kTextFileCheckFailed, kLanguageEnglishUs), L"file check error, code %d");
  EXPECT_EQ(LoadText(kTextClearCache, kLanguageEnglishUs), L"<a>clear cache</a>");
  EXPECT_EQ(LoadText(kTextTitle, kLanguageChineseSimplified), L"Lumora\u82F1\u8BED");
  EXPECT_EQ(LoadText(kTextRetry, kLanguageKorean), L"\uB2E4\uC2DC \uD558\uAE30");
  // The placeholder survives in every language so the caller's format works.
  for (unsigned language : {kLanguageEnglishUs, kLanguageKorean, kLanguageChineseSimplified}) {
    EXPECT_NE(LoadText(kTextFileCheckFailed, language).find(L"%d"), std::wstring::npos);
  }
}

TEST_F(TextTableTest, UnknownIdsAndLanguagesGiveEmptyText) {
  EXPECT_EQ(LoadText(102, kLanguageEnglishUs), L"");
  EXPECT_EQ(LoadText(117, kLanguageEnglishUs), L"");
  EXPECT_EQ(LoadText(kTextRetry, 1031), L"");  // German: no table
  // Any English variant resolves to the English table.
  EXPECT_EQ(LoadText(kTextRetry, 2057), L"retry");
}

TEST_F(TextTableTest, BuildLanguageEnRecordsUsEnglishWhateverTheCase) {
  SetTextLanguage(0);
  SelectTextLanguage(L"KO");
  EXPECT_EQ(TextLanguage(), 0u);
  SelectTextLanguage(L"e");
  EXPECT_EQ(TextLanguage(), 0u);
  SelectTextLanguage(nullptr);
  EXPECT_EQ(TextLanguage(), 0u);
  SelectTextLanguage(L"eN");
  EXPECT_EQ(TextLanguage(), kLanguageEnglishUs);

  ScopedEnv lang("LANG", "ko_KR.UTF-8");
  ScopedEnv all("LC_ALL", std::nullopt);
  ScopedEnv messages("LC_MESSAGES", std::nullopt);
  EXPECT_EQ(LoadText(kTextRetry), L"retry");  // the recorded language wins
}

TEST_F(TextTableTest, WithoutRecordedLanguageTheLocaleChooses) {
  SetTextLanguage(0);
  ScopedEnv all("LC_ALL", std::nullopt);
  ScopedEnv messages("LC_MESSAGES", std::nullopt);
  {
    ScopedEnv lang("LANG", "zh_CN.UTF-8");
    EXPECT_EQ(LoadText(kTextRetry), L"\u91CD\u8BD5");
  }
  {
    ScopedEnv lang("LANG", "ko_KR.UTF-8");
    ScopedEnv overriding("LC_MESSAGES", "C");
    EXPECT_EQ(LoadText(kTextRetry), L"retry");
  }
  ScopedEnv lang("LANG", std::nullopt);
  EXPECT_EQ(LoadText(kTextRetry), L"retry");
}

}  // namespace
