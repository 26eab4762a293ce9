// The value base, the factory, the scalar values and the member variable.
#include "amf/amf0_value.h"

#include "amf/amf0_bytes.h"
#include "log/log_channel.h"

namespace Flash {

using vidscribe::LogPrint;
using namespace bytes;

namespace {
constexpr const char* kTag = "Flash";
}

int AS_Value::Encode(uint8_t*&) const {
  return -1;
}
int AS_Value::Decode(AmfCursor&) {
  return -1;
}
int AS_Value::EncodedSize() const {
  return 0;
}

int AS_Value::Create(uint8_t type, std::unique_ptr<AS_Value>& out) {
  switch (type) {
    case kNumber:
      out = std::make_unique<AS_Double>();
      break;
    case kBoolean:
      out = std::make_unique<AS_UInt8>();
      break;
    case kString:
    case kMovieClip:
      out = std::make_unique<AS_String>();
      break;
    case kObject:
      out = std::make_unique<AS_Object>();
      break;
    case kNull:
      out = std::make_unique<AS_NullType>();
      break;
    case kReference:
      out = std::make_unique<AS_UInt16>();
      break;
    case kEcmaArray:
      out = std::make_unique<AS_ECMA_Array>();
      break;
    case kStrictArray:
      out = std::make_unique<AS_Strict_Array>();
      break;
    case kDate:
      out = std::make_unique<AS_Date>();
      break;
    case kLongString:
      out = std::make_unique<AS_LongString>();
      break;
    default:
      out.reset();
      break;
  }
  return 0;
}

// --- scalars: marker byte, then a fixed or length-prefixed payload

namespace {
bool readMarker(AmfCursor& cursor, int32_t& marker) {
  uint8_t byte = 0;
  if (!readU8(cursor, byte)) return false;
  marker = byte;
  return true;
}
}  // namespace

int AS_Double::Encode(uint8_t*& out) const {
  *out++ = static_cast<uint8_t>(marker);
  writeDouble(out, value);
  return 9;
}

int AS_Double::Decode(AmfCursor& cursor) {
  return readMarker(cursor, marker) && readDouble(cursor, value) ? 0 : -1;
}

void AS_Double::Dump() const {
  LogPrint(kTag, "(Double) %s : %f\n", name.c_str(), value);
}

int AS_UInt8::Encode(uint8_t*& out) const {
  *out++ = static_cast<uint8_t>(marker);
  *out++ = value;
  return 2;
}

int AS_UInt8::Decode(AmfCursor& cursor) {
  return readMarker(cursor, marker) && readU8(cursor, value) ? 0 : -1;
}

void AS_UInt8::Dump() const {
  LogPrint(kTag, "(UInt8) %s : %d\n", name.c_str(), value);
}

int AS_String::Encode(uint8_t*& out) const {
  // A 16-bit length cannot describe more; cutting the text would corrupt it.
  if (value.size() > 0xFFFF) return -1;
  *out++ = static_cast<uint8_t>(marker);
  writeText(out, 2, value);
  return EncodedSize();
}

int AS_String::Decode(AmfCursor& cursor) {
  return readMarker(cursor, marker) && readText(cursor, 2, value) ? 0 : -1;
}

void AS_String::Dump() const {
  LogPrint(kTag, "(String) %s : %s\n", name.c_str(), value.c_str());
}

int AS_LongString::Encode(uint8_t*& out) const {
  if (value.size() > 0xFFFFFFFFu) return -1;
  *out++ = static_cast<uint8_t>(marker);
  writeText(out, 4, value);
  return EncodedSize();
}

int AS_LongString::Decode(AmfCursor& cursor) {
  return readMarker(cursor, marker) && readText(cursor, 4, value) ? 0 : -1;
}

void AS_LongString::Dump() const {
  LogPrint(kTag, "(LongString) %s : %s\n", name.c_str(), value.c_str());
}

int AS_NullType::Encode(uint8_t*& out) const {
  *out++ = static_cast<uint8_t>(marker);
  return 1;
}

int AS_NullType::Decode(AmfCursor& cursor) {
  return readMarker(cursor, marker) ? 0 : -1;
}

int AS_UInt16::Encode(uint8_t*& out) const {
  *out++ = static_cast<uint8_t>(marker);
  writeBE(out, 2, value);
  return 3;
}

int AS_UInt16::Decode(AmfCursor& cursor) {
  uint64_t v = 0;
  if (!readMarker(cursor, marker) || !readBE(cursor, 2, v)) return -1;
  value = static_cast<uint16_t>(v);
  return 0;
}

void AS_UInt16::Dump() const {
  LogPrint(kTag, "(UInt16) %s : %d\n", name.c_str(), value);
}

int AS_Date::Encode(uint8_t*& out) const {
  *out++ = static_cast<uint8_t>(marker);
  writeDouble(out, milliseconds);
  writeBE(out, 2, static_cast<uint16_t>(timeZone));
  return 11;
}

int AS_Date::Decode(AmfCursor& cursor) {
  uint64_t zone = 0;
  if (!readMarker(cursor, marker) || !readDouble(cursor, milliseconds) || !readBE(cursor, 2, zone)) return -1;
  timeZone = static_cast<int16_t>(static_cast<uint16_t>(zone));
  return 0;
}

// --- member variable: optional u16 name, then the held value's encoding

std::unique_ptr<AS_Variable> AS_Variable::ForDecoding(bool named) {
  auto variable = std::make_unique<AS_Variable>(nullptr);
  variable->named = named;
  return variable;
}

int AS_Variable::EncodedSize() const {
  // An empty variable is written as an AMF null so the output stays valid.
  return (named ? static_cast<int>(name.size()) + 2 : 0) + (value ? value->EncodedSize() : 1);
}

int AS_Variable::Encode(uint8_t*& out) const {
  if (named && name.size() > 0xFFFF) return -1;
  uint8_t* start = out;
  if (named) writeText(out, 2, name);
  if (!value) {
    *out++ = kNull;
  } else if (value->Encode(out) < 0) {
    return -1;
  }
  return static_cast<int>(out - start);
}

int AS_Variable::Decode(AmfCursor& cursor) {
  if (named && !readText(cursor, 2, name)) return -1;
  if (cursor.remaining() == 0) return -1;
  std::unique_ptr<AS_Value> held;
  Create(*cursor.pos, held);
  if (!held || held->Decode(cursor) != 0) return -1;
  value = std::move(held);
  return 0;
}

void AS_Variable::Dump() const {
  LogPrint(kTag, "(Variable) %s = \n", name.c_str());
  if (value) value->Dump();
}

}  // namespace Flash
