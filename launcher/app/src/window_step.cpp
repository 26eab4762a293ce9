#include "window_step.h"

#include <cstdlib>

#include "launcher/config.h"
#include "launcher/debug_log.h"
#include "launcher/window/drop_shadow.h"
#include "launcher/window/luancher_dlg.h"
#include "skinui/font.h"
#include "skinui/paint_manager.h"

namespace {

// WS_EX_APPWINDOW | WS_EX_STATICEDGE: a taskbar entry of its own.
constexpr SkinUI::DWORD kLauncherExStyle = 0x00040000 | 0x00020000;
// What the instance handle stands for here: this program.
int g_instance;

}  // namespace

WindowRun RunLauncherWindow() {
  // The font system warms up on its own thread while the display opens.
  // Only the window road pays for it: the URL test and a refused start end
  // without waiting for fonts.
  SkinUI::PrewarmFonts();
  // Without a display there is nowhere to show the window.
  if (!SkinUI::UseGtkHost()) {
    DebugLog("no display to show the window on (DISPLAY=%s)",
             std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
    return WindowRun::kNotCreated;
  }
  CDropShadow::RegisterShadowClass(&g_instance);
  SkinUI::PaintManager::SetInstance(&g_instance);
  SkinUI::PaintManager::SetResourcePath(SkinUI::PaintManager::GetInstancePath() +
                                        launcher_config::kSkinFolder + L"/");

  // The window object deletes itself once its window is gone (AfterDestroy).
  auto* dlg = new LuancherDlg();
  if (dlg->Create(0, launcher_config::kInstanceName, SkinUI::WS_VISIBLE | SkinUI::WS_OVERLAPPEDWINDOW,
                  kLauncherExStyle) == 0) {
    if (!dlg->WindowWasMade()) {
      DebugLog("the window could not be made");
      delete dlg;
      return WindowRun::kNotCreated;
    }
    DebugLog("the window closed while it was being made (skin not loaded?)");
    // The window existed and is being torn down: the loop delivers its
    // AfterDestroy, which ends the loop and frees the object.
    SkinUI::PaintManager::MessageLoop();
    return WindowRun::kNotCreated;
  }
  dlg->CenterWindow();
  dlg->ShowWindow(true, true);
  SkinUI::PaintManager::MessageLoop();
  return WindowRun::kFinished;
}
