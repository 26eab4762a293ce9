#pragma once
// Finding a top-level window by its exact title and bringing it to the front.
#include <optional>
#include <string>

namespace platform {

// An X window id; 0 is never a window.
using WindowId = unsigned long;

// Looks for a top-level window whose title (UTF-8) is exactly title, maps it
// and asks the window manager to activate it. Returns the window raised, or
// nothing when there is no display or no such window.
std::optional<WindowId> RaiseWindowByTitle(const std::string& title);

// The lookup alone, for callers that only want to know.
std::optional<WindowId> FindWindowByTitle(const std::string& title);

}  // namespace platform
