#include "protocol_values.h"

#include <cmath>
#include <limits>
#include <vector>

#include "json_line.h"

namespace {

Json::Value slotToJson(const CefValueSlot& slot, int depth);

Json::Value single(const char* key, Json::Value value) {
  Json::Value out(Json::objectValue);
  out[key] = std::move(value);
  return out;
}

Json::Value doubleToJson(double d) {
  if (std::isnan(d)) return "NaN";
  if (std::isinf(d)) return d > 0 ? "Infinity" : "-Infinity";
  return d;
}

std::string toHex(const CefRefPtr<CefBinaryValue>& binary) {
  static const char kDigits[] = "0123456789abcdef";
  std::vector<unsigned char> bytes(binary->GetSize());
  binary->GetData(bytes.data(), bytes.size(), 0);
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) hex += kDigits[b >> 4], hex += kDigits[b & 15];
  return hex;
}

Json::Value listToJson(CefListValue& list, int depth) {
  Json::Value out(Json::arrayValue);
  for (size_t i = 0; i < list.GetSize(); ++i) {
    CefValueSlot slot;
    slot.type = list.GetType(i);
    switch (slot.type) {
      case VTYPE_BOOL:
        slot.bool_value = list.GetBool(i);
        break;
      case VTYPE_INT:
        slot.int_value = list.GetInt(i);
        break;
      case VTYPE_DOUBLE:
        slot.double_value = list.GetDouble(i);
        break;
      case VTYPE_STRING:
        slot.string_value = list.GetString(i);
        break;
      case VTYPE_BINARY:
        slot.binary_value = list.GetBinary(i);
        break;
      case VTYPE_DICTIONARY:
        slot.dictionary_value = list.GetDictionary(i);
        break;
      case VTYPE_LIST:
        slot.list_value = list.GetList(i);
        break;
      default:
        break;
    }
    out.append(slotToJson(slot, depth));
  }
  return out;
}

Json::Value slotToJson(const CefValueSlot& slot, int depth) {
  switch (slot.type) {
    case VTYPE_NULL:
      return single("null", Json::Value());
    case VTYPE_BOOL:
      return single("bool", slot.bool_value);
    case VTYPE_INT:
      return single("int", slot.int_value);
    case VTYPE_DOUBLE:
      return single("double", doubleToJson(slot.double_value));
    case VTYPE_STRING:
      return single("string", slot.string_value.ToString());
    case VTYPE_BINARY:
      return single("binary", toHex(slot.binary_value));
    case VTYPE_DICTIONARY: {
      if (depth >= kMaxValueDepth) return single("invalid", Json::Value());
      Json::Value members(Json::objectValue);
      for (const auto& key : slot.dictionary_value->GetKeys())
        members[key.ToString()] = slotToJson(*slot.dictionary_value->GetSlot(key), depth + 1);
      return single("dict", members);
    }
    case VTYPE_LIST:
      if (depth >= kMaxValueDepth) return single("invalid", Json::Value());
      return single("list", listToJson(*slot.list_value, depth + 1));
    default:
      return single("invalid", Json::Value());
  }
}

bool fromHex(const std::string& hex, std::vector<unsigned char>& bytes) {
  if (hex.size() % 2) return false;
  const auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    bytes.push_back(static_cast<unsigned char>(hi << 4 | lo));
  }
  return true;
}

std::optional<double> doubleFromJson(const Json::Value& v) {
  if (v.isNumeric()) return v.asDouble();
  if (!v.isString()) return std::nullopt;
  const std::string s = v.asString();
  if (s == "NaN") return std::numeric_limits<double>::quiet_NaN();
  if (s == "Infinity") return std::numeric_limits<double>::infinity();
  if (s == "-Infinity") return -std::numeric_limits<double>::infinity();
  return std::nullopt;
}

// Reading passes one budget through a whole message.
struct Reading {
  MessageValueBudget budget;
  std::string& error;

  bool fail(std::string text) {
    error = std::move(text);
    return false;
  }
  bool take(Json::ArrayIndex count) {
    return budget.Take(count) ||
           fail("more than " + std::to_string(kMaxMessageValues) + " values in one message");
  }
  bool enter(int depth) { return depth <= kMaxValueDepth || fail("values nested too deeply"); }
};

std::optional<CefValueSlot> slotFromJson(const Json::Value& json, int depth, Reading& reading);

std::optional<CefRefPtr<CefListValue>> listFromJson(const Json::Value& json, int depth, Reading& reading) {
  std::string& error = reading.error;
  if (!json.isArray()) {
    error = "a list must be a JSON array";
    return std::nullopt;
  }
  if (!reading.enter(depth) || !reading.take(json.size())) return std::nullopt;
  CefRefPtr<CefListValue> list = CefListValue::Create();
  for (Json::ArrayIndex i = 0; i < json.size(); ++i) {
    auto slot = slotFromJson(json[i], depth, reading);
    if (!slot) return std::nullopt;
    bool stored = false;
    switch (slot->type) {
      case VTYPE_NULL:
        stored = list->SetNull(i);
        break;
      case VTYPE_BOOL:
        stored = list->SetBool(i, slot->bool_value);
        break;
      case VTYPE_INT:
        stored = list->SetInt(i, slot->int_value);
        break;
      case VTYPE_DOUBLE:
        stored = list->SetDouble(i, slot->double_value);
        break;
      case VTYPE_STRING:
        stored = list->SetString(i, slot->string_value);
        break;
      case VTYPE_BINARY:
        stored = list->SetBinary(i, slot->binary_value);
        break;
      case VTYPE_DICTIONARY:
        stored = list->SetDictionary(i, slot->dictionary_value);
        break;
      case VTYPE_LIST:
        stored = list->SetList(i, slot->list_value);
        break;
      case VTYPE_INVALID:
        stored = list->SetInvalid(i);
        break;
    }
    if (!stored) {
      error = "cannot store list element";
      return std::nullopt;
    }
  }
  return list;
}

