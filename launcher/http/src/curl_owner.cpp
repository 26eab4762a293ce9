#include "launcher/curl_owner.h"

#include <mutex>
#include <string>

namespace varnel_http {

namespace {
constexpr char kUserAgentLine[] =
    "User-Agent: VarnelEnglish/2.5 (compatible; MSIE 8.0; Windows NT 5.1; CIBA)";
constexpr char kConnectionLine[] = "Connection: Keep-Alive";
}  // namespace

CurlHandle NewCurlHandle() {
  static std::once_flag once;
  static bool initialised = false;
  std::call_once(once, [] { initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  if (!initialised) return nullptr;
  return CurlHandle(curl_easy_init());
}

CurlHeaderList NewFixedHeaderList() {
  curl_slist* list = curl_slist_append(nullptr, kUserAgentLine);
  if (list == nullptr) return nullptr;
  curl_slist* grown = curl_slist_append(list, kConnectionLine);
  if (grown == nullptr) {
    curl_slist_free_all(list);
    return nullptr;
  }
  return CurlHeaderList(grown);
}

void RestrictToHttp(CURL* handle) {
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
}

bool IsCleanRequestText(const std::string& text) {
  if (text.empty()) return false;
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7f) return false;
  }
  return true;
}

}  // namespace varnel_http
