#include "json_line.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "cef_string.h"

namespace {

void appendString(const std::string& text, std::string& out) {
  bool ascii = true;
  for (unsigned char c : text) ascii = ascii && c < 0x80;
  // Text from outside (error messages quoting input) may be malformed.
  const std::string repaired =
      ascii ? std::string() : cef_string_utf16_to_utf8(cef_string_utf8_to_utf16(text));
  const std::string& safe = ascii ? text : repaired;
  out += '"';
  for (unsigned char c : safe) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

// Shortest text that reads back as the same double, and always marked as
// a real number so that readers keep it apart from integers.
void appendReal(double d, std::string& out) {
  if (!std::isfinite(d)) {
    out += "null";
    return;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", d);
  if (std::strtod(text, nullptr) != d) std::snprintf(text, sizeof text, "%.17g", d);
  out += text;
  bool marked = false;
  for (const char* p = text; *p; ++p) marked = marked || *p == '.' || *p == 'e';
  if (!marked) out += ".0";
}

void append(const Json::Value& value, std::string& out) {
  switch (value.type()) {
    case Json::nullValue:
      out += "null";
      break;
    case Json::booleanValue:
      out += value.asBool() ? "true" : "false";
      break;
    case Json::intValue:
      out += std::to_string(value.asLargestInt());
      break;
    case Json::uintValue:
      out += std::to_string(value.asLargestUInt());
      break;
    case Json::realValue:
      appendReal(value.asDouble(), out);
      break;
    case Json::stringValue:
      appendString(value.asString(), out);
      break;
    case Json::arrayValue: {
      out += '[';
      for (Json::ArrayIndex i = 0; i < value.size(); ++i) {
        if (i) out += ',';
        append(value[i], out);
      }
      out += ']';
      break;
    }
    case Json::objectValue: {
      out += '{';
      bool first = true;
      for (auto it = value.begin(); it != value.end(); ++it) {
        if (!first) out += ',';
        first = false;
        appendString(it.name(), out);
        out += ':';
        append(*it, out);
      }
      out += '}';
      break;
    }
  }
}

}  // namespace

void AppendJsonLine(const Json::Value& value, std::string& out) {
  append(value, out);
}
void AppendJsonString(const std::string& text, std::string& out) {
  appendString(text, out);
}
void AppendJsonReal(double value, std::string& out) {
  appendReal(value, out);
}
