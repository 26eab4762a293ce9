#include "amf/amf0_value.h"

#include <gtest/gtest.h>

#include <vector>

#include "amf/amf0_metadata.h"

namespace Flash {
namespace {

std::vector<uint8_t> encode(const AS_Value& value) {
  std::vector<uint8_t> bytes(static_cast<size_t>(value.EncodedSize()));
  uint8_t* out = bytes.data();
  EXPECT_EQ(value.Encode(out), value.EncodedSize());
  EXPECT_EQ(out, bytes.data() + bytes.size());
  return bytes;
}

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<uint8_t> text(const std::string& s) {
  return std::vector<uint8_t>(s.begin(), s.end());
}

TEST(Amf0Encoding, EcmaArrayMembersAndEndMarker) {
  AS_ECMA_Array empty;
  EXPECT_EQ(empty.EncodedSize(), 8);
  EXPECT_EQ(encode(empty), (std::vector<uint8_t>{8, 0, 0, 0, 0, 0, 0, 9}));

  AS_ECMA_Array array;
  array.SetMember("duration", std::make_unique<AS_Double>(1.5));
  const std::vector<uint8_t> expected = std::vector<uint8_t>{8, 0, 0, 0, 1, 0, 8} + text("duration") +
                                        std::vector<uint8_t>{0, 0x3F, 0xF8, 0, 0, 0, 0, 0, 0, 0, 0, 9};
  EXPECT_EQ(encode(array), expected);
}

TEST(Amf0Encoding, StrictArrayWritesBareElements) {
  AS_Strict_Array array;
  array.AddValue(std::make_unique<AS_Double>(1.0));
  // A named element still goes out without its name.
  array.AddChild(std::make_unique<AS_Variable>("ignored", std::make_unique<AS_Double>(2.0)));
  const std::vector<uint8_t> bytes = encode(array);
  ASSERT_EQ(bytes.size(), 5u + 9 + 9);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 5), (std::vector<uint8_t>{10, 0, 0, 0, 2}));
  EXPECT_EQ(bytes[5], 0);
  EXPECT_EQ(bytes[14], 0);
  EXPECT_EQ(bytes[15], 0x40);  // 2.0
}

TEST(Amf0Encoding, BaseValueAndOversizedStringRefuse) {
  AS_Value base;
  uint8_t buffer[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  uint8_t* out = buffer;
  EXPECT_EQ(base.Encode(out), -1);
  EXPECT_EQ(out, buffer);
  AS_String huge(std::string(70000, 'a'));
  std::vector<uint8_t> room(static_cast<size_t>(huge.EncodedSize()));
  out = room.data();
  EXPECT_EQ(huge.Encode(out), -1);
}

TEST(Amf0Members, SetMemberReplacesInPlaceAndAppendsNew) {
  AS_ECMA_Array array;
  array.SetMember("duration", std::make_unique<AS_Double>(1.0));
  array.SetMember("width", std::make_unique<AS_Double>(640));
  array.SetMember("duration", std::make_unique<AS_Double>(9.0));
  array.SetMember("hasVideo", std::make_unique<AS_UInt8>(1));
  ASSERT_EQ(array.children.size(), 3u);
  EXPECT_EQ(array.children[0]->name, "duration");
  EXPECT_EQ(array.children[0]->AsNumber(), 9.0);
  EXPECT_EQ(array.children[2]->name, "hasVideo");
  EXPECT_TRUE(array.FindMember("hasVideo")->AsBool());
  EXPECT_EQ(array.FindMember("Duration"), nullptr);  // case-sensitive
  // Re-setting a member to the value it already holds keeps it alive.
  AS_Variable* width = array.FindMember("width");
  array.SetMember("width", std::unique_ptr<AS_Value>(width->value.get()));
  EXPECT_EQ(array.FindMember("width")->AsNumber(), 640.0);
  // Accessors forward through the variable; a string is no number.
  array.SetMember("encoder", std::make_unique<AS_String>("x"));
  EXPECT_EQ(array.FindMember("encoder")->AsNumber(), 0.0);
  EXPECT_EQ(array.FindMember("encoder")->AsString(), "x");
  EXPECT_EQ(array.FindMember("encoder")->Value()->marker, kString);
}

TEST(Amf0Decoding, RoundTripOfEveryKind) {
  AS_ECMA_Array array;
  array.SetMember("n", std::make_unique<AS_Double>(-2.25));
  array.SetMember("b", std::make_unique<AS_UInt8>(1));
  array.SetMember("s", std::make_unique<AS_String>("text"));
  array.SetMember("l", std::make_unique<AS_LongString>("long"));
  array.SetMember("z", std::make_unique<AS_NullType>());
  array.SetMember("r", std::make_unique<AS_UInt16>(513));
  auto date = std::make_unique<AS_Date>();
  date->milliseconds = 1.5e12;
  date->timeZone = -60;
  array.SetMember("d", std::move(date));
  auto object = std::make_unique<AS_Object>();
  auto list = std::make_unique<AS_Strict_Array>();
  list->AddValue(std::make_unique<AS_Double>(3));
  object->SetMember("times", std::move(list));
  array.SetMember("o", std::move(object));

  const std::vector<uint8_t> bytes = encode(array);
  AS_ECMA_Array decoded;
  AmfCursor cursor(bytes.data(), bytes.size());
  ASSERT_EQ(decoded.Decode(cursor), 0);
  EXPECT_EQ(cursor.remaining(), 0u);
  EXPECT_EQ(encode(decoded), bytes);
  EXPECT_EQ(decoded.FindMember("r")->AsInt(), 513);
  auto* decodedDate = dynamic_cast<AS_Date*>(decoded.FindMember("d")->Value());
  ASSERT_NE(decodedDate, nullptr);
  EXPECT_EQ(decodedDate->timeZone, -60);
}

TEST(Amf0Decoding, ShortCountsMissingEndAndTruncation) {
  AS_ECMA_Array array;
  array.SetMember("a", std::make_unique<AS_Double>(1));
  array.SetMember("b", std::make_unique<AS_Double>(2));
  std::vector<uint8_t> bytes = encode(array);

  // The end marker is optional on input.
  {
    std::vector<uint8_t> noEnd(bytes.begin(), bytes.end() - 3);
    AS_ECMA_Array decoded;
    AmfCursor cursor(noEnd.data(), noEnd.size());
    EXPECT_EQ(decoded.Decode(cursor), 0);
    EXPECT_EQ(decoded.children.size(), 2u);
  }
  // A count beyond the members present keeps those present, still succeeds.
  for (uint32_t count : {5u, 0x7FFFFFFFu}) {
    std::vector<uint8_t> more(bytes.begin(), bytes.end() - 3);
    more[1] = static_cast<uint8_t>(count >> 24);
    more[2] = static_cast<uint8_t>(count >> 16);
    more[3] = static_cast<uint8_t>(count >> 8);
    more[4] = static_cast<uint8_t>(count);
    AS_ECMA_Array decoded;
    AmfCursor cursor(more.data(), more.size());
    EXPECT_EQ(decoded.Decode(cursor), 0);
    EXPECT_EQ(decoded.children.size(), 2u);
  }
  // Every truncation decodes without reading past the end (the sanitizer
  // watches the exact-size copies).
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<long>(cut));
    AS_ECMA_Array decoded;
    AmfCursor cursor(part.data(), part.size());
    decoded.Decode(cursor);
    EXPECT_LE(decoded.children.size(), 2u);
  }
}

