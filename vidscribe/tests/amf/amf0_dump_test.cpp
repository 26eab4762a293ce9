#include <gtest/gtest.h>

#include "../stderr_capture.h"
#include "amf/amf0_value.h"

namespace Flash {
namespace {

TEST(Amf0Dump, TextsOfEachKind) {
  AS_ECMA_Array array;
  array.SetMember("duration", std::make_unique<AS_Double>(1.5));
  array.SetMember("hasVideo", std::make_unique<AS_UInt8>(1));
  array.SetMember("encoder", std::make_unique<AS_String>("Lavf"));
  auto times = std::make_unique<AS_Strict_Array>();
  times->AddValue(std::make_unique<AS_Double>(0));
  times->AddValue(std::make_unique<AS_Double>(2));
  auto keyframes = std::make_unique<AS_Object>();
  keyframes->SetMember("times", std::move(times));
  array.SetMember("keyframes", std::move(keyframes));
  StderrCapture capture;
  array.Dump();
  const std::string text = capture.text();
  const char* expected[] = {
      "(Flash:0): (ECMA_Array - Begin) : \n",
      "(Flash:0): (Variable) duration = \n",
      "(Flash:0): (Double)  : 1.500000\n",
      "(Flash:0): (UInt8)  : 1\n",
      "(Flash:0): (String)  : Lavf\n",
      "(Flash:0): (ECMA_Object - Begin) : \n",
      "(Flash:0): --- ECMA Strict Array with 2 elems\n",
      "(Flash:0): --- ECMA Object End\n",
      "(Flash:0): --- ECMA Array End\n",
  };
  size_t from = 0;
  for (const char* line : expected) {
    const size_t at = text.find(line, from);
    ASSERT_NE(at, std::string::npos) << line << "\nin:\n" << text;
    from = at;
  }
}

}  // namespace
}  // namespace Flash
