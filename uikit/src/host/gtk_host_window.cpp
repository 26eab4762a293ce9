// The GTK 3 host's window. Each toolkit window is one undecorated GtkWindow
// painted by the toolkit itself; GDK events become the toolkit's messages
// here and nowhere else.
#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "gtk_host_window.h"
#include "gtk_x11_window.h"
#include "skinui/host.h"
#include "skinui/paint_manager.h"
#include "skinui/text_convert.h"

namespace SkinUI {
namespace {

WPARAM virtualKey(guint keyval) {
  switch (keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
      return VK_RETURN;
    case GDK_KEY_space:
      return VK_SPACE;
    case GDK_KEY_Escape:
      return 0x1B;
    case GDK_KEY_Tab:
      return 0x09;
    case GDK_KEY_BackSpace:
      return 0x08;
    case GDK_KEY_Left:
      return 0x25;
    case GDK_KEY_Up:
      return 0x26;
    case GDK_KEY_Right:
      return 0x27;
    case GDK_KEY_Down:
      return 0x28;
    case GDK_KEY_Delete:
      return 0x2E;
    default:
      break;
  }
  const guint upper = gdk_keyval_to_upper(keyval);
  if ((upper >= 'A' && upper <= 'Z') || (upper >= '0' && upper <= '9')) return upper;
  return 0;
}

GdkWindowEdge edgeFor(int hitTest) {
  switch (hitTest) {
    case HTLEFT:
      return GDK_WINDOW_EDGE_WEST;
    case HTRIGHT:
      return GDK_WINDOW_EDGE_EAST;
    case HTTOP:
      return GDK_WINDOW_EDGE_NORTH;
    case HTBOTTOM:
      return GDK_WINDOW_EDGE_SOUTH;
    case HTTOPLEFT:
      return GDK_WINDOW_EDGE_NORTH_WEST;
    case HTTOPRIGHT:
      return GDK_WINDOW_EDGE_NORTH_EAST;
    case HTBOTTOMLEFT:
      return GDK_WINDOW_EDGE_SOUTH_WEST;
    default:
      return GDK_WINDOW_EDGE_SOUTH_EAST;
  }
}

// A place or size the toolkit asked for and reported at once. X confirms it
// later, and GTK applies a move and a resize as separate requests, so a
// configure event may still show the value from before the request; that
// one is not news and must not roll the window back.
class RequestedGeometry {
 public:
  void Request(int a, int b) {
    m_pending = true;
    m_requested = {a, b};
  }
  // Whether a value reported by X is to be taken.
  bool Accept(int a, int b) {
    const bool stale =
        m_pending && a == m_confirmed.x && b == m_confirmed.y && (a != m_requested.x || b != m_requested.y);
    m_confirmed = {a, b};
    if (!stale) m_pending = false;
    return !stale;
  }

 private:
  bool m_pending = false;
  POINT m_requested{};
  POINT m_confirmed{};
};

class GtkHostWindow : public IHostWindow {
 public:
  GtkHostWindow(IHostWindowSink* sink, const HostWindowParams& p)
      : m_sink(sink), m_className(WideToUtf8(p.className)), m_decoration(isDecoration(p)) {
    m_widget = gtk_window_new(m_decoration ? GTK_WINDOW_POPUP : GTK_WINDOW_TOPLEVEL);
    GtkWindow* win = GTK_WINDOW(m_widget);
    gtk_window_set_decorated(win, FALSE);
    gtk_widget_set_app_paintable(m_widget, TRUE);
    chooseVisual((p.exStyle & WS_EX_LAYERED) != 0);
    m_screen = gtk_widget_get_screen(m_widget);
    m_compositedHandler =
        g_signal_connect(m_screen, "composited-changed", G_CALLBACK(onCompositedChanged), this);
    gtk_window_set_title(win, WideToUtf8(p.title).c_str());
    const int cx = p.cx == CW_USEDEFAULT || p.cx <= 0 ? 1 : p.cx;
    const int cy = p.cy == CW_USEDEFAULT || p.cy <= 0 ? 1 : p.cy;
    const int x = p.x == CW_USEDEFAULT ? 0 : p.x;
    const int y = p.y == CW_USEDEFAULT ? 0 : p.y;
    m_rect = {x, y, x + cx, y + cy};
    gtk_window_set_default_size(win, cx, cy);
    gtk_window_move(win, x, y);
    gtk_widget_set_can_focus(m_widget, TRUE);
    applyOwnership(p);
    m_clickThrough = (p.exStyle & WS_EX_TRANSPARENT) != 0;
    connectSignals();
  }

