// What TKInvoke and TKCall send, and what they refuse.
#include "bridge_test_support.h"

namespace {

using RequestIds = BridgeTest;
using CallLists = BridgeTest;
using ArgumentChecks = BridgeTest;
using ValueConversion = BridgeTest;

TEST_F(RequestIds, StartAtOneAndAreSharedByBothFunctionsAndAllFrames) {
  auto first = Request("TKInvoke({name: 'x', args: []})");
  EXPECT_EQ(Compact(first[0]), R"({"int":1})");
  EXPECT_EQ(lastResult, "1");
  auto second = Request("TKCall('y', function() {})");
  EXPECT_EQ(Compact(second[0]), R"({"int":2})");
  EXPECT_EQ(lastResult, "2");
  helper->CreateContext(1, 11, false, 2);
  auto third = Request("TKCall('z', 1)", 2);
  EXPECT_EQ(Compact(third[0]), R"({"int":3})");
}

TEST_F(CallLists, InvokeKeepsPositionsWithNullsAndSendsNameFirst) {
  EXPECT_EQ(CallList(Request("TKInvoke({name: 'x', args: []})")), R"([{"string":"x"}])");
  EXPECT_EQ(CallList(Request("TKInvoke({name: 'x', args: [1, {}, 'a']})")),
            R"([{"string":"x"},{"int":1},{"null":null},{"string":"a"}])");
  EXPECT_EQ(CallList(Request("TKInvoke({name: 'x', args: [null, undefined, function() {}, true]})")),
            R"([{"string":"x"},{"null":null},{"null":null},{"null":null},{"bool":true}])");
}

TEST_F(CallLists, CallSkipsWhatItCannotConvertAndEndsInThatManyNulls) {
  EXPECT_EQ(CallList(Request("TKCall('x', {}, 2, function() {})")),
            R"([{"string":"x"},{"int":2},{"null":null},{"null":null}])");
  EXPECT_EQ(CallList(Request("TKCall('x', 5)")), R"([{"string":"x"},{"int":5}])");
  EXPECT_EQ(lastResult, "2");
  EXPECT_EQ(CallList(Request("TKCall('x', null, 'a', undefined, false)")),
            R"([{"string":"x"},{"string":"a"},{"bool":false},{"null":null},{"null":null}])");
}

TEST_F(CallLists, ArgsGetterThatThrowsSendsTheNameAlone) {
  const auto request = Request(
      "TKInvoke({name: 'x', get args() { throw new Error('no'); }, onSuccess: function(t) { log.push(t); "
      "}})");
  EXPECT_EQ(CallList(request), R"([{"string":"x"}])");
}

TEST_F(ArgumentChecks, ThrowTheirTextsInOrderAndSendNothing) {
  const std::string notImplemented = "not implement function";
  const std::string argsText = "Invalid arguments; object member args must have type array";
  const std::string nameText = "Invalid arguments; object member name is required and must have type string";
  const std::string successText = "Invalid arguments; object member 'onSuccess' must have type function";
  const std::string failureText = "Invalid arguments; object member 'onFailure' must have type function";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"TKInvoke()", notImplemented},
      {"TKInvoke({name: 'x', args: []}, 1)", notImplemented},
      {"TKInvoke('x')", notImplemented},
      {"TKInvoke({name: 'x'})", argsText},  // absent args reads as undefined
      {"TKInvoke({args: 5})", argsText},    // args is checked before name
      {"TKInvoke({args: []})", nameText},
      {"TKInvoke({name: 3, args: []})", nameText},
      {"TKInvoke({name: 'x', args: [], onSuccess: undefined})", successText},
      {"TKInvoke({name: 'x', args: [], onSuccess: 1, onFailure: 2})", successText},
      {"TKInvoke({name: 'x', args: [], onFailure: 'f'})", failureText},
      {"TKCall('x')", notImplemented},
      {"TKCall(1, 2)", notImplemented},
      {"TKRegisterCallback('x')", notImplemented},
      {"TKRegisterCallback('x', 1)", notImplemented},
      {"TKRegisterCallback(1, function() {})", notImplemented},
      {"TKRegisterCallback('x', function() {}, 3)", notImplemented},
  };
  for (const auto& [script, text] : cases) {
    auto sent =
        Sent("try { " + script + "; 'no exception' } catch (e) { (e instanceof Error) + ':' + e.message }");
    EXPECT_EQ(lastResult, "true:" + text) << script;
    EXPECT_TRUE(sent.empty()) << script;
  }
  // Failed checks use no id.
  EXPECT_EQ(Compact(Request("TKCall('x', 1)")[0]), R"({"int":1})");
}

