// Objects, ECMA arrays and strict arrays, and the member operations shared
// by all containers.
#include "amf/amf0_bytes.h"
#include "amf/amf0_value.h"
#include "log/log_channel.h"

namespace Flash {

using vidscribe::LogPrint;
using namespace bytes;

namespace {

constexpr const char* kTag = "Flash";

// Entered once per container level; fails beyond the nesting limit.
class NestingGuard {
 public:
  explicit NestingGuard(AmfCursor& cursor) : cursor(cursor) { ++cursor.depth; }
  ~NestingGuard() { --cursor.depth; }
  bool tooDeep() const { return cursor.depth > kMaxNesting; }

 private:
  AmfCursor& cursor;
};

bool readMarkerAndCount(AmfCursor& cursor, int32_t& marker, uint64_t& count) {
  uint64_t byte = 0;
  if (!readBE(cursor, 1, byte) || !readBE(cursor, 4, count)) return false;
  marker = static_cast<int32_t>(byte);
  return true;
}

// Decodes up to count variables, keeping those that decode and dropping
// those that fail. The count comes from the file, so the loop also ends
// when the data does: a huge count over a short buffer costs nothing.
void decodeMembers(AmfCursor& cursor, uint64_t count, bool named, AS_Value& container) {
  // Counts of 2^31 and more are not taken as member counts at all.
  if (count >= (uint64_t{1} << 31)) return;
  for (uint64_t i = 0; i < count && cursor.remaining() > 0; ++i) {
    const uint8_t* before = cursor.pos;
    auto member = AS_Variable::ForDecoding(named);
    if (member->Decode(cursor) == 0) container.AddChild(std::move(member));
    if (cursor.pos == before) break;  // no progress: the rest cannot decode either
  }
}

}  // namespace

// --- member operations

void AS_Value::AddChild(std::unique_ptr<AS_Value> child) {
  if (child) children.push_back(std::move(child));
}

void AS_Value::AddValue(std::unique_ptr<AS_Value> value) {
  if (value) children.push_back(std::make_unique<AS_Variable>(std::move(value)));
}

AS_Variable* AS_Value::FindMember(const std::string& memberName) const {
  for (const auto& child : children) {
    if (child->name == memberName) {
      // Members are variables; a bare value added with AddChild never
      // carries a name, so it never matches a non-empty one.
      if (auto* variable = dynamic_cast<AS_Variable*>(child.get())) return variable;
    }
  }
  return nullptr;
}

void AS_Value::SetMember(const std::string& memberName, std::unique_ptr<AS_Value> value) {
  if (AS_Variable* member = FindMember(memberName)) {
    // Setting the value a member already holds must not destroy it.
    if (member->value.get() == value.get()) {
      value.release();
      return;
    }
    member->value = std::move(value);
    return;
  }
  children.push_back(std::make_unique<AS_Variable>(memberName, std::move(value)));
}

int AS_Value::encodeChildren(uint8_t*& out) const {
  int written = 0;
  for (const auto& child : children) {
    const int size = child->Encode(out);
    if (size < 0) return -1;
    written += size;
  }
  return written;
}

int AS_Value::childrenSize() const {
  int size = 0;
  for (const auto& child : children) size += child->EncodedSize();
  return size;
}

void AS_Value::dumpChildren() const {
  for (const auto& child : children) child->Dump();
}

// --- object: marker, named members, 00 00 09

int AS_Object::Encode(uint8_t*& out) const {
  *out++ = static_cast<uint8_t>(marker);
  const int members = encodeChildren(out);
  if (members < 0) return -1;
  writeBE(out, 3, kObjectEnd);
  return 1 + members + 3;
}

int AS_Object::Decode(AmfCursor& cursor) {
  NestingGuard nesting(cursor);
  uint64_t byte = 0;
  if (nesting.tooDeep() || !readBE(cursor, 1, byte)) return -1;
  marker = static_cast<int32_t>(byte);
  // One bad member fails the whole object: without a count there is no
  // telling where the next member would start.
  while (!nextIsObjectEnd(cursor)) {
    if (cursor.remaining() == 0) return -1;
    auto member = AS_Variable::ForDecoding(true);
    if (member->Decode(cursor) != 0) return -1;
    AddChild(std::move(member));
  }
  cursor.pos += 3;
  return 0;
}

void AS_Object::Dump() const {
  LogPrint(kTag, "(ECMA_Object - Begin) : %s\n", name.c_str());
  dumpChildren();
  LogPrint(kTag, "--- ECMA Object End\n");
}

// --- ECMA array: marker, u32 count, named members, 00 00 09 (optional on input)

int AS_ECMA_Array::Encode(uint8_t*& out) const {
  *out++ = static_cast<uint8_t>(marker);
  writeBE(out, 4, children.size());
  const int members = encodeChildren(out);
  if (members < 0) return -1;
  writeBE(out, 3, kObjectEnd);
  return 5 + members + 3;
}

int AS_ECMA_Array::Decode(AmfCursor& cursor) {
  NestingGuard nesting(cursor);
  uint64_t count = 0;
  if (nesting.tooDeep() || !readMarkerAndCount(cursor, marker, count)) return -1;
  decodeMembers(cursor, count, true, *this);
  if (nextIsObjectEnd(cursor)) cursor.pos += 3;
  return 0;
}

void AS_ECMA_Array::Dump() const {
  LogPrint(kTag, "(ECMA_Array - Begin) : %s\n", name.c_str());
  dumpChildren();
  LogPrint(kTag, "--- ECMA Array End\n");
}

// --- strict array: marker, u32 count, bare elements, no end marker

int AS_Strict_Array::EncodedSize() const {
  int size = 5;
  for (const auto& child : children) {
    const auto* variable = dynamic_cast<const AS_Variable*>(child.get());
    // Elements are written without their names, see Encode.
    size +=
        variable != nullptr ? (variable->value ? variable->value->EncodedSize() : 1) : child->EncodedSize();
  }
  return size;
}

int AS_Strict_Array::Encode(uint8_t*& out) const {
  *out++ = static_cast<uint8_t>(marker);
  writeBE(out, 4, children.size());
  int written = 5;
  for (const auto& child : children) {
    if (auto* variable = dynamic_cast<AS_Variable*>(child.get())) variable->named = false;
    const int size = child->Encode(out);
    if (size < 0) return -1;
    written += size;
  }
  return written;
}

int AS_Strict_Array::Decode(AmfCursor& cursor) {
  NestingGuard nesting(cursor);
  uint64_t count = 0;
  if (nesting.tooDeep() || !readMarkerAndCount(cursor, marker, count)) return -1;
  decodeMembers(cursor, count, false, *this);
  return 0;
}

void AS_Strict_Array::Dump() const {
  LogPrint(kTag, "--- ECMA Strict Array with %d elems\n", static_cast<int>(children.size()));
}

}  // namespace Flash
