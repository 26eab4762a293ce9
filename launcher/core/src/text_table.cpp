#include "launcher/text_table.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <cwctype>

namespace {

struct TextRow {
  unsigned id;
  const wchar_t* english;
  const wchar_t* korean;
  const wchar_t* chinese;
};

// The commas in 106, 108 and 109 (and in the Korean 107) are full-width.
constexpr TextRow kTexts[] = {
    {103, L"lumora launcher", L"Lumora", L"Lumora英语"},
    {104, L"downloading upate...", L"다운로드 중...", L"正在下载更新..."},
    {105, L"unzip the setup files...", L"압축 해제 중 ...", L"正在解压..."},
    {106, L"unzip files error，please info the developer",
     L"압축 해제에 실패하였습니다. 고객센터에 연락하십시오.", L"文件解压失败，请通知客服，后重试"},
    {107, L"file check error, code %d", L"오류 코드 %d，파일에 오류가 발생하였습니다.고객센터에 연락하십시오",
     L"文件检验出错，错误码%d，请通知客服后重试"},
    {108, L"net error，please check network and retry",
     L"인터넷 오류가 발생하였습니다. 인터넷 상태를 점검하신 후 다시 시도해 주십시오.",
     L"网络错误，请检查网络后重试"},
    {109, L"download files error，please check network and retry",
     L"다운로드에 실패하였습니다. 인터넷 상태를 점검하신 후 다시 시도해 주십시오.",
     L"更新下载错误，请检查网络后重试"},
    {110, L"retry", L"다시 하기", L"重试"},
    {111, L"checking update..", L"업데이트 점검 중", L"正在检查更新"},
    {112, L"select a dir", L"경로를 선택해 주십시오.", L"选择路径"},
    {113, L"all files", L"모든 파일", L"所有文件"},
    {114, L"can not execute the app",
     L"프로그램을 운행할 수 없습니다. 복구를 하시거나 고객센터에 연락하십시오.",
     L"无法运行程序，请尝试修复或联系客服"},
    {115, L"fix it", L"복구", L"立即修复"},
    {116, L"<a>clear cache</a>", L"<a>캐시 삭제</a>", L"<a>清空缓存</a>"},
};

constexpr unsigned kPrimaryEnglish = 0x09;
constexpr unsigned kPrimaryKorean = 0x12;
constexpr unsigned kPrimaryChinese = 0x04;

// Written once at start-up and read from any thread afterwards.
std::atomic<unsigned> g_textLanguage{0};

unsigned primaryLanguage(unsigned languageId) {
  return languageId & 0x3FF;
}

// The user's locale stands in for the thread's UI language when the build
// records none: "ko_KR.UTF-8" gives Korean, "zh_CN" Chinese, anything else
// English.
unsigned localeLanguage() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] == '\0') continue;
    if (std::strncmp(value, "ko", 2) == 0) return kLanguageKorean;
    if (std::strncmp(value, "zh", 2) == 0) return kLanguageChineseSimplified;
    return kLanguageEnglishUs;
  }
  return kLanguageEnglishUs;
}

bool equalsIgnoringCase(const wchar_t* a, const wchar_t* b) {
  for (; *a != L'\0' && *b != L'\0'; ++a, ++b) {
    if (std::towlower(static_cast<wint_t>(*a)) != std::towlower(static_cast<wint_t>(*b))) return false;
  }
  return *a == *b;
}

}  // namespace

void SelectTextLanguage(const wchar_t* buildLanguage) {
  if (buildLanguage != nullptr && equalsIgnoringCase(buildLanguage, L"EN"))
    SetTextLanguage(kLanguageEnglishUs);
}

unsigned TextLanguage() {
  return g_textLanguage.load(std::memory_order_acquire);
}

void SetTextLanguage(unsigned languageId) {
  g_textLanguage.store(languageId, std::memory_order_release);
}

std::wstring LoadText(unsigned id, unsigned languageId) {
  for (const TextRow& row : kTexts) {
    if (row.id != id) continue;
    switch (primaryLanguage(languageId)) {
      case kPrimaryEnglish:
        return row.english;
      case kPrimaryKorean:
        return row.korean;
      case kPrimaryChinese:
        return row.chinese;
      default:
        return {};
    }
  }
  return {};
}

std::wstring LoadText(unsigned id) {
  unsigned language = TextLanguage();
  return LoadText(id, language != 0 ? language : localeLanguage());
}
