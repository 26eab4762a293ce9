#include "v8_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

V8Engine* gCurrent = nullptr;

// Every block carries its size in front so that the heap limit can be kept.
constexpr size_t kHeader = alignof(std::max_align_t);

const char kSlotsKey[] = DUK_HIDDEN_SYMBOL("quorrelSlots");

duk_ret_t captureDateBuiltins(duk_context* ctx, void*) {
  duk_get_global_string(ctx, "Date");
  duk_get_prop_string(ctx, -1, "prototype");
  duk_get_prop_string(ctx, -1, "getTime");
  duk_remove(ctx, -2);
  return 2;  // [Date, getTime]
}

// Calls the saved Date.prototype.getTime on [getTime, value]; it throws for
// anything that is not a real Date, whatever its prototype claims.
duk_ret_t callGetTime(duk_context* ctx, void*) {
  duk_call_method(ctx, 0);
  return 1;
}

duk_ret_t hideEngineObject(duk_context* ctx, void*) {
  duk_push_global_object(ctx);
  duk_del_prop_string(ctx, -1, "Duktape");
  return 0;
}

duk_ret_t constructDate(duk_context* ctx, void*) {
  duk_new(ctx, 1);
  return 1;
}

}  // namespace

V8Engine* V8Engine::Current() {
  return gCurrent;
}
void V8Engine::SetCurrent(V8Engine* engine) {
  gCurrent = engine;
}

V8Engine::V8Engine(size_t heapLimit) : heapLimit_(heapLimit) {
  heap_ =
      duk_create_heap(&V8Engine::allocate, &V8Engine::reallocate, &V8Engine::release, this, &V8Engine::fatal);
  if (!heap_) {
    std::fputs("quorrel: cannot create the JavaScript heap\n", stderr);
    std::abort();
  }
  duk_push_heap_stash(heap_);
  // An array, kept dense by reusing freed slot numbers and overwriting
  // instead of deleting, so that slot access stays a plain index.
  duk_push_array(heap_);
  slots_ = duk_get_heapptr(heap_, -1);  // reachable from the stash for the heap's life
  duk_put_prop_string(heap_, -2, kSlotsKey);
  duk_pop(heap_);
  if (duk_safe_call(heap_, captureDateBuiltins, nullptr, 0, 2) != DUK_EXEC_SUCCESS) {
    std::fputs("quorrel: the JavaScript heap has no Date\n", stderr);
    std::abort();
  }
  getTimeSlot_ = PutSlot(heap_, -1);
  dateSlot_ = PutSlot(heap_, -2);
  duk_pop_2(heap_);
}

V8Engine::~V8Engine() {
  Shutdown();
}

void V8Engine::Shutdown() {
  if (!heap_) return;
  stack_.clear();
  contexts_.clear();
  duk_context* heap = heap_;
  // Finalizers run during destruction and may release the last reference
  // to objects that hold handles; those must find the heap already gone.
  heap_ = nullptr;
  duk_destroy_heap(heap);
  freeSlots_.clear();
  liveSlots_ = 0;
  if (gCurrent == this) gCurrent = nullptr;
}

duk_context* V8Engine::ctx() const {
  return stack_.empty() ? heap_ : stack_.back().thread;
}

std::shared_ptr<V8ContextState> V8Engine::CreateContext(CefRefPtr<CefBrowser> browser,
                                                        CefRefPtr<CefFrame> frame) {
  auto state = std::make_shared<V8ContextState>();
  state->engine = this;
  duk_push_thread_new_globalenv(heap_);
  state->thread = duk_get_context(heap_, -1);
  state->threadSlot = PutSlot(heap_, -1);
  duk_pop(heap_);
  // Pages see a browser-like global: without the engine's own object, which
  // would let them swap the finalizers that release native handlers.
  duk_safe_call(state->thread, hideEngineObject, nullptr, 0, 1);
  duk_pop(state->thread);
  state->valid = true;
  state->browser = browser;
  state->frame = frame;
  contexts_[state->thread] = state;
  return state;
}

void V8Engine::ReleaseContext(const std::shared_ptr<V8ContextState>& state) {
  if (!state || !state->valid) return;
  state->valid = false;
  state->browser = nullptr;
  state->frame = nullptr;
  contexts_.erase(state->thread);
  // The thread itself stays until no running call uses it.
  bool running = false;
  for (const auto& entry : stack_) running = running || entry.thread == state->thread;
  if (!running && alive()) DropSlot(state->threadSlot);
  if (!running) state->thread = nullptr;
  collectIfGrown();
}

void V8Engine::collectIfGrown() {
  if (!heap_ || heapUsed_ < collectAt_) return;
  duk_gc(heap_, 0);
  // The first round only ran the finalizers; this one frees what they held.
  duk_gc(heap_, 0);
  collectAt_ = heapUsed_ + std::max(heapUsed_, kCollectSlack);
}

