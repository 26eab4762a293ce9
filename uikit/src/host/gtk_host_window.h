#pragma once
// The GTK host's window, made by its event loop.
#include <memory>

#include "skinui/host.h"

namespace SkinUI {

std::unique_ptr<IHostWindow> CreateGtkHostWindow(IHostWindowSink* sink, const HostWindowParams& params);

}  // namespace SkinUI