std::optional<CefValueSlot> slotFromJson(const Json::Value& json, int depth, Reading& reading) {
  std::string& error = reading.error;
  if (!json.isObject() || json.size() != 1) {
    error = "a value must be an object with one type member";
    return std::nullopt;
  }
  const std::string type = json.getMemberNames().front();
  const Json::Value& v = json[type];
  CefValueSlot slot;
  if (type == "null" && v.isNull()) {
    slot.type = VTYPE_NULL;
  } else if (type == "invalid" && v.isNull()) {
    slot.type = VTYPE_INVALID;
  } else if (type == "bool" && v.isBool()) {
    slot.type = VTYPE_BOOL, slot.bool_value = v.asBool();
  } else if (type == "int" && v.isInt()) {
    slot.type = VTYPE_INT, slot.int_value = v.asInt();
  } else if (type == "double" && doubleFromJson(v)) {
    slot.type = VTYPE_DOUBLE, slot.double_value = *doubleFromJson(v);
  } else if (type == "string" && v.isString()) {
    slot.type = VTYPE_STRING, slot.string_value = CefString(v.asString());
  } else if (type == "binary" && v.isString()) {
    std::vector<unsigned char> bytes;
    if (!fromHex(v.asString(), bytes)) {
      error = "binary must be hex digits";
      return std::nullopt;
    }
    slot.type = VTYPE_BINARY, slot.binary_value = CefBinaryValue::Create(bytes.data(), bytes.size());
  } else if (type == "list") {
    auto list = listFromJson(v, depth + 1, reading);
    if (!list) return std::nullopt;
    slot.type = VTYPE_LIST, slot.list_value = *list;
  } else if (type == "dict" && v.isObject()) {
    if (!reading.enter(depth + 1) || !reading.take(v.size())) return std::nullopt;
    CefRefPtr<CefDictionaryValue> dict = CefDictionaryValue::Create();
    for (const auto& key : v.getMemberNames()) {
      auto member = slotFromJson(v[key], depth + 1, reading);
      if (!member) return std::nullopt;
      dict->SetSlot(CefString(key), std::move(*member));
    }
    slot.type = VTYPE_DICTIONARY, slot.dictionary_value = dict;
  } else {
    error = "unknown value type or bad content for \"" + type + "\"";
    return std::nullopt;
  }
  return slot;
}

void appendListText(CefListValue& list, int depth, std::string& out);

void appendDoubleText(double d, std::string& out) {
  if (std::isnan(d))
    out += "\"NaN\"";
  else if (std::isinf(d))
    out += d > 0 ? "\"Infinity\"" : "\"-Infinity\"";
  else
    AppendJsonReal(d, out);
}

void appendSlotText(CefListValue& list, size_t i, int depth, std::string& out) {
  switch (list.GetType(i)) {
    case VTYPE_NULL:
      out += "{\"null\":null}";
      return;
    case VTYPE_BOOL:
      out += list.GetBool(i) ? "{\"bool\":true}" : "{\"bool\":false}";
      return;
    case VTYPE_INT:
      out += "{\"int\":" + std::to_string(list.GetInt(i)) + "}";
      return;
    case VTYPE_DOUBLE:
      out += "{\"double\":";
      appendDoubleText(list.GetDouble(i), out);
      out += '}';
      return;
    case VTYPE_STRING:
      out += "{\"string\":";
      AppendJsonString(list.GetString(i).ToString(), out);
      out += '}';
      return;
    case VTYPE_LIST:
      if (depth >= kMaxValueDepth) break;
      out += "{\"list\":";
      appendListText(*list.GetList(i), depth + 1, out);
      out += '}';
      return;
    case VTYPE_BINARY:
    case VTYPE_DICTIONARY: {
      // Rare on the way out; the general writer handles them.
      CefValueSlot slot;
      slot.type = list.GetType(i);
      slot.binary_value = list.GetBinary(i);
      slot.dictionary_value = list.GetDictionary(i);
      AppendJsonLine(slotToJson(slot, depth), out);
      return;
    }
    default:
      break;
  }
  out += "{\"invalid\":null}";
}

void appendListText(CefListValue& list, int depth, std::string& out) {
  out += '[';
  for (size_t i = 0; i < list.GetSize(); ++i) {
    if (i) out += ',';
    appendSlotText(list, i, depth, out);
  }
  out += ']';
}

}  // namespace

void AppendListJson(const CefRefPtr<CefListValue>& list, std::string& out) {
  if (!list) {
    out += "[]";
    return;
  }
  appendListText(*list, 0, out);
}

Json::Value ListToJson(const CefRefPtr<CefListValue>& list) {
  if (!list) return Json::Value(Json::arrayValue);
  return listToJson(*list, 0);
}

std::optional<CefRefPtr<CefListValue>> ListFromJson(const Json::Value& json, std::string& error) {
  Reading reading{MessageValueBudget(), error};
  return listFromJson(json, 0, reading);
}