  ~GtkHostWindow() override {
    m_stacking.reset();
    disconnectScreen();
    if (m_widget == nullptr) return;
    g_signal_handlers_disconnect_by_data(m_widget, this);
    GtkWidget* w = m_widget;
    m_widget = nullptr;
    gtk_widget_destroy(w);
  }

  void Show(bool show, bool activate) override {
    if (m_widget == nullptr) return;
    if (!show) {
      gtk_widget_hide(m_widget);
      return;
    }
    gtk_window_set_focus_on_map(GTK_WINDOW(m_widget), activate ? TRUE : FALSE);
    gtk_widget_show(m_widget);
    if (activate) gtk_window_present(GTK_WINDOW(m_widget));
  }
  bool IsVisible() const override { return m_widget != nullptr && gtk_widget_get_visible(m_widget); }
  void Move(int x, int y) override {
    if (m_widget == nullptr) return;
    m_rect = {x, y, x + m_rect.Width(), y + m_rect.Height()};
    m_position.Request(x, y);
    gtk_window_move(GTK_WINDOW(m_widget), x, y);
    // Reported at once, as a resize is: windows that follow this one (a
    // drop shadow) must not wait for X to confirm.
    m_sink->HostMessage(WM_MOVE, 0, MAKELPARAM(x, y));
  }
  void Resize(int cx, int cy) override {
    if (m_widget == nullptr || cx <= 0 || cy <= 0) return;
    // GTK holds the window to its size hints; report the size it will get.
    if (m_minSize.cx > 0 && m_minSize.cy > 0) {
      cx = std::max(cx, m_minSize.cx);
      cy = std::max(cy, m_minSize.cy);
    }
    if (m_maxSize.cx > 0 && m_maxSize.cy > 0) {
      cx = std::min(cx, m_maxSize.cx);
      cy = std::min(cy, m_maxSize.cy);
    }
    m_rect.right = m_rect.left + cx;
    m_rect.bottom = m_rect.top + cy;
    m_size.Request(cx, cy);
    gtk_window_set_default_size(GTK_WINDOW(m_widget), cx, cy);
    gtk_window_resize(GTK_WINDOW(m_widget), cx, cy);
    // The toolkit lays out at once; GTK confirms later by configure-event.
    m_sink->HostMessage(WM_SIZE, m_maximized ? SIZE_MAXIMIZED : SIZE_RESTORED, MAKELPARAM(cx, cy));
  }
  RECT GetWindowRect() const override { return m_rect; }
  RECT GetWorkArea() const override {
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = nullptr;
    if (m_widget != nullptr && gtk_widget_get_window(m_widget) != nullptr)
      monitor = gdk_display_get_monitor_at_window(display, gtk_widget_get_window(m_widget));
    if (monitor == nullptr) monitor = gdk_display_get_primary_monitor(display);
    if (monitor == nullptr) monitor = gdk_display_get_monitor(display, 0);
    if (monitor == nullptr) return {0, 0, 1024, 768};
    GdkRectangle area;
    gdk_monitor_get_workarea(monitor, &area);
    return {area.x, area.y, area.x + area.width, area.y + area.height};
  }
  void Invalidate(const RECT& rc) override {
    if (m_widget == nullptr || rc.IsEmpty()) return;
    gtk_widget_queue_draw_area(m_widget, rc.left, rc.top, rc.Width(), rc.Height());
  }
  void SetCursor(CursorKind kind) override {
    m_cursor = kind;
    applyCursor();
  }
  // GTK grabs the pointer implicitly from press to release.
  void SetCapture(bool) override {}
  void BeginMoveDrag(POINT screen) override {
    if (m_widget != nullptr)
      gtk_window_begin_move_drag(GTK_WINDOW(m_widget), 1, screen.x, screen.y, m_eventTime);
  }
  void BeginResizeDrag(int hitTest, POINT screen) override {
    if (m_widget != nullptr)
      gtk_window_begin_resize_drag(GTK_WINDOW(m_widget), edgeFor(hitTest), 1, screen.x, screen.y,
                                   m_eventTime);
  }
  void Minimize() override {
    if (m_widget != nullptr) gtk_window_iconify(GTK_WINDOW(m_widget));
  }
  void Maximize() override {
    if (m_widget != nullptr) gtk_window_maximize(GTK_WINDOW(m_widget));
  }
  void Restore() override {
    if (m_widget == nullptr) return;
    if (m_minimized) {
      gtk_window_deiconify(GTK_WINDOW(m_widget));
    } else {
      gtk_window_unmaximize(GTK_WINDOW(m_widget));
    }
  }
  bool IsMaximized() const override { return m_maximized; }
  bool IsMinimized() const override { return m_minimized; }
  void SetTitle(const std::wstring& title) override {
    if (m_widget != nullptr) gtk_window_set_title(GTK_WINDOW(m_widget), WideToUtf8(title).c_str());
  }
  void SetMinMaxSize(SIZE min, SIZE max) override {
    if (m_widget == nullptr) return;
    GdkGeometry g{};
    int mask = 0;
    m_minSize = min;
    m_maxSize = max;
    if (min.cx > 0 && min.cy > 0) {
      g.min_width = min.cx;
      g.min_height = min.cy;
      mask |= GDK_HINT_MIN_SIZE;
    }
    if (max.cx > 0 && max.cy > 0) {
      g.max_width = max.cx;
      g.max_height = max.cy;
      mask |= GDK_HINT_MAX_SIZE;
    }
    if (mask != 0)
      gtk_window_set_geometry_hints(GTK_WINDOW(m_widget), nullptr, &g, static_cast<GdkWindowHints>(mask));
  }
  // The corners are cut when painting (the paint manager clips to the
  // rounded outline); with a compositor they show through.
  void SetRoundCorner(int, int) override {}
  void Focus() override {
    if (m_widget != nullptr) gtk_window_present(GTK_WINDOW(m_widget));
  }
  void Destroy() override {
    if (m_widget != nullptr) gtk_widget_destroy(m_widget);
  }
  void* NativeHandle() const override { return m_widget; }

