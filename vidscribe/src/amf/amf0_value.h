// A small tree model of AMF0 values, the encoding of FLV script-data tags
// (the onMetaData tag above all). Every value encodes itself, decodes itself
// from a bounded cursor, reports its encoded size in advance so a buffer can
// be sized before encoding, and dumps itself to the log channel ("Flash").
#ifndef VIDSCRIBE_AMF_AMF0_VALUE_H
#define VIDSCRIBE_AMF_AMF0_VALUE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Flash {

enum Marker : int32_t {
  kNumber = 0,
  kBoolean = 1,
  kString = 2,
  kObject = 3,
  kMovieClip = 4,
  kNull = 5,
  kUndefined = 6,
  kReference = 7,
  kEcmaArray = 8,
  kObjectEnd = 9,
  kStrictArray = 10,
  kDate = 11,
  kLongString = 12,
};

// Nesting beyond this fails to decode: the decoder recurses per level, and a
// hostile file must not be able to exhaust the stack.
constexpr int kMaxNesting = 64;

// The read position and the end of the buffer being decoded; decoding never
// reads at or past end.
struct AmfCursor {
  const uint8_t* pos;
  const uint8_t* end;
  int depth = 0;

  AmfCursor(const uint8_t* data, size_t length) : pos(data), end(data + length) {}
  size_t remaining() const { return static_cast<size_t>(end - pos); }
};

class AS_Variable;

class AS_Value {
 public:
  explicit AS_Value(int32_t marker = -1) : marker(marker) {}
  virtual ~AS_Value() = default;
  AS_Value(const AS_Value&) = delete;
  AS_Value& operator=(const AS_Value&) = delete;

  // Writes at out and advances it. Returns the bytes written, or -1 when the
  // value cannot be encoded (nothing more is written then; never more than
  // EncodedSize in any case).
  virtual int Encode(uint8_t*& out) const;
  // Returns 0 on success, negative on failure.
  virtual int Decode(AmfCursor& cursor);
  virtual int EncodedSize() const;
  // An empty value of the class for marker; null (and 0) for markers the
  // model does not hold (undefined, object end, 13 and up).
  static int Create(uint8_t marker, std::unique_ptr<AS_Value>& out);

  virtual std::string AsString() const { return std::string(); }
  virtual double AsNumber() const { return 0.0; }
  virtual bool AsBool() const { return false; }
  virtual int AsInt() const { return 0; }
  virtual void Dump() const {}
  virtual AS_Value* Value() { return this; }

  // Container operations (objects, ECMA arrays, strict arrays).
  void AddChild(std::unique_ptr<AS_Value> child);
  // Wraps value in an unnamed variable; a null value is ignored.
  void AddValue(std::unique_ptr<AS_Value> value);
  // First member whose name matches exactly (case-sensitive).
  AS_Variable* FindMember(const std::string& memberName) const;
  // Replaces an existing member's value in place (its position is kept) or
  // appends a new named member.
  void SetMember(const std::string& memberName, std::unique_ptr<AS_Value> value);

  std::string name;
  int32_t marker;
  std::vector<std::unique_ptr<AS_Value>> children;

 protected:
  int encodeChildren(uint8_t*& out) const;
  int childrenSize() const;
  void dumpChildren() const;
};

class AS_Double : public AS_Value {
 public:
  explicit AS_Double(double value = 0.0) : AS_Value(kNumber), value(value) {}
  int Encode(uint8_t*& out) const override;
  int Decode(AmfCursor& cursor) override;
  int EncodedSize() const override { return 9; }
  double AsNumber() const override { return value; }
  void Dump() const override;
  double value;
};

class AS_UInt8 : public AS_Value {
 public:
  explicit AS_UInt8(uint8_t value = 0) : AS_Value(kBoolean), value(value) {}
  int Encode(uint8_t*& out) const override;
  int Decode(AmfCursor& cursor) override;
  int EncodedSize() const override { return 2; }
  bool AsBool() const override { return value != 0; }
  int AsInt() const override { return value; }
  void Dump() const override;
  uint8_t value;
};