TEST(Amf0Decoding, UnsupportedMarkersAndDeepNesting) {
  // An object member holding "undefined" (6) fails the whole object.
  const std::vector<uint8_t> object =
      std::vector<uint8_t>{3, 0, 1} + text("u") + std::vector<uint8_t>{6, 0, 0, 9};
  AS_Object decodedObject;
  AmfCursor objectCursor(object.data(), object.size());
  EXPECT_LT(decodedObject.Decode(objectCursor), 0);

  // In an ECMA array the bad member is dropped and decoding goes on.
  const std::vector<uint8_t> array =
      std::vector<uint8_t>{8, 0, 0, 0, 1, 0, 1} + text("u") + std::vector<uint8_t>{6, 0, 0, 9};
  AS_ECMA_Array decodedArray;
  AmfCursor arrayCursor(array.data(), array.size());
  EXPECT_EQ(decodedArray.Decode(arrayCursor), 0);
  EXPECT_TRUE(decodedArray.children.empty());

  std::unique_ptr<AS_Value> none;
  for (uint8_t marker : {6, 9, 13, 255}) {
    EXPECT_EQ(AS_Value::Create(marker, none), 0);
    EXPECT_EQ(none, nullptr);
  }
  AS_Value::Create(4, none);
  EXPECT_EQ(none->marker, kString);

  // Strict arrays nested far deeper than the limit fail instead of
  // exhausting the stack.
  std::vector<uint8_t> deep;
  for (int i = 0; i < 100000; ++i) deep.insert(deep.end(), {10, 0, 0, 0, 1});
  AS_Strict_Array decodedDeep;
  AmfCursor deepCursor(deep.data(), deep.size());
  decodedDeep.Decode(deepCursor);
  const AS_Value* level = &decodedDeep;
  int depth = 0;
  while (!level->children.empty()) {
    level = static_cast<const AS_Variable*>(level->children[0].get())->value.get();
    ++depth;
  }
  EXPECT_LT(depth, kMaxNesting);
}

TEST(Amf0MetaData, BodyRoundTrip) {
  MetaDataBody body;
  body.name.value = "onMetaData";
  body.entries.SetMember("duration", std::make_unique<AS_Double>(4));
  const std::vector<uint8_t> bytes = EncodeMetaData(body);
  MetaDataBody decoded;
  ASSERT_TRUE(DecodeMetaData(bytes.data(), bytes.size(), decoded));
  EXPECT_EQ(decoded.name.value, "onMetaData");
  EXPECT_EQ(decoded.entries.FindMember("duration")->AsNumber(), 4.0);
  EXPECT_FALSE(DecodeMetaData(bytes.data(), 3, decoded));
  decoded.entries.Dump();
}

}  // namespace
}  // namespace Flash
