// The engine behind CefV8Value and CefV8Context: one Duktape heap per
// renderer process. Each context is a Duktape thread with its own global
// environment, so frames do not see each other's globals. C++ handles keep
// heap objects alive through numbered slots in the heap stash.
//
// Duktape reports script errors by longjmp. Every engine operation that can
// run script (getters, setters, proxies, calls) therefore goes through a
// protected call, and no C++ object with a destructor is alive in a frame
// that a longjmp may cross.
#pragma once

#include <duktape.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "cef_browser.h"
#include "cef_v8.h"

class V8Engine;

struct V8ContextState;

class V8Engine : public CefRefCounted<CefBase> {
 public:
  // Scripts that allocate beyond this get an allocation error instead of
  // exhausting the process.
  static constexpr size_t kDefaultHeapLimit = size_t{512} << 20;

  explicit V8Engine(size_t heapLimit = kDefaultHeapLimit);
  ~V8Engine() override;

  // The engine of this process (null outside a renderer).
  static V8Engine* Current();
  static void SetCurrent(V8Engine* engine);

  bool alive() const { return heap_ != nullptr; }
  // Destroys the heap; handles that outlive it turn invalid.
  void Shutdown();

  // Where new objects are made and calls run: the innermost running or
  // entered context's thread, else the heap's own.
  duk_context* ctx() const;

  std::shared_ptr<V8ContextState> CreateContext(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame);
  void ReleaseContext(const std::shared_ptr<V8ContextState>& state);
  std::shared_ptr<V8ContextState> ContextForThread(duk_context* thread) const;

  void Enter(const std::shared_ptr<V8ContextState>& state);
  // False when `state` is not the innermost entered context.
  bool Exit(const std::shared_ptr<V8ContextState>& state);
  // A native function runs on `thread`; its context is the thread's.
  void PushRunning(duk_context* thread);
  void PopRunning();
  std::shared_ptr<V8ContextState> CurrentContext() const;

  // Slots keep heap values reachable while C++ holds them.
  uint32_t PutSlot(duk_context* ctx, duk_idx_t index);
  void PushSlot(duk_context* ctx, uint32_t slot);
  void DropSlot(uint32_t slot);

  // Brand test for Date objects that works across contexts and ignores
  // prototypes; `milliseconds` receives the time value (NaN for an invalid
  // date).
  bool DateValue(duk_context* ctx, duk_idx_t index, double* milliseconds);
  void PushDate(duk_context* ctx, double milliseconds);

  size_t liveSlots() const { return liveSlots_; }

 private:
  // A released context is a web of cycles that only a full collection
  // frees, and the engine's own schedule reaches it late: our native
  // functions have finalizers, and an object waiting for its finalizer
  // keeps its whole realm through one more round, which also raises the
  // engine's next trigger. A renderer that navigates would grow to the heap
  // cap. So after a release, once the heap has grown by as much as was
  // live after the last collection (and at least kCollectSlack), collect.
  static constexpr size_t kCollectSlack = size_t{8} << 20;
  void collectIfGrown();

  static void* allocate(void* udata, duk_size_t size);
  static void* reallocate(void* udata, void* ptr, duk_size_t size);
  static void release(void* udata, void* ptr);
  static void fatal(void* udata, const char* message);

  size_t heapLimit_;
  size_t heapUsed_ = 0;
  size_t collectAt_ = kCollectSlack;
  duk_context* heap_ = nullptr;
  void* slots_ = nullptr;
  std::vector<uint32_t> freeSlots_;
  uint32_t nextSlot_ = 1;
  size_t liveSlots_ = 0;
  uint32_t getTimeSlot_ = 0;
  uint32_t dateSlot_ = 0;
  std::unordered_map<duk_context*, std::weak_ptr<V8ContextState>> contexts_;
  struct StackEntry {
    std::shared_ptr<V8ContextState> state;
    duk_context* thread;
    bool entered;
  };
  std::vector<StackEntry> stack_;
};

// One JavaScript context. Several CefV8Context handles may share it; their
// sameness test compares the state they point to.
struct V8ContextState {
  CefRefPtr<V8Engine> engine;
  duk_context* thread = nullptr;
  uint32_t threadSlot = 0;
  bool valid = false;
  CefRefPtr<CefBrowser> browser;
  CefRefPtr<CefFrame> frame;
};

// Wraps the value at `index` of `ctx` as a handle.
CefRefPtr<CefV8Value> V8WrapValue(V8Engine* engine, duk_context* ctx, duk_idx_t index);
// Pushes the value a handle stands for; undefined for a null handle or a
// handle from a destroyed heap.
void V8PushValue(duk_context* ctx, const CefRefPtr<CefV8Value>& value);
// An exception object from the error value at `index`.
CefRefPtr<CefV8Exception> V8MakeException(duk_context* ctx, duk_idx_t index);
// The engine's bytes (which may hold surrogate halves) as a CefString.
CefString V8GetString(duk_context* ctx, duk_idx_t index);
void V8PushString(duk_context* ctx, const CefString& value);
