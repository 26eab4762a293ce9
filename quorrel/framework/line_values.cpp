#include "line_values.h"

size_t CountLineValues(const std::string& line, size_t limit) {
  size_t values = 1;
  bool inString = false;
  bool escaped = false;
  for (const char c : line) {
    if (inString) {
      if (escaped)
        escaped = false;
      else if (c == '\\')
        escaped = true;
      else if (c == '"')
        inString = false;
    } else if (c == '"') {
      inString = true;
    } else if ((c == ',' || c == '[' || c == '{') && ++values > limit) {
      break;
    }
  }
  return values;
}
