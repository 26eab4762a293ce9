// Typed list values on the pipe. Each element is a JSON object with one
// member naming its type: {"null":null}, {"bool":true}, {"int":3},
// {"double":2.5} (or "NaN", "Infinity", "-Infinity"), {"string":"a"},
// {"binary":"<hex>"}, {"dict":{"key":<element>}}, {"list":[<element>...]},
// {"invalid":null}.
#pragma once

#include <json/json.h>

#include <optional>
#include <string>

#include "cef_values.h"

// Nesting deeper than this is refused on input and cut off on output.
constexpr int kMaxValueDepth = 64;

Json::Value ListToJson(const CefRefPtr<CefListValue>& list);
// The same as compact JSON text, straight from the list (the hot path).
void AppendListJson(const CefRefPtr<CefListValue>& list, std::string& out);
// std::nullopt with `error` set when the JSON is not a well-formed list.
std::optional<CefRefPtr<CefListValue>> ListFromJson(const Json::Value& json, std::string& error);
