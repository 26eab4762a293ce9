#include "launcher/config.h"
#include "launcher_trust_values.h"

const char* const GatewayBaseUrls[kGatewayBaseCount] = {LAUNCHER_GATEWAY_PRIMARY, LAUNCHER_GATEWAY_FALLBACK};
const unsigned kLaunchWaitMs = LAUNCHER_LAUNCH_WAIT_MS;
const char* const kGatewayPins = LAUNCHER_GATEWAY_PINS;
const char* const kPackagePublicKey = LAUNCHER_PACKAGE_PUBLIC_KEY;