TEST_F(ArgumentChecks, BridgeFunctionsAreReadOnlyButEnumerable) {
  EXPECT_EQ(helper->Run(1, "TKInvoke = 1; TKCall = 2; typeof TKInvoke + typeof TKCall"), "functionfunction");
  EXPECT_EQ(helper->Run(1, "Object.keys(this).filter(function(k) { return k.indexOf('TK') == 0; }).join()"),
            "TKInvoke,TKCall,TKRegisterCallback");
  EXPECT_EQ(helper->Run(1, "TKRegisterCallback('a', function() {})"), "undefined");
}

TEST_F(ValueConversion, DatesTravelAsWholeSecondsAndIntegersAsInts) {
  EXPECT_EQ(CallList(Request("TKInvoke({name: 'x', args: [new Date(1500), 3.0, 2.5, new Date(-1500), -0]})")),
            R"([{"string":"x"},{"double":1.0},{"int":3},{"double":2.5},{"double":-2.0},{"double":-0.0}])");
  EXPECT_EQ(
      CallList(Request("TKInvoke({name: 'x', args: [2147483647, 2147483648, -2147483648, -0.75, NaN]})")),
      R"([{"string":"x"},{"int":2147483647},{"double":2147483648.0},{"int":-2147483648},)"
      R"({"double":-0.75},{"double":"NaN"}])");
}

TEST_F(ValueConversion, ArraysNestWithPositionsAndEmptyOnesStayNull) {
  EXPECT_EQ(
      CallList(Request("TKInvoke({name: 'x', args: [[], [1, [], ['a', {}]]]})")),
      R"([{"string":"x"},{"null":null},{"list":[{"int":1},{"null":null},{"list":[{"string":"a"},{"null":null}]}]}])");
  // In TKCall an empty array keeps its place (as null) while an object gives it up.
  EXPECT_EQ(CallList(Request("TKCall('x', [], {}, 7)")),
            R"([{"string":"x"},{"null":null},{"int":7},{"null":null}])");
}

TEST_F(ValueConversion, TextRoundTripsThroughUtf8) {
  EXPECT_EQ(CallList(Request(R"(TKInvoke({name: 'x', args: ['h\u00e9llo \u4e16\u754c \ud83d\ude00']}))")),
            R"([{"string":"x"},{"string":"héllo 世界 😀"}])");
  // A lone surrogate cannot be UTF-8; it becomes U+FFFD rather than bad bytes.
  EXPECT_EQ(CallList(Request(R"(TKInvoke({name: 'x', args: ['a\ud800b']}))")),
            R"([{"string":"x"},{"string":"a)"
            "\xEF\xBF\xBD"
            R"(b"}])");
}

TEST_F(ValueConversion, WhatOneMessageCannotCarryThrowsInsteadOfGoingOutCut) {
  const std::string tooMany = "Invalid arguments; more than 262144 values to send";
  const std::string tooDeep = "Invalid arguments; arrays nested deeper than 63 levels";
  const std::string itself = "Invalid arguments; an array contains itself";
  helper->Run(1,
              "var cyclic = [1]; cyclic.push(cyclic);"
              "var half = []; half[150000] = 0; var shared = [[half], [half]];"
              "var sparse = []; sparse[300000] = 1;"
              "function nested(levels) { var d = 1; while (levels--) d = [d]; return d; }");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"TKInvoke({name: 'x', args: [cyclic]})", itself},
      {"TKInvoke({name: 'x', args: [shared]})", tooMany},  // counted at every level
      {"TKInvoke({name: 'x', args: [sparse, 'after']})", tooMany},
      {"TKInvoke({name: 'x', args: sparse})", tooMany},
      {"TKCall.apply(null, ['x'].concat(sparse))", tooMany},
      {"TKInvoke({name: 'x', args: [nested(64)]})", tooDeep},
      {"TKCall('x', nested(64), function() {})", tooDeep},
  };
  for (const auto& [script, text] : cases) {
    auto sent = Sent("try { " + script + "; 'sent' } catch (e) { e.message }");
    EXPECT_EQ(lastResult, text) << script;
    EXPECT_TRUE(sent.empty()) << script;
  }
  // At the limits everything arrives, and the refused calls used no id.
  const auto deepest = Request("TKInvoke({name: 'x', args: [nested(63)]})");
  EXPECT_EQ(Compact(deepest[0]), R"({"int":1})");
  std::string innermost;
  for (int level = 0; level < 63; ++level) innermost += R"({"list":[)";
  EXPECT_NE(CallList(deepest).find(innermost + R"({"int":1}]})"), std::string::npos);
  const auto widest = Request("var w = []; w[262140] = 'last'; TKInvoke({name: 'x', args: w})");
  EXPECT_EQ(widest[1]["list"].size(), 262142u);
  EXPECT_EQ(Compact(widest[1]["list"][262141]), R"({"string":"last"})");
}

}  // namespace
