#pragma once
// Every fixed text the launcher shows, in English, Korean and Chinese,
// keyed by numeric id. Placeholders are filled by the caller.
#include <string>

enum LauncherTextId : unsigned {
  kTextTitle = 103,
  kTextDownloading = 104,
  kTextUnzipping = 105,
  kTextUnzipFailed = 106,
  kTextFileCheckFailed = 107,  // %d = check code
  kTextNetworkFailed = 108,
  kTextDownloadFailed = 109,
  kTextRetry = 110,
  kTextCheckingUpdate = 111,
  kTextSelectDir = 112,
  kTextAllFiles = 113,
  kTextLaunchFailed = 114,
  kTextFixIt = 115,
  kTextClearCache = 116,
};

// Language ids as the system numbers them; only the primary language (low
// ten bits) picks the table, so 1033 (English, United States) resolves to
// the English table.
inline constexpr unsigned kLanguageEnglishUs = 1033;
inline constexpr unsigned kLanguageKorean = 1042;
inline constexpr unsigned kLanguageChineseSimplified = 2052;

// Start-up: when the build language equals "EN" (ignoring case), records
// 1033 as the text language. Any other value leaves the choice to the
// user's locale.
void SelectTextLanguage(const wchar_t* buildLanguage);

// The recorded text language, or 0 when none is recorded.
unsigned TextLanguage();
void SetTextLanguage(unsigned languageId);

// The text of id in the recorded language, or in the language of the
// user's locale (LC_ALL, LC_MESSAGES, LANG) when none is recorded. Unknown
// ids give an empty text.
std::wstring LoadText(unsigned id);

// The text of id in the given language; a language without a table gives
// an empty text.
std::wstring LoadText(unsigned id, unsigned languageId);
