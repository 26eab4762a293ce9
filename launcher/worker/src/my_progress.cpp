#include "launcher/my_progress.h"

void MyProgress::OnProgress(int percent) {
  if (static_cast<unsigned>(percent) > 100) return;
  window->PostLauncherMessage(WM_LAUNCHER_PROGRESS, static_cast<std::uintptr_t>(percent), 0);
}
