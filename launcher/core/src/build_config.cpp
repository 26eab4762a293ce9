#include "launcher/config.h"

const char* const GatewayBaseUrls[kGatewayBaseCount] = {LAUNCHER_GATEWAY_PRIMARY, LAUNCHER_GATEWAY_FALLBACK};
const unsigned kLaunchWaitMs = LAUNCHER_LAUNCH_WAIT_MS;
