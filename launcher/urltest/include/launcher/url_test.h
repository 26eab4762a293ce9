#pragma once
// The hidden diagnostic mode: ask every gateway base once for the current
// version, compare the replies and append what was found to urltest.log in
// the current directory, so support staff can see whether both gateways are
// reachable and agree.

#include <cstdio>
#include <string>
#include <vector>

// Probes GatewayBaseUrls and appends one block to ./urltest.log. A log file
// that cannot be opened ends the run silently.
void TestVerUrl();

namespace url_test {

// One run over the given bases, written to log as one block. Apart from
// TestVerUrl so tests can aim it at servers on any port. With pins (see
// HttpClient::PinServerKeys) a server holding another key is a failed probe.
void WriteUrlTestBlock(std::FILE* log, const std::vector<std::string>& bases, const std::string& pins = "");

// base + version query path + "?tm=" + the low 32 bits of now, signed.
std::string VersionProbeUrl(const std::string& base, long long now);

}  // namespace url_test
