#include "renderer_loop.h"

#include <limits>

#include "json_line.h"
#include "line_values.h"
#include "protocol_values.h"
#include "v8_value.h"

namespace {

// A batch inside a batch is allowed, but not without end.
constexpr int kMaxBatchDepth = 8;

bool isInt32(const Json::Value& v) {
  return v.isInt();
}

std::string memberString(const Json::Value& message, const char* key) {
  const Json::Value& v = message[key];
  return v.isString() ? v.asString() : std::string();
}

}  // namespace

RendererLoop::RendererLoop(CefRefPtr<CefApp> app, CefRefPtr<CefCommandLine> commandLine, Output output,
                           size_t heapLimit)
    : app_(app), commandLine_(commandLine), output_(std::move(output)), engine_(new V8Engine(heapLimit)) {
  V8Engine::SetCurrent(engine_.get());
  if (app_) handler_ = app_->GetRenderProcessHandler();
  // Plain JSON and nothing after it: no comments, trailing commas or
  // duplicate keys, which a lenient reader would quietly make sense of.
  Json::CharReaderBuilder readerBuilder;
  Json::CharReaderBuilder::strictMode(&readerBuilder.settings_);
  readerBuilder["stackLimit"] = 256;
  readerBuilder["collectComments"] = false;
  reader_.reset(readerBuilder.newCharReader());
}

RendererLoop::~RendererLoop() {
  Shutdown();
}

void RendererLoop::Start() {
  if (started_) return;
  started_ = true;
  Json::Value report(Json::objectValue);
  report["type"] = "command_line";
  report["process_type"] = "renderer";
  report["argv"] = Json::Value(Json::arrayValue);
  std::vector<CefString> argv;
  if (commandLine_) commandLine_->GetArgv(argv);
  for (const auto& arg : argv) report["argv"].append(arg.ToString());
  send(report);
  if (handler_) {
    handler_->OnRenderThreadCreated(CefListValue::Create());
    handler_->OnWebKitInitialized();
  }
  queue_.RunUntilIdle();
}

void RendererLoop::HandleLine(const std::string& line) {
  if (finished_) return;
  if (!started_) Start();
  if (CountLineValues(line, kMaxLineValues) > kMaxLineValues)
    return ReportError("line holds more than " + std::to_string(kMaxLineValues) + " values; discarded");
  Json::Value message;
  std::string errors;
  bool parsed = false;
  try {
    parsed = reader_->parse(line.data(), line.data() + line.size(), &message, &errors);
  } catch (const std::exception& e) {
    errors = e.what();
  }
  if (!parsed || !message.isObject()) {
    ReportError("not a JSON object: " + (errors.empty() ? std::string("wrong type") : errors));
    return;
  }
  // With nothing queued the line would run first anyway; skipping the queue
  // saves a copy on the busiest path.
  if (queue_.empty())
    dispatch(message, 0);
  else
    queue_.Post([this, message = std::move(message)] { dispatch(message, 0); });
  queue_.RunUntilIdle();
}

void RendererLoop::dispatch(const Json::Value& message, int batchDepth) {
  if (finished_) return;
  // The JSON library throws on some misuse of its values; whatever a line
  // holds, it must not take the loop down.
  try {
    route(message, batchDepth);
  } catch (const std::exception& e) {
    ReportError(std::string("message not understood: ") + e.what());
  }
}

void RendererLoop::route(const Json::Value& message, int batchDepth) {
  const std::string type = memberString(message, "type");
  if (type == "ping") {
    if (!message.isMember("id")) return ReportError("ping needs an \"id\"");
    Json::Value pong(Json::objectValue);
    pong["type"] = "pong";
    pong["id"] = message["id"];
    // Answered only after everything queued before it has run.
    queue_.Post([this, pong] { send(pong); });
  } else if (type == "browser_created") {
    onBrowserCreated(message);
  } else if (type == "browser_destroyed") {
    onBrowserDestroyed(message);
  } else if (type == "context_created") {
    onContextCreated(message);
  } else if (type == "run_script") {
    onRunScript(message);
  } else if (type == "focused_node_changed") {
    onFocusedNodeChanged(message);
  } else if (type == "process_message") {
    onProcessMessage(message);
  } else if (type == "context_released") {
    onContextReleased(message);
  } else if (type == "batch") {
    onBatch(message, batchDepth);
  } else if (type == "shutdown") {
    Shutdown();
  } else {
    ReportError("unknown message type \"" + type + "\"");
  }
}

void RendererLoop::onBrowserCreated(const Json::Value& message) {
  if (!isInt32(message["browser"])) return ReportError("browser_created needs an integer \"browser\"");
  const int id = message["browser"].asInt();
  if (browsers_.count(id)) return ReportError("browser " + std::to_string(id) + " exists already");
  CefRefPtr<BrowserImpl> browser = new BrowserImpl(id, this);
  browsers_[id] = browser;
  if (handler_) handler_->OnBrowserCreated(browser);
}

