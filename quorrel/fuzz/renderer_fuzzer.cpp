// Feeds protocol lines to the renderer loop with the real application
// object: malformed JSON, wrong member types, unknown ids, odd typed values,
// replies and events in any order, for the bridge and the query router.
// Page scripts are swapped for a fixed set (chosen by the input) so that the
// fuzzer explores the bridge and the router rather than writing endless
// loops.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "renderer_loop.h"
#include "tk_cef_app.h"

namespace {

const char* const kScripts[] = {
    "var log = []; TKRegisterCallback('ev', function() { log.push(arguments.length); });",
    "TKInvoke({name: 'x', args: [1, 2.5, 'a', [], [1, [2]], new Date(1500), {}], onSuccess: function(t) { "
    "TKCall('again', t, function() {}); }, onFailure: function(c, t) { throw new Error(t); }})",
    "TKCall('x', {}, 2, function(c, t) { TKRegisterCallback('TKInvoke', function() {}); })",
    "TKRegisterCallback('TKInvoke', function(id, code, text) { TKInvoke({name: String(text), args: [id, "
    "code]}); })",
    "try { TKInvoke({name: 'x'}) } catch (e) {} try { TKCall('x') } catch (e) {} TKInvoke({args: []})",
    "var a = [1]; a.push(a); TKInvoke({name: 'cycle', args: [a, a]})",
    "TKRegisterCallback('ev', function(x, y) { if (Array.isArray(x)) TKCall('echo', x, y); })",
    "TKInvoke({name: 'x', get args() { throw 1; }, onSuccess: function() {}})",
    "throw new TypeError('page fault')",
    "TKInvoke = null; TKCall('still', 1)",
    "var q = cefQuery({request: 'a', persistent: true, onSuccess: function(r) { cefQueryCancel(q); "
    "cefQuery({request: r, onFailure: function(c, m) { TKCall('f', c, m); }}); }});",
    "try { cefQuery('x') } catch (e) {} try { cefQueryCancel('x') } catch (e) {} try { cefQuery({get "
    "request() { throw 1; }}) } catch (e) {} cefQueryCancel(0); cefQueryCancel(1); cefQuery({request: 'b', "
    "onSuccess: function() { throw new Error('cb'); }, onFailure: function() {}})",
    "TKRegisterCallback('cefQueryMsg', function(c, r) { cefQueryCancel(r | 0); cefQuery({request: 'c'}); });",
};
constexpr size_t kScriptCount = sizeof kScripts / sizeof kScripts[0];

void replaceScripts(Json::Value& message, int depth) {
  if (depth > 8 || !message.isObject()) return;
  if (message.isMember("script")) {
    const std::string original = message["script"].isString() ? message["script"].asString() : std::string();
    message["script"] = kScripts[std::hash<std::string>()(original) % kScriptCount];
  }
  if (message["messages"].isArray())
    for (auto& inner : message["messages"]) replaceScripts(inner, depth + 1);
}

std::string prepare(const std::string& line, Json::CharReader& reader) {
  Json::Value message;
  std::string errors;
  bool parsed = false;
  try {
    parsed = reader.parse(line.data(), line.data() + line.size(), &message, &errors);
  } catch (const std::exception&) {
  }
  if (!parsed || !message.isObject()) return line;
  replaceScripts(message, 0);
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  return Json::writeString(builder, message);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
  CefRefPtr<tarkel_cef::TKCefApp> app(new tarkel_cef::TKCefApp());
  CefRefPtr<CefCommandLine> commandLine = CefCommandLine::CreateCommandLine();
  {
    RendererLoop loop(
        app.get(), commandLine, [](const std::string&) {}, size_t{64} << 20);
    loop.Start();
    const std::string input(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    while (start <= input.size() && !loop.finished()) {
      size_t end = input.find('\n', start);
      if (end == std::string::npos) end = input.size();
      loop.HandleLine(prepare(input.substr(start, end - start), *reader));
      start = end + 1;
    }
  }
  // Every context, handler and heap object must be gone with the loop.
  if (!app->HasOneRef()) __builtin_trap();
  return 0;
}