 private:
  // Per-pixel alpha where the screen offers it (round corners, shadows).
  // A layered window takes it even while nothing composites: its visual
  // cannot change later, and a compositor may start while it lives.
  void chooseVisual(bool layered) {
    GdkScreen* screen = gtk_widget_get_screen(m_widget);
    if (GdkVisual* rgba = gdk_screen_get_rgba_visual(screen);
        rgba != nullptr && (layered || gdk_screen_is_composited(screen)))
      gtk_widget_set_visual(m_widget, rgba);
  }

  void applyOwnership(const HostWindowParams& p) {
    GtkWindow* win = GTK_WINDOW(m_widget);
    if (p.ownerNative != nullptr) gtk_window_set_transient_for(win, GTK_WINDOW(p.ownerNative));
    // Layered helper windows (a drop shadow) are decoration of their owner:
    // no taskbar entry, never focused.
    if (p.exStyle & WS_EX_LAYERED) {
      gtk_window_set_skip_taskbar_hint(win, TRUE);
      gtk_window_set_skip_pager_hint(win, TRUE);
      gtk_window_set_accept_focus(win, FALSE);
    }
    if (!m_decoration) return;
    // Override-redirect (a popup): no window manager frames it, so no frame
    // can catch the clicks its empty input shape lets through, and none
    // focuses or raises it. Compositors read the type: a window that
    // follows something and takes no input, with no shadow of its own.
    gtk_window_set_type_hint(win, GDK_WINDOW_TYPE_HINT_DND);
    m_stacking = std::make_unique<BelowOwnerStacking>(m_widget, GTK_WIDGET(p.ownerNative));
  }

  void connectSignals() {
    gtk_widget_add_events(m_widget, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                        GDK_POINTER_MOTION_MASK | GDK_LEAVE_NOTIFY_MASK |
                                        GDK_ENTER_NOTIFY_MASK | GDK_KEY_PRESS_MASK | GDK_FOCUS_CHANGE_MASK |
                                        GDK_STRUCTURE_MASK | GDK_SCROLL_MASK);
    g_signal_connect(m_widget, "draw", G_CALLBACK(onDraw), this);
    g_signal_connect(m_widget, "button-press-event", G_CALLBACK(onButtonPress), this);
    g_signal_connect(m_widget, "button-release-event", G_CALLBACK(onButtonRelease), this);
    g_signal_connect(m_widget, "motion-notify-event", G_CALLBACK(onMotion), this);
    g_signal_connect(m_widget, "leave-notify-event", G_CALLBACK(onLeave), this);
    g_signal_connect(m_widget, "key-press-event", G_CALLBACK(onKeyPress), this);
    g_signal_connect(m_widget, "scroll-event", G_CALLBACK(onScroll), this);
    g_signal_connect(m_widget, "focus-in-event", G_CALLBACK(onFocusIn), this);
    g_signal_connect(m_widget, "focus-out-event", G_CALLBACK(onFocusOut), this);
    g_signal_connect(m_widget, "configure-event", G_CALLBACK(onConfigure), this);
    g_signal_connect(m_widget, "window-state-event", G_CALLBACK(onWindowState), this);
    g_signal_connect(m_widget, "map-event", G_CALLBACK(onMap), this);
    g_signal_connect(m_widget, "unmap-event", G_CALLBACK(onUnmap), this);
    g_signal_connect(m_widget, "delete-event", G_CALLBACK(onDelete), this);
    g_signal_connect(m_widget, "destroy", G_CALLBACK(onDestroy), this);
    g_signal_connect(m_widget, "realize", G_CALLBACK(onRealize), this);
  }