class AS_String : public AS_Value {
 public:
  explicit AS_String(std::string value = std::string()) : AS_Value(kString), value(std::move(value)) {}
  int Encode(uint8_t*& out) const override;
  int Decode(AmfCursor& cursor) override;
  int EncodedSize() const override { return static_cast<int>(value.size()) + 3; }
  std::string AsString() const override { return value; }
  void Dump() const override;
  std::string value;
};

class AS_LongString : public AS_Value {
 public:
  explicit AS_LongString(std::string value = std::string())
      : AS_Value(kLongString), value(std::move(value)) {}
  int Encode(uint8_t*& out) const override;
  int Decode(AmfCursor& cursor) override;
  int EncodedSize() const override { return static_cast<int>(value.size()) + 5; }
  std::string AsString() const override { return value; }
  void Dump() const override;
  std::string value;
};

class AS_NullType : public AS_Value {
 public:
  AS_NullType() : AS_Value(kNull) {}
  int Encode(uint8_t*& out) const override;
  int Decode(AmfCursor& cursor) override;
  int EncodedSize() const override { return 1; }
};

class AS_UInt16 : public AS_Value {
 public:
  explicit AS_UInt16(uint16_t value = 0) : AS_Value(kReference), value(value) {}
  int Encode(uint8_t*& out) const override;
  int Decode(AmfCursor& cursor) override;
  int EncodedSize() const override { return 3; }
  int AsInt() const override { return value; }
  void Dump() const override;
  uint16_t value;
};

class AS_Date : public AS_Value {
 public:
  AS_Date() : AS_Value(kDate) {}
  int Encode(uint8_t*& out) const override;
  int Decode(AmfCursor& cursor) override;
  int EncodedSize() const override { return 11; }
  double milliseconds = 0.0;
  int16_t timeZone = 0;
};

class AS_Object : public AS_Value {
 public:
  AS_Object() : AS_Value(kObject) {}
  int Encode(uint8_t*& out) const override;
  int Decode(AmfCursor& cursor) override;
  int EncodedSize() const override { return 1 + childrenSize() + 3; }
  void Dump() const override;
};

class AS_ECMA_Array : public AS_Value {
 public:
  AS_ECMA_Array() : AS_Value(kEcmaArray) {}
  int Encode(uint8_t*& out) const override;
  int Decode(AmfCursor& cursor) override;
  int EncodedSize() const override { return 5 + childrenSize() + 3; }
  void Dump() const override;
};

class AS_Strict_Array : public AS_Value {
 public:
  AS_Strict_Array() : AS_Value(kStrictArray) {}
  int Encode(uint8_t*& out) const override;
  int Decode(AmfCursor& cursor) override;
  int EncodedSize() const override;
  void Dump() const override;
};

// A member of a container: an optional name and the value it owns. Objects
// and ECMA arrays hold named variables, strict arrays unnamed ones.
class AS_Variable : public AS_Value {
 public:
  explicit AS_Variable(std::unique_ptr<AS_Value> value)
      : AS_Value(-1), value(std::move(value)), named(false) {}
  AS_Variable(std::string memberName, std::unique_ptr<AS_Value> value)
      : AS_Value(-1), value(std::move(value)), named(true) {
    name = std::move(memberName);
  }
  // An empty variable for decoding; named says whether a name comes first.
  static std::unique_ptr<AS_Variable> ForDecoding(bool named);

  int Encode(uint8_t*& out) const override;
  int Decode(AmfCursor& cursor) override;
  int EncodedSize() const override;
  std::string AsString() const override { return value ? value->AsString() : std::string(); }
  double AsNumber() const override { return value ? value->AsNumber() : 0.0; }
  bool AsBool() const override { return value ? value->AsBool() : false; }
  int AsInt() const override { return value ? value->AsInt() : 0; }
  void Dump() const override;
  AS_Value* Value() override { return value ? value->Value() : nullptr; }

  std::unique_ptr<AS_Value> value;
  bool named;
};

}  // namespace Flash

#endif  // VIDSCRIBE_AMF_AMF0_VALUE_H
