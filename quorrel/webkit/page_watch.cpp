#include "page_watch.h"

#include "jsc_strings.h"

namespace quorrel_webkit {
namespace {

// Editable means a keyboard would type into it: text-like inputs and text
// areas that are neither read-only nor disabled, and editable content.
const char kWatcher[] = R"JS((function (report, hide) {
  var textTypes = {text: 1, search: 1, url: 1, tel: 1, email: 1, password: 1, number: 1, date: 1,
                   'datetime-local': 1, month: 1, time: 1, week: 1};
  function editable(el) {
    if (el.isContentEditable) return true;
    if (el.readOnly || el.disabled) return false;
    if (el.localName === 'textarea') return true;
    return el.localName === 'input' && textTypes.hasOwnProperty(el.type);
  }
  function attributes(el) {
    var out = [];
    for (var i = 0; i < el.attributes.length; i++) out.push(el.attributes[i].name, el.attributes[i].value);
    return out;
  }
  window.addEventListener('focus', function (event) {
    var el = event.target;
    if (el && el.nodeType === 1) report(editable(el), attributes(el));
  }, true);
  window.addEventListener('pagehide', function () { hide(); }, true);
}))JS";

// The script world's name shows in WebKit's inspector, nowhere in pages.
const char kWorldName[] = "quorrel-watch";

CefDOMNode::AttributeMap attributesFrom(JSCValue* list) {
  CefDOMNode::AttributeMap attributes;
  if (!list || !jsc_value_is_array(list)) return attributes;
  JSCValue* lengthValue = jsc_value_object_get_property(list, "length");
  const guint length = static_cast<guint>(jsc_value_to_int32(lengthValue));
  g_object_unref(lengthValue);
  for (guint i = 0; i + 1 < length; i += 2) {
    JSCValue* name = jsc_value_object_get_property_at_index(list, i);
    JSCValue* value = jsc_value_object_get_property_at_index(list, i + 1);
    if (jsc_value_is_string(name) && jsc_value_is_string(value))
      attributes[JscStringValue(name)] = JscStringValue(value);
    g_object_unref(name);
    g_object_unref(value);
  }
  return attributes;
}

JSCValue* argument(GPtrArray* arguments, guint index) {
  return arguments && index < arguments->len ? static_cast<JSCValue*>(g_ptr_array_index(arguments, index))
                                             : nullptr;
}

}  // namespace

// What a watcher function knows: whom to tell, and about which document.
struct PageWatch::Binding {
  PageWatch* watch;
  std::weak_ptr<JscContextState> context;
};

PageWatch::PageWatch(FocusCallback onFocus, HideCallback onHide)
    : world_(webkit_script_world_new_with_name(kWorldName)),
      onFocus_(std::move(onFocus)),
      onHide_(std::move(onHide)) {}

PageWatch::~PageWatch() {
  g_object_unref(world_);
}

void PageWatch::Watch(WebKitFrame* frame, const JscState& context) {
  JSCContext* world = webkit_frame_get_js_context_for_script_world(frame, world_);
  JSCValue* install = jsc_context_evaluate(world, kWatcher, -1);
  JSCValue* focus =
      jsc_value_new_function_variadic(world, nullptr, G_CALLBACK(&PageWatch::focused),
                                      new Binding{this, context}, &PageWatch::unbind, G_TYPE_NONE);
  JSCValue* hide =
      jsc_value_new_function_variadic(world, nullptr, G_CALLBACK(&PageWatch::hidden),
                                      new Binding{this, context}, &PageWatch::unbind, G_TYPE_NONE);
  JSCValue* result =
      jsc_value_function_call(install, JSC_TYPE_VALUE, focus, JSC_TYPE_VALUE, hide, G_TYPE_NONE);
  if (JSCException* exception = jsc_context_get_exception(world))
    g_warning("quorrel: cannot watch a document: %s", jsc_exception_get_message(exception));
  jsc_context_clear_exception(world);
  for (JSCValue* value : {result, hide, focus, install})
    if (value) g_object_unref(value);
  g_object_unref(world);
}

void PageWatch::focused(GPtrArray* arguments, Binding* binding) {
  JscState context = binding->context.lock();
  JSCValue* editable = argument(arguments, 0);
  if (!context || !context->valid || !editable) return;
  CefRefPtr<CefDOMNode> node =
      new DOMNodeImpl(jsc_value_to_boolean(editable), attributesFrom(argument(arguments, 1)));
  binding->watch->onFocus_(context, node);
}

void PageWatch::hidden(GPtrArray*, Binding* binding) {
  JscState context = binding->context.lock();
  if (context && context->valid) binding->watch->onHide_(context);
}

void PageWatch::unbind(gpointer binding) {
  delete static_cast<Binding*>(binding);
}

}  // namespace quorrel_webkit
