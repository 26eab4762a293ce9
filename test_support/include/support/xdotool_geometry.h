#pragma once
// The place and size of an X window as `xdotool getwindowgeometry --shell`
// prints them, for the tests that drive real windows.
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>

namespace test_env {

struct WindowGeometry {
  int x = 0, y = 0, width = 0, height = 0;
};

// Nothing unless all four of X, Y, WIDTH and HEIGHT are there.
inline std::optional<WindowGeometry> ParseXdotoolGeometry(const std::string& shellOutput) {
  WindowGeometry g;
  int found = 0;
  std::istringstream lines(shellOutput);
  for (std::string line; std::getline(lines, line);) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const int value = std::atoi(line.c_str() + eq + 1);
    if (key == "X") g.x = value, ++found;
    if (key == "Y") g.y = value, ++found;
    if (key == "WIDTH") g.width = value, ++found;
    if (key == "HEIGHT") g.height = value, ++found;
  }
  if (found != 4) return std::nullopt;
  return g;
}

}  // namespace test_env