  static gboolean onDraw(GtkWidget*, cairo_t* cr, gpointer self) {
    static_cast<GtkHostWindow*>(self)->m_sink->HostMessage(WM_PAINT, reinterpret_cast<WPARAM>(cr), 0);
    return TRUE;
  }

  bool isDoubleClick(const GdkEventButton* e) {
    if (!(m_sink->HostClassStyle() & CS_DBLCLKS)) return false;
    gint time = 400;
    gint distance = 5;
    g_object_get(gtk_widget_get_settings(m_widget), "gtk-double-click-time", &time,
                 "gtk-double-click-distance", &distance, nullptr);
    const bool dbl = m_lastPressTime != 0 && e->time - m_lastPressTime <= static_cast<guint32>(time) &&
                     std::abs(e->x_root - m_lastPress.x) <= distance &&
                     std::abs(e->y_root - m_lastPress.y) <= distance;
    // A third press starts a new pair rather than counting as another double.
    m_lastPressTime = dbl ? 0 : e->time;
    m_lastPress = {static_cast<int>(e->x_root), static_cast<int>(e->y_root)};
    return dbl;
  }

  static gboolean onButtonPress(GtkWidget*, GdkEventButton* e, gpointer p) {
    auto* self = static_cast<GtkHostWindow*>(p);
    // GTK repeats the second press as a 2BUTTON event; our own timing
    // already turned that press into a double click.
    if (e->type != GDK_BUTTON_PRESS) return TRUE;
    self->m_eventTime = e->time;
    const LPARAM client = MAKELPARAM(static_cast<int>(std::floor(e->x)), static_cast<int>(std::floor(e->y)));
    if (e->button == 3) {
      self->m_sink->HostMessage(WM_RBUTTONDOWN, 0, client);
      return TRUE;
    }
    if (e->button != 1) return TRUE;
    const bool dbl = self->isDoubleClick(e);
    const LPARAM screen = MAKELPARAM(static_cast<int>(e->x_root), static_cast<int>(e->y_root));
    const LRESULT ht = self->m_sink->HostMessage(WM_NCHITTEST, 0, screen);
    self->m_pressInClient = ht == HTCLIENT;
    if (self->m_pressInClient) {
      self->m_sink->HostMessage(dbl ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN, MK_LBUTTON, client);
    } else {
      self->m_sink->HostMessage(dbl ? WM_NCLBUTTONDBLCLK : WM_NCLBUTTONDOWN, static_cast<WPARAM>(ht), screen);
    }
    return TRUE;
  }

  static gboolean onButtonRelease(GtkWidget*, GdkEventButton* e, gpointer p) {
    auto* self = static_cast<GtkHostWindow*>(p);
    self->m_eventTime = e->time;
    const LPARAM client = MAKELPARAM(static_cast<int>(std::floor(e->x)), static_cast<int>(std::floor(e->y)));
    if (e->button == 3) {
      self->m_sink->HostMessage(WM_RBUTTONUP, 0, client);
    } else if (e->button == 1) {
      if (self->m_pressInClient) {
        self->m_sink->HostMessage(WM_LBUTTONUP, 0, client);
      } else {
        self->m_sink->HostMessage(WM_NCLBUTTONUP, 0,
                                  MAKELPARAM(static_cast<int>(e->x_root), static_cast<int>(e->y_root)));
      }
    }
    return TRUE;
  }

