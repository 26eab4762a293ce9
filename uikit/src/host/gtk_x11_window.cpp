#include "gtk_x11_window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gdk/gdkx.h>

namespace SkinUI {
namespace {

Display* x11Display() {
  GdkDisplay* display = gdk_display_get_default();
  return display != nullptr && GDK_IS_X11_DISPLAY(display) ? GDK_DISPLAY_XDISPLAY(display) : nullptr;
}

unsigned long xidOf(GtkWidget* widget) {
  GdkWindow* window = widget != nullptr ? gtk_widget_get_window(widget) : nullptr;
  return window != nullptr && GDK_IS_X11_WINDOW(window) ? gdk_x11_window_get_xid(window) : 0;
}

// The child of the root window that holds `window`: the frame a window
// manager put around it, or the window itself. 0 when it has gone.
Window topLevelOf(Display* display, Window window) {
  for (;;) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count)) return 0;
    if (children != nullptr) XFree(children);
    if (parent == root || parent == 0) return window;
    window = parent;
  }
}

}  // namespace

void SetX11ClassHint(GtkWidget* window, const std::string& className) {
  Display* display = x11Display();
  const unsigned long xid = xidOf(window);
  if (display == nullptr || xid == 0 || className.empty()) return;
  const char* program = g_get_prgname();
  std::string name = program != nullptr ? program : className;
  std::string cls = className;
  XClassHint hint;
  hint.res_name = name.data();
  hint.res_class = cls.data();
  XSetClassHint(display, xid, &hint);
}

BelowOwnerStacking::BelowOwnerStacking(GtkWidget* helper, GtkWidget* owner)
    : m_helper(helper), m_owner(owner) {
  if (x11Display() == nullptr || m_owner == nullptr) return;
  g_object_add_weak_pointer(G_OBJECT(m_owner), reinterpret_cast<gpointer*>(&m_owner));
  // A filter for every window: the frame is not GDK's, so its events reach
  // no window filter.
  gdk_window_add_filter(nullptr, onXEvent, this);
  m_filtering = true;
}

BelowOwnerStacking::~BelowOwnerStacking() {
  if (!m_filtering) return;
  gdk_window_remove_filter(nullptr, onXEvent, this);
  if (m_owner != nullptr)
    g_object_remove_weak_pointer(G_OBJECT(m_owner), reinterpret_cast<gpointer*>(&m_owner));
}

unsigned long BelowOwnerStacking::ownerXid() const {
  return xidOf(m_owner);
}

unsigned long BelowOwnerStacking::helperXid() const {
  return xidOf(m_helper);
}

void BelowOwnerStacking::Restack() {
  Display* display = x11Display();
  const Window owner = ownerXid();
  const Window helper = helperXid();
  if (display == nullptr || owner == 0 || helper == 0) return;
  // Any of these windows may go at any moment (the window manager exits,
  // the owner is destroyed): their errors are expected and dropped.
  GdkDisplay* gdk = gdk_display_get_default();
  gdk_x11_display_error_trap_push(gdk);
  const Window top = topLevelOf(display, owner);
  if (top != 0 && top != m_ownerTop) {
    // The owner's own configure events reach this process anyway; a
    // frame's only when asked for.
    if (top != owner) XSelectInput(display, top, StructureNotifyMask);
    m_ownerTop = top;
  }
  if (top != 0) {
    XWindowChanges changes{};
    changes.sibling = top;
    changes.stack_mode = Below;
    XConfigureWindow(display, helper, CWSibling | CWStackMode, &changes);
  }
  gdk_x11_display_error_trap_pop_ignored(gdk);
}

// Restacks whenever the owner's top-level moved in the stack away from the
// helper (its configure event names the sibling now under it), appeared, or
// was replaced by a new frame.
GdkFilterReturn BelowOwnerStacking::onXEvent(GdkXEvent* xevent, GdkEvent*, gpointer data) {
  auto* self = static_cast<BelowOwnerStacking*>(data);
  const auto* e = static_cast<const XEvent*>(xevent);
  const unsigned long top = self->m_ownerTop;
  bool restack = false;
  if (e->type == ConfigureNotify) {
    restack = top != 0 && e->xconfigure.window == top && e->xconfigure.above != self->helperXid();
  } else if (e->type == MapNotify) {
    restack = top != 0 && e->xmap.window == top;
  } else if (e->type == ReparentNotify) {
    restack = e->xreparent.window == self->ownerXid();
  }
  if (restack) self->Restack();
  return GDK_FILTER_CONTINUE;
}

}  // namespace SkinUI