void RendererLoop::onBrowserDestroyed(const Json::Value& message) {
  CefRefPtr<BrowserImpl> browser = browserFrom(message);
  if (!browser) return;
  // A browser's contexts go before the browser itself.
  std::vector<int> owned;
  for (const auto& entry : contexts_)
    if (entry.second.browser == browser) owned.push_back(entry.first);
  for (int id : owned) releaseContext(id);
  if (handler_) handler_->OnBrowserDestroyed(browser);
  browser->Detach();
  browsers_.erase(browser->GetIdentifier());
}

void RendererLoop::onContextCreated(const Json::Value& message) {
  CefRefPtr<BrowserImpl> browser = browserFrom(message);
  if (!browser) return;
  const Json::Value& frameId = message["frame"];
  const Json::Value& contextId = message["context"];
  if (!frameId.isInt64() || !isInt32(contextId) || !message["main"].isBool())
    return ReportError("context_created needs integer \"frame\" and \"context\" and boolean \"main\"");
  if (message.isMember("script") && !message["script"].isString())
    return ReportError("context_created \"script\" must be a string");
  const int id = contextId.asInt();
  if (contexts_.count(id)) return ReportError("context " + std::to_string(id) + " exists already");
  CefRefPtr<FrameImpl> frame = browser->FrameFor(frameId.asInt64(), message["main"].asBool());
  // A frame shows one document at a time: a new context replaces the old.
  for (const auto& entry : contexts_)
    if (entry.second.frame == frame) {
      releaseContext(entry.first);
      break;
    }
  Context context{engine_->CreateContext(browser, frame), browser, frame};
  frame->SetContext(context.state);
  contexts_[id] = context;
  if (handler_) {
    // The handler sets things up inside the new context, as page code would.
    CefRefPtr<CefV8Context> handle = new V8ContextImpl(context.state);
    handle->Enter();
    handler_->OnContextCreated(browser, frame, handle);
    handle->Exit();
  }
  const std::string script = memberString(message, "script");
  if (!script.empty() && !finished_) runScript(id, script, nullptr);
}

void RendererLoop::onRunScript(const Json::Value& message) {
  Context* context = contextFrom(message);
  if (!context) return;
  if (!message["script"].isString()) return ReportError("run_script needs a string \"script\"");
  const int id = message["context"].asInt();
  Json::Value result(Json::objectValue);
  const bool ok = runScript(id, message["script"].asString(), &result);
  if (message.isMember("id") && !finished_) {
    result["type"] = "script_result";
    result["id"] = message["id"];
    result["ok"] = ok;
    send(result);
  }
}

bool RendererLoop::runScript(int contextId, const std::string& script, Json::Value* result) {
  auto it = contexts_.find(contextId);
  if (it == contexts_.end()) return false;
  Context context = it->second;
  CefRefPtr<CefV8Context> handle = new V8ContextImpl(context.state);
  CefRefPtr<CefV8Value> value;
  CefRefPtr<CefV8Exception> exception;
  const bool ok = handle->Eval(script, value, exception);
  if (!engine_->alive()) return ok;
  if (ok && result && value) {
    duk_context* ctx = engine_->ctx();
    V8PushValue(ctx, value);
    duk_safe_to_string(ctx, -1);
    (*result)["result"] = V8GetString(ctx, -1).ToString();
    duk_pop(ctx);
  }
  if (!ok && exception) {
    Json::Value report(Json::objectValue);
    report["type"] = "exception";
    report["context"] = contextId;
    report["message"] = exception->GetMessage().ToString();
    report["line"] = exception->GetLineNumber();
    send(report);
    if (result) (*result)["exception"] = report["message"];
    if (handler_) handler_->OnUncaughtException(context.browser, context.frame, handle, exception, nullptr);
  }
  return ok;
}

void RendererLoop::onFocusedNodeChanged(const Json::Value& message) {
  CefRefPtr<BrowserImpl> browser = browserFrom(message);
  if (!browser) return;
  if (!message["frame"].isInt64()) return ReportError("focused_node_changed needs an integer \"frame\"");
  CefRefPtr<CefFrame> frame = browser->GetFrame(message["frame"].asInt64());
  if (!frame) return ReportError("focused_node_changed for an unknown frame");
  // An absent node is a mistake of the browser's, not focus leaving.
  if (!message.isMember("node")) return ReportError("focused_node_changed needs a \"node\"");
  CefRefPtr<CefDOMNode> domNode;
  const std::string error = nodeFrom(message["node"], domNode);
  if (!error.empty()) return ReportError(error);
  if (handler_) handler_->OnFocusedNodeChanged(browser, frame, domNode);
}

