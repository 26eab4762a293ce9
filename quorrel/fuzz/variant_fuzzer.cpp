// Feeds serialized GVariants, as WebKit delivers a user message's
// parameters, to the argument-list codec: any types, any nesting, any
// framing. What decodes must encode again.
#include <cstddef>
#include <cstdint>

#include "list_variant.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  GBytes* bytes = g_bytes_new(data, size);
  // Untrusted: GLib checks the framing as it reads, as for data off a bus.
  GVariant* message = g_variant_ref_sink(g_variant_new_from_bytes(G_VARIANT_TYPE("av"), bytes, FALSE));
  CefRefPtr<CefListValue> list = CefListValue::Create();
  if (quorrel_webkit::ListFromVariant(message, *list)) {
    GVariant* again = g_variant_ref_sink(quorrel_webkit::ListToVariant(list));
    g_variant_unref(again);
  }
  g_variant_unref(message);
  g_bytes_unref(bytes);
  return 0;
}
