#include <time.h>

#include "skinui/control.h"
#include "skinui/notify.h"

namespace SkinUI {

void CNotifyPump::AddNotifyEntry(const std::wstring& type, const std::wstring& senderName, Handler handler) {
  m_entries.push_back({type, senderName, std::move(handler)});
}

bool CNotifyPump::NotifyPump(TNotifyUI& msg) {
  bool any = false;
  // Copied: a handler may add entries while the table is walked.
  const std::vector<Entry> entries = m_entries;
  for (const Entry& e : entries) {
    if (e.type != msg.sType) continue;
    if (!e.senderName.empty() && (msg.pSender == nullptr || msg.pSender->GetName() != e.senderName)) continue;
    e.handler(msg);
    any = true;
  }
  return any;
}

DWORD GetTickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<DWORD>(static_cast<unsigned long long>(ts.tv_sec) * 1000ull +
                            static_cast<unsigned long long>(ts.tv_nsec) / 1000000ull);
}

}  // namespace SkinUI
