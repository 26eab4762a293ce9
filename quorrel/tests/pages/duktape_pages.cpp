// The Duktape helper as a page engine: frames and documents are contexts
// the test browser creates over the pipe.
#include <map>

#include "page_engine.h"
#include "test_browser.h"

namespace {

constexpr int kBrowser = 1;
constexpr long long kFirstFrameId = 10;
const char kPageStart[] = "var log = [];";

class DuktapePages : public PageEngine {
 public:
  Engine kind() const override { return Engine::Duktape; }
  bool Available(std::string*) override { return true; }

  void Open(int children) override {
    helper_ = std::make_unique<TestBrowser>();
    helper_->CreateBrowser(kBrowser);
    for (int frame = 0; frame <= children; ++frame) newDocument(frame);
  }

  std::string Run(int frame, const std::string& script) override {
    std::vector<Json::Value> seen;
    const std::string result = helper_->Run(contexts_.at(frame), script, &seen);
    keep(seen);
    return result;
  }

  void Send(const std::string& name, const Json::Value& typedArgs) override {
    helper_->SendMessage(kBrowser, name, typedArgs);
  }

  std::vector<Json::Value> Take() override {
    keep(helper_->Sync());
    return std::move(outbox_);
  }

  // A main frame's new document replaces its children's too.
  void Navigate(int frame) override {
    if (frame == 0)
      for (auto& entry : contexts_)
        if (entry.first != 0) helper_->ReleaseContext(entry.second);
    for (auto& entry : contexts_)
      if (entry.first == frame || frame == 0) newDocument(entry.first);
  }

  void Remove(int frame) override {
    helper_->ReleaseContext(contexts_.at(frame));
    contexts_.erase(frame);
  }

  bool Close() override { return helper_->Finish() == 0; }

 private:
  void newDocument(int frame) {
    contexts_[frame] = nextContext_++;
    helper_->CreateContext(kBrowser, kFirstFrameId + frame, frame == 0, contexts_[frame], kPageStart);
  }

  void keep(const std::vector<Json::Value>& lines) {
    for (const auto& message : ProcessMessages(lines)) {
      Json::Value kept(Json::objectValue);
      kept["name"] = message["name"];
      kept["args"] = message["args"];
      outbox_.push_back(kept);
    }
  }

  std::unique_ptr<TestBrowser> helper_;
  std::map<int, int> contexts_;  // frame -> the context of its current document
  int nextContext_ = 1;
  std::vector<Json::Value> outbox_;
};

}  // namespace

std::unique_ptr<PageEngine> MakeEngine() {
  return std::make_unique<DuktapePages>();
}
