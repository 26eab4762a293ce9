// JavaScript values and contexts of the layer, on the real engine.
#include <gtest/gtest.h>

#include "cef_v8.h"
#include "v8_engine.h"
#include "v8_value.h"

namespace {

class V8Values : public ::testing::Test {
 protected:
  void SetUp() override {
    engine = new V8Engine();
    V8Engine::SetCurrent(engine.get());
    a = new V8ContextImpl(engine->CreateContext(nullptr, nullptr));
    b = new V8ContextImpl(engine->CreateContext(nullptr, nullptr));
  }
  void TearDown() override {
    a = nullptr;
    b = nullptr;
    engine->Shutdown();
  }
  CefRefPtr<CefV8Value> Eval(CefRefPtr<CefV8Context> context, const std::string& code) {
    CefRefPtr<CefV8Value> value;
    CefRefPtr<CefV8Exception> exception;
    context->Eval(code, value, exception);
    if (exception) ADD_FAILURE() << code << ": " << exception->GetMessage().ToString();
    return value;
  }

  CefRefPtr<V8Engine> engine;
  CefRefPtr<CefV8Context> a, b;
};

TEST_F(V8Values, NumbersSplitIntoInt32AndTheRest) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"0", true},           {"-1", true},          {"3.0", true},          {"2147483647", true},
      {"-2147483648", true}, {"2147483648", false}, {"-2147483649", false}, {"0.5", false},
      {"-0", false},         {"NaN", false},        {"Infinity", false}};
  for (const auto& [code, isInt] : cases) {
    auto value = Eval(a, code);
    EXPECT_TRUE(value->IsDouble()) << code;
    EXPECT_EQ(value->IsInt(), isInt) << code;
  }
  EXPECT_EQ(Eval(a, "4294967301")->GetIntValue(), 5);  // modulo 2^32 like the engine
  EXPECT_FALSE(Eval(a, "'1'")->IsInt());
}

TEST_F(V8Values, DatesAreRecognisedByBrandNotByPrototype) {
  EXPECT_TRUE(Eval(a, "new Date(1500)")->IsDate());
  EXPECT_TRUE(Eval(a, "new Date(NaN)")->IsDate());
  EXPECT_FALSE(Eval(a, "Object.create(Date.prototype)")->IsDate());
  EXPECT_FALSE(Eval(a, "({getTime: function() { return 1; }})")->IsDate());
  // A Date made in another context is still a Date.
  auto global = a->GetGlobal();
  global->SetValue("foreign", Eval(b, "new Date(86400000 * 365)"), V8_PROPERTY_ATTRIBUTE_NONE);
  auto foreign = Eval(a, "foreign");
  ASSERT_TRUE(foreign->IsDate());
  EXPECT_EQ(foreign->GetDateValue().year, 1971);
  CefTime when;
  cef_time_from_doublet(1.25, &when);
  ASSERT_TRUE(a->Enter());
  auto made = CefV8Value::CreateDate(when);
  a->Exit();
  ASSERT_TRUE(made && made->IsDate());
  EXPECT_EQ(made->GetDateValue().millisecond, 250);
}

TEST_F(V8Values, ContextsHaveTheirOwnGlobalsAndSamenessIsByContext) {
  Eval(a, "var name = 'a'");
  Eval(b, "var name = 'b'");
  EXPECT_EQ(Eval(a, "name")->GetStringValue().ToString(), "a");
  EXPECT_EQ(Eval(a, "typeof Duktape")->GetStringValue().ToString(), "undefined");
  EXPECT_EQ(Eval(b, "name")->GetStringValue().ToString(), "b");
  CefRefPtr<CefV8Context> again = new V8ContextImpl(static_cast<V8ContextImpl*>(a.get())->state());
  EXPECT_NE(again.get(), a.get());
  EXPECT_TRUE(again->IsSame(a));
  EXPECT_FALSE(b->IsSame(a));
  EXPECT_TRUE(a->GetGlobal()->IsSame(again->GetGlobal()));
}

TEST_F(V8Values, MemberAccessKeepsScriptErrorsOnTheValue) {
  auto object = Eval(a, "({plain: 1, get bad() { throw new TypeError('getter'); }})");
  EXPECT_TRUE(object->HasValue("plain"));
  EXPECT_FALSE(object->HasValue("absent"));
  EXPECT_TRUE(object->GetValue("absent")->IsUndefined());
  EXPECT_FALSE(object->GetValue("bad"));
  ASSERT_TRUE(object->HasException());
  EXPECT_EQ(object->GetException()->GetMessage().ToString(), "TypeError: getter");
  auto proxy = Eval(a, "new Proxy({}, {has: function() { throw 1; }})");
  EXPECT_FALSE(proxy->HasValue("x"));
  EXPECT_TRUE(proxy->HasException());
  std::vector<CefString> keys;
  ASSERT_TRUE(Eval(a, "({x: 1, y: 2})")->GetKeys(keys));
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[1].ToString(), "y");
}

