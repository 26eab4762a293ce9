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
#include "message_limits.h"

// On input, nesting deeper than kMaxValueDepth and more than
// kMaxMessageValues elements are refused; on output, lists deeper than
// kMaxValueDepth are written as invalid (the bridge never sends them).

Json::Value ListToJson(const CefRefPtr<CefListValue>& list);
// The same as compact JSON text, straight from the list (the hot path).
void AppendListJson(const CefRefPtr<CefListValue>& list, std::string& out);
// std::nullopt with `error` set when the JSON is not a well-formed list.
std::optional<CefRefPtr<CefListValue>> ListFromJson(const Json::Value& json, std::string& error);
