// The renderer process's main loop, minus the pipe: it takes the browser
// process's messages one line at a time, turns them into render-process
// handler calls, and hands its own messages to an output function.
//
// Every line is queued on the renderer's task queue, and so is every task
// posted with CefPostTask; the queue runs to idle after each line. A task
// posted while a message is handled therefore runs after that message, and
// after any later message of the same batch.
#pragma once

#include <json/json.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "cef_app.h"
#include "renderer_browser.h"
#include "task_queue.h"
#include "v8_engine.h"

class RendererLoop : public ProcessMessageSink {
 public:
  using Output = std::function<void(const std::string& line)>;

  RendererLoop(CefRefPtr<CefApp> app, CefRefPtr<CefCommandLine> commandLine, Output output,
               size_t heapLimit = V8Engine::kDefaultHeapLimit);
  ~RendererLoop() override;

  // Reports the command line and starts the render-process handler.
  void Start();
  // Handles one line (without its newline) and everything it queues.
  void HandleLine(const std::string& line);
  // Releases every context and browser and destroys the engine; further
  // lines are ignored.
  void Shutdown();
  bool finished() const { return finished_; }

  void SendToBrowserProcess(int browserId, CefRefPtr<CefProcessMessage> message) override;
  // An "error" line to the browser: input it could not use.
  void ReportError(const std::string& text);

 private:
  struct Context {
    std::shared_ptr<V8ContextState> state;
    CefRefPtr<BrowserImpl> browser;
    CefRefPtr<FrameImpl> frame;
  };

  void dispatch(const Json::Value& message, int batchDepth);
  void route(const Json::Value& message, int batchDepth);
  void onBrowserCreated(const Json::Value& message);
  void onBrowserDestroyed(const Json::Value& message);
  void onContextCreated(const Json::Value& message);
  void onRunScript(const Json::Value& message);
  void onFocusedNodeChanged(const Json::Value& message);
  // The node a focus change names, or the reason it names none properly.
  static std::string nodeFrom(const Json::Value& node, CefRefPtr<CefDOMNode>& domNode);
  void onProcessMessage(const Json::Value& message);
  void onContextReleased(const Json::Value& message);
  void onBatch(const Json::Value& message, int batchDepth);

  void releaseContext(int contextId);
  // Runs `script` in the context; reports an uncaught exception.
  bool runScript(int contextId, const std::string& script, Json::Value* result);
  CefRefPtr<BrowserImpl> browserFrom(const Json::Value& message);
  Context* contextFrom(const Json::Value& message);
  void send(const Json::Value& message);

  CefRefPtr<CefApp> app_;
  CefRefPtr<CefRenderProcessHandler> handler_;
  CefRefPtr<CefCommandLine> commandLine_;
  Output output_;
  TaskQueue queue_;
  CefRefPtr<V8Engine> engine_;
  std::map<int, CefRefPtr<BrowserImpl>> browsers_;
  std::map<int, Context> contexts_;
  std::unique_ptr<Json::CharReader> reader_;
  bool started_ = false;
  bool finished_ = false;
};