std::shared_ptr<V8ContextState> V8Engine::ContextForThread(duk_context* thread) const {
  auto it = contexts_.find(thread);
  return it == contexts_.end() ? nullptr : it->second.lock();
}

void V8Engine::Enter(const std::shared_ptr<V8ContextState>& state) {
  stack_.push_back({state, state && state->thread ? state->thread : heap_, true});
}

bool V8Engine::Exit(const std::shared_ptr<V8ContextState>& state) {
  if (stack_.empty() || !stack_.back().entered || stack_.back().state != state) return false;
  stack_.pop_back();
  return true;
}

void V8Engine::PushRunning(duk_context* thread) {
  stack_.push_back({ContextForThread(thread), thread, false});
}

void V8Engine::PopRunning() {
  if (!stack_.empty()) stack_.pop_back();
}

std::shared_ptr<V8ContextState> V8Engine::CurrentContext() const {
  return stack_.empty() ? nullptr : stack_.back().state;
}

uint32_t V8Engine::PutSlot(duk_context* ctx, duk_idx_t index) {
  index = duk_normalize_index(ctx, index);
  uint32_t slot;
  if (!freeSlots_.empty()) {
    slot = freeSlots_.back();
    freeSlots_.pop_back();
  } else {
    slot = nextSlot_++;
  }
  duk_push_heapptr(ctx, slots_);
  duk_dup(ctx, index);
  duk_put_prop_index(ctx, -2, slot);
  duk_pop(ctx);
  ++liveSlots_;
  return slot;
}

void V8Engine::PushSlot(duk_context* ctx, uint32_t slot) {
  duk_push_heapptr(ctx, slots_);
  duk_get_prop_index(ctx, -1, slot);
  duk_remove(ctx, -2);
}

void V8Engine::DropSlot(uint32_t slot) {
  if (!heap_ || slot == 0) return;
  duk_context* ctx = heap_;
  duk_push_heapptr(ctx, slots_);
  duk_push_undefined(ctx);
  duk_put_prop_index(ctx, -2, slot);
  duk_pop(ctx);
  freeSlots_.push_back(slot);
  --liveSlots_;
}

bool V8Engine::DateValue(duk_context* ctx, duk_idx_t index, double* milliseconds) {
  if (!duk_is_object(ctx, index) || duk_is_function(ctx, index)) return false;
  index = duk_normalize_index(ctx, index);
  PushSlot(ctx, getTimeSlot_);
  duk_dup(ctx, index);
  const bool isDate = duk_safe_call(ctx, callGetTime, nullptr, 2, 1) == DUK_EXEC_SUCCESS;
  if (isDate && milliseconds) *milliseconds = duk_get_number_default(ctx, -1, NAN);
  duk_pop(ctx);
  return isDate;
}

void V8Engine::PushDate(duk_context* ctx, double milliseconds) {
  PushSlot(ctx, dateSlot_);
  duk_push_number(ctx, milliseconds);
  if (duk_safe_call(ctx, constructDate, nullptr, 2, 1) != DUK_EXEC_SUCCESS) {
    duk_pop(ctx);
    duk_push_undefined(ctx);
  }
}

void* V8Engine::allocate(void* udata, duk_size_t size) {
  auto* self = static_cast<V8Engine*>(udata);
  if (size == 0) return nullptr;
  if (size > self->heapLimit_ - self->heapUsed_) return nullptr;
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (!block) return nullptr;
  std::memcpy(block, &size, sizeof size);
  self->heapUsed_ += size;
  return block + kHeader;
}

void* V8Engine::reallocate(void* udata, void* ptr, duk_size_t size) {
  auto* self = static_cast<V8Engine*>(udata);
  if (!ptr) return allocate(udata, size);
  if (size == 0) {
    release(udata, ptr);
    return nullptr;
  }
  auto* block = static_cast<unsigned char*>(ptr) - kHeader;
  size_t old;
  std::memcpy(&old, block, sizeof old);
  if (size > old && size - old > self->heapLimit_ - self->heapUsed_) return nullptr;
  auto* grown = static_cast<unsigned char*>(std::realloc(block, size + kHeader));
  if (!grown) return nullptr;
  std::memcpy(grown, &size, sizeof size);
  self->heapUsed_ = self->heapUsed_ - old + size;
  return grown + kHeader;
}

void V8Engine::release(void* udata, void* ptr) {
  if (!ptr) return;
  auto* self = static_cast<V8Engine*>(udata);
  auto* block = static_cast<unsigned char*>(ptr) - kHeader;
  size_t old;
  std::memcpy(&old, block, sizeof old);
  self->heapUsed_ -= old;
  std::free(block);
}

// Reached only for errors outside any protected call, which our code never
// makes; there is nothing to recover.
void V8Engine::fatal(void*, const char* message) {
  std::fprintf(stderr, "quorrel: fatal JavaScript engine error: %s\n", message ? message : "(none)");
  std::abort();
}