  static gboolean onMotion(GtkWidget*, GdkEventMotion* e, gpointer p) {
    auto* self = static_cast<GtkHostWindow*>(p);
    self->m_eventTime = e->time;
    const WPARAM keys = (e->state & GDK_BUTTON1_MASK) ? static_cast<WPARAM>(MK_LBUTTON) : 0u;
    self->m_sink->HostMessage(
        WM_MOUSEMOVE, keys,
        MAKELPARAM(static_cast<int>(std::floor(e->x)), static_cast<int>(std::floor(e->y))));
    return TRUE;
  }

  static gboolean onLeave(GtkWidget*, GdkEventCrossing* e, gpointer p) {
    if (e->detail == GDK_NOTIFY_INFERIOR) return FALSE;
    static_cast<GtkHostWindow*>(p)->m_sink->HostMessage(WM_MOUSELEAVE, 0, 0);
    return FALSE;
  }

  static gboolean onKeyPress(GtkWidget*, GdkEventKey* e, gpointer p) {
    auto* self = static_cast<GtkHostWindow*>(p);
    if (const WPARAM vk = virtualKey(e->keyval); vk != 0) self->m_sink->HostMessage(WM_KEYDOWN, vk, 0);
    if (const gunichar ch = gdk_keyval_to_unicode(e->keyval); ch != 0 && self->m_widget != nullptr)
      self->m_sink->HostMessage(WM_CHAR, ch, 0);
    return TRUE;
  }

  // One notch is 120 in the high word of wParam; the point is in screen
  // coordinates, as wheel messages carry it.
  static gboolean onScroll(GtkWidget*, GdkEventScroll* e, gpointer p) {
    int delta = 0;
    if (e->direction == GDK_SCROLL_UP) delta = 120;
    if (e->direction == GDK_SCROLL_DOWN) delta = -120;
    if (e->direction == GDK_SCROLL_SMOOTH) delta = static_cast<int>(-e->delta_y * 120);
    if (delta == 0) return FALSE;
    const WPARAM wParam = static_cast<WPARAM>(static_cast<std::uint16_t>(static_cast<std::int16_t>(delta)))
                          << 16;
    static_cast<GtkHostWindow*>(p)->m_sink->HostMessage(
        WM_MOUSEWHEEL, wParam, MAKELPARAM(static_cast<int>(e->x_root), static_cast<int>(e->y_root)));
    return TRUE;
  }

  static gboolean onFocusIn(GtkWidget*, GdkEventFocus*, gpointer p) {
    static_cast<GtkHostWindow*>(p)->m_sink->HostMessage(WM_SETFOCUS, 0, 0);
    return FALSE;
  }
  static gboolean onFocusOut(GtkWidget*, GdkEventFocus*, gpointer p) {
    static_cast<GtkHostWindow*>(p)->m_sink->HostMessage(WM_KILLFOCUS, 0, 0);
    return FALSE;
  }

  static gboolean onConfigure(GtkWidget*, GdkEventConfigure* e, gpointer p) {
    auto* self = static_cast<GtkHostWindow*>(p);
    const RECT old = self->m_rect;
    RECT now = old;
    if (self->m_position.Accept(e->x, e->y)) now = {e->x, e->y, e->x + old.Width(), e->y + old.Height()};
    if (self->m_size.Accept(e->width, e->height)) {
      now.right = now.left + e->width;
      now.bottom = now.top + e->height;
    }
    self->m_rect = now;
    if (old.Width() != now.Width() || old.Height() != now.Height())
      self->m_sink->HostMessage(WM_SIZE, self->m_maximized ? SIZE_MAXIMIZED : SIZE_RESTORED,
                                MAKELPARAM(now.Width(), now.Height()));
    if (old.left != now.left || old.top != now.top)
      self->m_sink->HostMessage(WM_MOVE, 0, MAKELPARAM(now.left, now.top));
    return FALSE;
  }

