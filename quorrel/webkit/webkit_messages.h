// Names the extension and the browser-side library agree on besides the
// application's own messages.
#pragma once

namespace quorrel_webkit {

// Browser -> page, sent with a reply callback: the extension replies with a
// message of the same name once it has handled everything sent before and
// run every task posted so far. The application never sees it.
constexpr char kPingMessage[] = "quorrel.ping";

}  // namespace quorrel_webkit
