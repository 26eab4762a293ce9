#include "launcher/url_test.h"

#include <cstdint>
#include <ctime>
#include <map>
#include <memory>

#include "launcher/config.h"
#include "launcher/http_client.h"
#include "platform/unique_fd.h"

namespace url_test {

namespace {

// Replies are written whole, NUL bytes included: the block should show
// exactly what the gateway sent.
void WriteReply(std::FILE* log, const std::string& body) {
  std::fwrite(body.data(), 1, body.size(), log);
}

}  // namespace

std::string VersionProbeUrl(const std::string& base, long long now) {
  const auto stamp = static_cast<std::int32_t>(static_cast<std::uint32_t>(now));
  return base + launcher_config::kVersionQueryPath + "?tm=" + std::to_string(stamp);
}

void WriteUrlTestBlock(std::FILE* log, const std::vector<std::string>& bases, const std::string& pins) {
  varnel_http::HttpClient client;
  client.PinServerKeys(pins);
  const std::map<std::string, std::string> no_fields;
  std::string reference;
  int mismatches = 0;
  int errors = 0;
  std::fprintf(log, "begin TestVerUrl with %d urls\n", static_cast<int>(bases.size()));
  for (std::size_t index = 0; index < bases.size(); ++index) {
    const int i = static_cast<int>(index);
    const std::string url = VersionProbeUrl(bases[index], static_cast<long long>(std::time(nullptr)));
    if (!client.Request("GET", url, no_fields)) {
      ++errors;
      std::fprintf(log, "[%d] UrlError %s\n", i, url.c_str());
      continue;
    }
    const std::string& body = client.response_body();
    if (reference.empty()) {
      // An empty reply leaves the reference empty, so the next good reply
      // is reported as a first reply again.
      reference = body;
      std::fprintf(log, "[%d] got fist response from %s\n ", i, url.c_str());
      WriteReply(log, body);
      std::fputc('\n', log);
    } else if (body != reference) {
      ++mismatches;
      std::fprintf(log, "[%d] UrlDismatch %s:\n", i, url.c_str());
      WriteReply(log, body);
      std::fputc('\n', log);
    }
  }
  std::fprintf(log, "done TestVerUrl: %d dismatch,%d error\n\n", mismatches, errors);
}

}  // namespace url_test

void TestVerUrl() {
  platform::UniqueFileStream log(std::fopen("urltest.log", "a+"));
  if (!log) return;
  url_test::WriteUrlTestBlock(log.get(),
                              std::vector<std::string>(GatewayBaseUrls, GatewayBaseUrls + kGatewayBaseCount),
                              kGatewayPins);
}