  static gboolean onWindowState(GtkWidget*, GdkEventWindowState* e, gpointer p) {
    auto* self = static_cast<GtkHostWindow*>(p);
    const bool minimised = (e->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
    const bool maximised = (e->new_window_state & GDK_WINDOW_STATE_MAXIMIZED) != 0;
    const bool changed = minimised != self->m_minimized || maximised != self->m_maximized;
    self->m_minimized = minimised;
    self->m_maximized = maximised;
    if (changed) {
      const WPARAM kind = minimised ? SIZE_MINIMIZED : maximised ? SIZE_MAXIMIZED : SIZE_RESTORED;
      self->m_sink->HostMessage(WM_SIZE, kind, MAKELPARAM(self->m_rect.Width(), self->m_rect.Height()));
    }
    return FALSE;
  }

  // GTK may deliver an unmap twice (its own and the X server's); the
  // window hears of each change of visibility once.
  static gboolean onMap(GtkWidget*, GdkEvent*, gpointer p) {
    auto* self = static_cast<GtkHostWindow*>(p);
    // Mapping puts a window on top of its siblings; decoration goes back
    // under its owner at once.
    if (self->m_stacking) self->m_stacking->Restack();
    self->reportShown(true);
    return FALSE;
  }
  static gboolean onUnmap(GtkWidget*, GdkEvent*, gpointer p) {
    static_cast<GtkHostWindow*>(p)->reportShown(false);
    return FALSE;
  }
  void reportShown(bool shown) {
    if (m_shown == shown) return;
    m_shown = shown;
    m_sink->HostMessage(WM_SHOWWINDOW, shown ? 1 : 0, 0);
  }

  // Closing is the window's decision: WM_CLOSE destroys only when nobody
  // handles it.
  static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer p) {
    static_cast<GtkHostWindow*>(p)->m_sink->HostMessage(WM_CLOSE, 0, 0);
    return TRUE;
  }

  static void onDestroy(GtkWidget*, gpointer p) {
    auto* self = static_cast<GtkHostWindow*>(p);
    if (self->m_widget == nullptr) return;
    self->m_stacking.reset();
    self->disconnectScreen();
    self->m_widget = nullptr;
    self->m_sink->HostMessage(WM_DESTROY, 0, 0);
    self->m_sink->HostMessage(WM_NCDESTROY, 0, 0);
  }

  static void onRealize(GtkWidget* widget, gpointer p) {
    auto* self = static_cast<GtkHostWindow*>(p);
    self->applyCursor();
    SetX11ClassHint(widget, self->m_className);
    // Mouse-transparent windows get an empty input shape: clicks fall
    // through to whatever lies below.
    if (self->m_clickThrough) {
      cairo_region_t* empty = cairo_region_create();
      gtk_widget_input_shape_combine_region(widget, empty);
      cairo_region_destroy(empty);
    }
  }

  // Window managers tell it to every client by the compositing manager's
  // selection; each window hears of it, as every top-level window does
  // where desktop composition can change.
  static void onCompositedChanged(GdkScreen*, gpointer p) {
    static_cast<GtkHostWindow*>(p)->m_sink->HostMessage(WM_DWMCOMPOSITIONCHANGED, 0, 0);
  }
  void disconnectScreen() {
    if (m_compositedHandler == 0) return;
    g_signal_handler_disconnect(m_screen, m_compositedHandler);
    m_compositedHandler = 0;
  }

  // An owned window that is layered and mouse-transparent only decorates its
  // owner (a drop shadow).
  static bool isDecoration(const HostWindowParams& p) {
    return p.ownerNative != nullptr && (p.exStyle & WS_EX_LAYERED) && (p.exStyle & WS_EX_TRANSPARENT);
  }

  void applyCursor() {
    if (m_widget == nullptr) return;
    GdkWindow* window = gtk_widget_get_window(m_widget);
    if (window == nullptr) return;
    GdkCursor* cursor = gdk_cursor_new_from_name(gdk_window_get_display(window),
                                                 m_cursor == CursorKind::Hand ? "pointer" : "default");
    gdk_window_set_cursor(window, cursor);
    if (cursor != nullptr) g_object_unref(cursor);
  }

  IHostWindowSink* m_sink;
  GtkWidget* m_widget = nullptr;
  RECT m_rect{};
  bool m_maximized = false;
  bool m_minimized = false;
  bool m_pressInClient = true;
  guint32 m_eventTime = GDK_CURRENT_TIME;
  guint32 m_lastPressTime = 0;
  POINT m_lastPress{};
  CursorKind m_cursor = CursorKind::Arrow;
  bool m_clickThrough = false;
  SIZE m_minSize{};
  SIZE m_maxSize{};
  RequestedGeometry m_position;
  RequestedGeometry m_size;
  bool m_shown = false;
  std::string m_className;
  bool m_decoration = false;
  std::unique_ptr<BelowOwnerStacking> m_stacking;
  GdkScreen* m_screen = nullptr;
  gulong m_compositedHandler = 0;
};

}  // namespace

std::unique_ptr<IHostWindow> CreateGtkHostWindow(IHostWindowSink* sink, const HostWindowParams& params) {
  return std::make_unique<GtkHostWindow>(sink, params);
}

}  // namespace SkinUI