// Null stands for no node; an object must say whether the node is editable
// and may list its attributes.
std::string RendererLoop::nodeFrom(const Json::Value& node, CefRefPtr<CefDOMNode>& domNode) {
  if (node.isNull()) return std::string();
  if (!node.isObject()) return "\"node\" must be an object or null";
  if (!node["editable"].isBool()) return "node needs a boolean \"editable\"";
  CefDOMNode::AttributeMap attributes;
  if (node.isMember("attributes")) {
    const Json::Value& attrs = node["attributes"];
    if (!attrs.isObject()) return "node attributes must be an object";
    for (const auto& name : attrs.getMemberNames()) {
      if (!attrs[name].isString()) return "node attribute values must be strings";
      attributes[CefString(name)] = CefString(attrs[name].asString());
    }
  }
  domNode = new DOMNodeImpl(node["editable"].asBool(), attributes);
  return std::string();
}

void RendererLoop::onProcessMessage(const Json::Value& message) {
  CefRefPtr<BrowserImpl> browser = browserFrom(message);
  if (!browser) return;
  if (!message["name"].isString()) return ReportError("process_message needs a string \"name\"");
  std::string error;
  auto args = ListFromJson(message.isMember("args") ? message["args"] : Json::Value(Json::arrayValue), error);
  if (!args) return ReportError("process_message args: " + error);
  CefRefPtr<CefProcessMessage> processMessage =
      MakeProcessMessage(CefString(message["name"].asString()), *args);
  if (handler_) handler_->OnProcessMessageReceived(browser, PID_BROWSER, processMessage);
}

void RendererLoop::onContextReleased(const Json::Value& message) {
  Context* context = contextFrom(message);
  if (!context) return;
  const Context released = *context;
  releaseContext(message["context"].asInt());
  // A frame whose page went away without a successor is gone for all we
  // know; iframes made anew get new ids, and keeping each would grow the
  // renderer without end. A later context for the id makes it again.
  if (!released.frame->context()) released.browser->ForgetFrame(released.frame->GetIdentifier());
}

void RendererLoop::onBatch(const Json::Value& message, int batchDepth) {
  const Json::Value& messages = message["messages"];
  if (!messages.isArray()) return ReportError("batch needs an array \"messages\"");
  if (batchDepth >= kMaxBatchDepth) return ReportError("batches nested too deeply");
  for (const auto& inner : messages) {
    if (!inner.isObject()) {
      ReportError("batch elements must be objects");
      continue;
    }
    queue_.Post([this, inner, batchDepth] { dispatch(inner, batchDepth + 1); });
  }
}

void RendererLoop::releaseContext(int contextId) {
  auto it = contexts_.find(contextId);
  if (it == contexts_.end()) return;
  Context context = it->second;
  contexts_.erase(it);
  if (handler_) {
    CefRefPtr<CefV8Context> handle = new V8ContextImpl(context.state);
    handle->Enter();
    handler_->OnContextReleased(context.browser, context.frame, handle);
    handle->Exit();
  }
  if (context.frame->context() == context.state) context.frame->SetContext(nullptr);
  engine_->ReleaseContext(context.state);
}

CefRefPtr<BrowserImpl> RendererLoop::browserFrom(const Json::Value& message) {
  if (!isInt32(message["browser"])) {
    ReportError("message needs an integer \"browser\"");
    return nullptr;
  }
  auto it = browsers_.find(message["browser"].asInt());
  if (it == browsers_.end()) {
    ReportError("unknown browser " + std::to_string(message["browser"].asInt()));
    return nullptr;
  }
  return it->second;
}

RendererLoop::Context* RendererLoop::contextFrom(const Json::Value& message) {
  if (!isInt32(message["context"])) {
    ReportError("message needs an integer \"context\"");
    return nullptr;
  }
  auto it = contexts_.find(message["context"].asInt());
  if (it == contexts_.end()) {
    ReportError("unknown context " + std::to_string(message["context"].asInt()));
    return nullptr;
  }
  return &it->second;
}

void RendererLoop::Shutdown() {
  if (finished_) return;
  finished_ = true;
  while (!contexts_.empty()) releaseContext(contexts_.begin()->first);
  for (auto& entry : browsers_) {
    if (handler_) handler_->OnBrowserDestroyed(entry.second);
    entry.second->Detach();
  }
  browsers_.clear();
  queue_.Clear();
  engine_->Shutdown();
}

// Written directly rather than through a Json::Value: this is the line
// every bridge call produces.
void RendererLoop::SendToBrowserProcess(int browserId, CefRefPtr<CefProcessMessage> message) {
  std::string line = "{\"args\":";
  AppendListJson(message->GetArgumentList(), line);
  line += ",\"browser\":" + std::to_string(browserId) + ",\"name\":";
  AppendJsonString(message->GetName().ToString(), line);
  line += ",\"type\":\"process_message\"}";
  output_(line);
}

void RendererLoop::send(const Json::Value& message) {
  std::string line;
  AppendJsonLine(message, line);
  output_(line);
}

void RendererLoop::ReportError(const std::string& text) {
  Json::Value out(Json::objectValue);
  out["type"] = "error";
  out["message"] = text;
  send(out);
}