TEST_F(V8Values, PropertyAttributesAreHonoured) {
  auto global = a->GetGlobal();
  global->SetValue(
      "fixed", CefV8Value::CreateInt(1),
      static_cast<CefV8PropertyAttribute>(V8_PROPERTY_ATTRIBUTE_READONLY | V8_PROPERTY_ATTRIBUTE_DONTENUM |
                                          V8_PROPERTY_ATTRIBUTE_DONTDELETE));
  global->SetValue("loose", CefV8Value::CreateInt(2), V8_PROPERTY_ATTRIBUTE_NONE);
  EXPECT_EQ(Eval(a, "fixed = 5; delete fixed; fixed")->GetIntValue(), 1);
  EXPECT_EQ(Eval(a, "Object.keys(this).indexOf('fixed')")->GetIntValue(), -1);
  EXPECT_EQ(Eval(a, "loose = 5; loose")->GetIntValue(), 5);
}

class Recorder : public CefRefCounted<CefV8Handler> {
 public:
  bool Execute(const CefString& name, CefRefPtr<CefV8Value> object, const CefV8ValueList& arguments,
               CefRefPtr<CefV8Value>& retval, CefString& exception) override {
    calls.push_back(name.ToString() + "/" + std::to_string(arguments.size()));
    receiverIsObject = object->IsObject();
    current = CefV8Context::GetCurrentContext();
    if (!arguments.empty() && arguments[0]->IsString() &&
        arguments[0]->GetStringValue() == CefString("throw"))
      exception = "refused";
    else
      retval = CefV8Value::CreateInt(static_cast<int>(arguments.size()));
    return true;
  }
  std::vector<std::string> calls;
  bool receiverIsObject = false;
  CefRefPtr<CefV8Context> current;
};

TEST_F(V8Values, NativeFunctionsSeeTheirCallerContextAndThrowErrors) {
  CefRefPtr<Recorder> recorder = new Recorder();
  ASSERT_TRUE(a->Enter());
  auto function = CefV8Value::CreateFunction("native", recorder.get());
  a->Exit();
  a->GetGlobal()->SetValue("native", function, V8_PROPERTY_ATTRIBUTE_NONE);
  b->GetGlobal()->SetValue("native", function, V8_PROPERTY_ATTRIBUTE_NONE);
  EXPECT_EQ(Eval(b, "native(1, 2, 3)")->GetIntValue(), 3);
  ASSERT_TRUE(recorder->current);
  EXPECT_TRUE(recorder->current->IsSame(b));
  EXPECT_TRUE(recorder->receiverIsObject);
  EXPECT_EQ(Eval(a, "try { native('throw') } catch (e) { e instanceof Error ? e.message : 'not an Error' }")
                ->GetStringValue()
                .ToString(),
            "refused");
  EXPECT_EQ(function->GetFunctionName().ToString(), "native");
  EXPECT_EQ(Eval(a, "native.name")->GetStringValue().ToString(), "native");
  EXPECT_EQ(function->GetFunctionHandler().get(), static_cast<CefV8Handler*>(recorder.get()));
  EXPECT_EQ(recorder->calls, (std::vector<std::string>{"native/3", "native/1"}));
  EXPECT_FALSE(CefV8Context::InContext());
}

TEST_F(V8Values, ExecutingFunctionsPassesReceiverAndCatchesThrows) {
  auto f = Eval(
      a, "(function(x, y) { if (x === 'boom') throw new Error('bad'); return [this.tag, x, y].join(); })");
  auto receiver = Eval(a, "({tag: 'me'})");
  auto result =
      f->ExecuteFunctionWithContext(a, receiver, {CefV8Value::CreateInt(1), CefV8Value::CreateString("s")});
  ASSERT_TRUE(result);
  EXPECT_EQ(result->GetStringValue().ToString(), "me,1,s");
  EXPECT_FALSE(f->ExecuteFunctionWithContext(a, nullptr, {CefV8Value::CreateString("boom")}));
  ASSERT_TRUE(f->HasException());
  EXPECT_EQ(f->GetException()->GetMessage().ToString(), "Error: bad");
}

TEST_F(V8Values, HandlesStopWorkingOnceTheHeapIsGone) {
  auto object = Eval(a, "({x: 1})");
  a = nullptr;
  b = nullptr;
  engine->Shutdown();
  EXPECT_FALSE(object->IsValid());
  EXPECT_FALSE(object->GetValue("x"));
  EXPECT_FALSE(CefV8Value::CreateObject());
}

TEST_F(V8Values, SlotsAreGivenBackWhenHandlesGo) {
  const size_t before = engine->liveSlots();
  {
    auto object = Eval(a, "({})");
    auto array = Eval(a, "[1, 2]");
    EXPECT_EQ(engine->liveSlots(), before + 2);
  }
  EXPECT_EQ(engine->liveSlots(), before);
}

}  // namespace
