#pragma once
// The X11 side of the GTK host: the few things window managers, compositors
// and desktop tools read from a window that GTK has no call for. On a
// display that is not X11 all of it does nothing.
#include <gtk/gtk.h>

#include <string>

namespace SkinUI {

// WM_CLASS of a realized window that is not mapped yet: the program's name
// as the instance, the toolkit window's class as the class.
void SetX11ClassHint(GtkWidget* window, const std::string& className);

// Keeps an override-redirect helper window directly below the top-level
// window that carries its owner: the window manager's frame around the
// owner, or the owner itself where no window manager runs. Nobody else
// stacks an override-redirect window, so it follows the owner: whenever the
// owner's top-level is restacked, mapped or replaced by a new frame, the
// helper goes back under it.
class BelowOwnerStacking {
 public:
  BelowOwnerStacking(GtkWidget* helper, GtkWidget* owner);
  ~BelowOwnerStacking();
  BelowOwnerStacking(const BelowOwnerStacking&) = delete;
  BelowOwnerStacking& operator=(const BelowOwnerStacking&) = delete;

  // Puts the helper under the owner's top-level now.
  void Restack();

 private:
  static GdkFilterReturn onXEvent(GdkXEvent* xevent, GdkEvent* event, gpointer self);
  unsigned long ownerXid() const;
  unsigned long helperXid() const;

  GtkWidget* m_helper;
  GtkWidget* m_owner;  // cleared by GLib when the owner goes
  unsigned long m_ownerTop = 0;
  bool m_filtering = false;
};

}  // namespace SkinUI
