#include "launcher/instance_mutex.h"

#include "launcher/debug_log.h"
#include "launcher/string_util.h"
#include "platform/window_raise.h"

namespace {
// Kernel object names are built in buffers of this many wide characters.
constexpr std::size_t kNameBufferChars = 260;
}  // namespace

std::optional<InstanceMutexHandle> AcquireInstanceMutex(const std::wstring& name) {
  std::wstring fullName = L"Global\\" + name;
  if (fullName.size() >= kNameBufferChars) {
    DebugLog("mutex name too long: %ls", name.c_str());
    return std::nullopt;
  }
  InstanceMutexHandle mutex(WideToUtf8(fullName));
  switch (mutex.state()) {
    case platform::NamedMutexState::kAcquired:
      return std::optional<InstanceMutexHandle>(std::move(mutex));
    case platform::NamedMutexState::kFailed:
      DebugLog("can't create mutex %ls", fullName.c_str());
      return std::nullopt;
    case platform::NamedMutexState::kAlreadyExists:
      break;
  }
  if (std::optional<platform::WindowId> window = platform::RaiseWindowByTitle(WideToUtf8(name))) {
    DebugLog("start exist item %p", reinterpret_cast<void*>(*window));
  }
  return std::nullopt;
}
