#include <cstdio>

#include "skinui/host.h"
#include "skinui/host_headless.h"
#include "skinui/text_convert.h"

namespace SkinUI {
namespace {

std::unique_ptr<IEventLoop>& loopSlot() {
  static std::unique_ptr<IEventLoop> loop;
  return loop;
}

}  // namespace

IEventLoop& GetEventLoop() {
  auto& slot = loopSlot();
  if (!slot) slot = std::make_unique<HeadlessEventLoop>();
  return *slot;
}

void SetEventLoop(std::unique_ptr<IEventLoop> loop) {
  loopSlot() = std::move(loop);
}

HeadlessEventLoop& UseHeadlessHost() {
  auto loop = std::make_unique<HeadlessEventLoop>();
  HeadlessEventLoop& ref = *loop;
  SetEventLoop(std::move(loop));
  return ref;
}

int SkinMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, MessageBoxIcon icon) {
  return GetEventLoop().ShowMessageBox(owner, text != nullptr ? text : L"",
                                       caption != nullptr ? caption : L"", icon);
}

void PostQuitMessage(int code) {
  IEventLoop* loop = &GetEventLoop();
  loop->Post([loop, code] { loop->Quit(code); });
}

}  // namespace SkinUI
