// Containers: room for hidden, floating and fixed-size children, padding
// and insets, removal while the manager still points at a child, and
// painting clipped to the container.
#include "skinui/container.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "skinui/button.h"
#include "skinui/host_headless.h"
#include "skinui/image.h"
#include "skinui/paint_manager.h"
#include "skinui/window_wnd.h"

namespace SkinUI {
namespace {

CControlUI* Child(int height, const wchar_t* name = L"") {
  auto* c = new CControlUI;
  c->SetFixedHeight(height);
  c->SetName(name);
  return c;
}

TEST(ContainerLayout, HiddenChildrenTakeNoRoomUntilShownAgain) {
  CVerticalLayoutUI layout;
  CControlUI* a = Child(0, L"a");
  CControlUI* hidden = Child(40, L"hidden");
  CControlUI* b = Child(0, L"b");
  for (CControlUI* c : {a, hidden, b}) layout.Add(c);
  hidden->SetVisible(false);
  layout.SetPos({0, 0, 100, 200});
  EXPECT_EQ(a->GetPos().bottom, 100);
  EXPECT_EQ(b->GetPos().top, 100);
  EXPECT_EQ(b->GetPos().bottom, 200);
  EXPECT_EQ(layout.FindControlAt({50, 150}), b);
  hidden->SetVisible(true);
  layout.SetPos({0, 0, 100, 200});
  EXPECT_EQ(a->GetPos().bottom, 80);
  EXPECT_EQ(hidden->GetPos().top, 80);
  EXPECT_EQ(hidden->GetPos().bottom, 120);
  EXPECT_EQ(b->GetPos().top, 120);
}

TEST(ContainerLayout, PaddingAndInsetShrinkTheStack) {
  CVerticalLayoutUI layout;
  layout.SetAttribute(L"inset", L"5,10,5,10");
  layout.SetAttribute(L"childpadding", L"4");
  CControlUI* top = Child(20);
  CControlUI* flex = Child(0);
  CControlUI* bottom = Child(20);
  auto* floating = new CControlUI;
  floating->SetAttribute(L"float", L"true");
  floating->SetAttribute(L"pos", L"7,3,17,13");
  for (CControlUI* c : {top, flex, floating, bottom}) layout.Add(c);
  layout.SetPos({0, 0, 100, 120});
  // Inner area 90 x 100; two gaps of 4 between the three stacked children.
  EXPECT_EQ(top->GetPos().left, 5);
  EXPECT_EQ(top->GetPos().right, 95);
  EXPECT_EQ(top->GetPos().top, 10);
  EXPECT_EQ(flex->GetPos().top, 34);
  EXPECT_EQ(flex->GetPos().Height(), 100 - 40 - 8);
  EXPECT_EQ(bottom->GetPos().bottom, 110);
  // The floating child is placed from the inner area's corner, not the stack.
  EXPECT_EQ(floating->GetPos().left, 12);
  EXPECT_EQ(floating->GetPos().top, 13);
  EXPECT_EQ(floating->GetPos().Width(), 10);
}

TEST(ContainerLayout, OverfullStacksAndWideChildrenStayInsideTheLayout) {
  CVerticalLayoutUI layout;
  CControlUI* tall = Child(150);
  CControlUI* flex = Child(0);
  auto* wide = new CControlUI;
  wide->SetFixedWidth(500);
  wide->SetFixedHeight(10);
  for (CControlUI* c : {tall, flex, wide}) layout.Add(c);
  layout.SetPos({0, 0, 100, 100});
  EXPECT_EQ(flex->GetPos().Height(), 0);  // nothing left, never negative
  EXPECT_EQ(wide->GetPos().Width(), 100);
}

TEST(ContainerLayout, PlainContainerGivesEveryChildItsInnerArea) {
  CContainerUI box;
  box.SetAttribute(L"inset", L"2,2,2,2");
  CControlUI* a = Child(0);
  CControlUI* b = Child(10);
  CControlUI* hidden = Child(0);
  hidden->SetVisible(false);
  for (CControlUI* c : {a, b, hidden}) box.Add(c);
  box.SetPos({10, 10, 60, 60});
  for (CControlUI* c : {a, b}) {
    EXPECT_EQ(c->GetPos().left, 12);
    EXPECT_EQ(c->GetPos().bottom, 58);
  }
  EXPECT_TRUE(hidden->GetPos().IsEmpty());
  // Not an attribute of containers: passed on to the control base.
  box.SetAttribute(L"name", L"box");
  EXPECT_EQ(box.GetName(), L"box");
}

TEST(ContainerItems, IndexInterfaceAndRemoval) {
  CVerticalLayoutUI layout;
  CControlUI* a = Child(0, L"a");
  layout.Add(a);
  layout.Add(Child(0, L"b"));
  EXPECT_FALSE(layout.Add(nullptr));
  EXPECT_EQ(layout.GetCount(), 2);
  EXPECT_EQ(layout.GetItemAt(0), a);
  EXPECT_EQ(layout.GetItemAt(2), nullptr);
  EXPECT_EQ(layout.GetItemAt(-1), nullptr);
  EXPECT_EQ(layout.GetInterface(L"IContainer"), static_cast<IContainerUI*>(&layout));
  EXPECT_EQ(layout.GetInterface(L"VerticalLayout"), &layout);
  EXPECT_EQ(layout.GetInterface(L"Container"), &layout);
  EXPECT_EQ(layout.GetInterface(L"Button"), nullptr);
  EXPECT_TRUE(layout.Remove(a));
  EXPECT_FALSE(layout.Remove(a));
  EXPECT_EQ(layout.FindControlByName(L"a"), nullptr);
  EXPECT_NE(layout.FindControlByName(L"b"), nullptr);
  layout.RemoveAll();
  EXPECT_EQ(layout.GetCount(), 0);
}

// Records notifications, to see focus leave a hidden subtree.
class NoteLog : public INotifyUI {
 public:
  void Notify(TNotifyUI& msg) override { notes.push_back(msg.sType + L":" + msg.pSender->GetName()); }
  std::vector<std::wstring> notes;
};

// A bare window gives the manager a client area to lay out in.
class BareWindow : public CWindowWnd {
 public:
  const wchar_t* WindowClassName() const override { return L"uikit_bare"; }
};

class ContainerWithManager : public ::testing::Test {
 protected:
  void SetUp() override {
    UseHeadlessHost();
    ASSERT_NE(m_wnd.Create(0, L"", WS_POPUP, 0, 0, 0, 100, 100), 0u);
    m_pm.Init(&m_wnd);
    m_root = new CVerticalLayoutUI;
    m_group = new CContainerUI;
    m_group->SetName(L"group");
    m_button = new CButtonUI;
    m_button->SetName(L"ok");
    m_group->Add(m_button);
    m_root->Add(m_group);
    m_pm.AttachDialog(m_root);
    m_pm.AddNotifier(&m_log);
  }
  void Send(UINT msg, int x, int y) {
    LRESULT lRes = 0;
    m_pm.MessageHandler(msg, msg == WM_LBUTTONDOWN ? WPARAM{MK_LBUTTON} : WPARAM{0}, MAKELPARAM(x, y), lRes);
  }
  BareWindow m_wnd;
  PaintManager m_pm;
  NoteLog m_log;
  CVerticalLayoutUI* m_root = nullptr;
  CContainerUI* m_group = nullptr;
  CButtonUI* m_button = nullptr;
};

TEST_F(ContainerWithManager, HidingAContainerTakesTheFocusFromItsChild) {
  m_pm.SetFocus(m_button);
  ASSERT_EQ(m_pm.GetFocus(), m_button);
  m_group->SetVisible(false);
  EXPECT_EQ(m_pm.GetFocus(), nullptr);
  EXPECT_FALSE(m_button->IsFocused());
  EXPECT_EQ(m_log.notes, (std::vector<std::wstring>{L"setfocus:ok", L"killfocus:ok"}));
  EXPECT_EQ(m_pm.FindControl(POINT{50, 50}), m_root);
}

TEST_F(ContainerWithManager, RemovedControlsAreForgottenByTheManager) {
  Send(WM_MOUSEMOVE, 50, 50);
  Send(WM_LBUTTONDOWN, 50, 50);
  ASSERT_EQ(m_pm.GetFocus(), m_button);
  ASSERT_EQ(m_pm.GetClickTarget(), m_button);
  ASSERT_EQ(m_pm.GetHover(), m_button);
  // Removing the button's container mid-press must leave no pointer to it
  // behind: the release, moves and keys that follow go nowhere.
  EXPECT_TRUE(m_root->Remove(m_group));
  EXPECT_EQ(m_pm.GetFocus(), nullptr);
  EXPECT_EQ(m_pm.GetClickTarget(), nullptr);
  EXPECT_EQ(m_pm.GetHover(), nullptr);
  Send(WM_LBUTTONUP, 50, 50);
  Send(WM_MOUSEMOVE, 60, 60);
  LRESULT lRes = 0;
  EXPECT_FALSE(m_pm.MessageHandler(WM_KEYDOWN, VK_RETURN, 0, lRes));
  EXPECT_EQ(m_pm.FindControl(L"ok"), nullptr);
  EXPECT_EQ(m_pm.GetHover(), m_root);
  EXPECT_EQ(m_log.notes, (std::vector<std::wstring>{L"setfocus:ok"}));
}

TEST_F(ContainerWithManager, AddedChildrenJoinTheManagerAndTheNextLayout) {
  auto* late = new CButtonUI;
  late->SetName(L"late");
  late->SetFixedHeight(30);
  m_root->Add(late);
  EXPECT_EQ(late->GetManager(), &m_pm);
  EXPECT_EQ(late->GetParent(), m_root);
  // The manager lays out again before the next hit test.
  EXPECT_EQ(m_pm.FindControl(POINT{50, 90}), late);
}

std::uint32_t Pixel(cairo_surface_t* s, int x, int y) {
  cairo_surface_flush(s);
  return reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(s) +
                                                y * cairo_image_surface_get_stride(s))[x];
}

TEST(ContainerPaint, ChildrenAreClippedToTheContainerAndHiddenOnesSkipped) {
  CContainerUI box;
  box.SetBkColor(0xFF0000FFu);
  auto* overhang = new CControlUI;
  overhang->SetAttribute(L"float", L"true");
  overhang->SetAttribute(L"pos", L"30,30,60,60");
  overhang->SetBkColor(0xFFFF0000u);
  auto* hidden = new CControlUI;
  hidden->SetBkColor(0xFF00FF00u);
  hidden->SetVisible(false);
  box.Add(overhang);
  box.Add(hidden);
  box.SetPos({0, 0, 40, 40});
  CairoSurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 80, 80));
  CairoPtr cr(cairo_create(surface.get()));
  box.DoPaint(cr.get(), {0, 0, 80, 80});
  EXPECT_EQ(Pixel(surface.get(), 10, 10), 0xFF0000FFu);
  EXPECT_EQ(Pixel(surface.get(), 35, 35), 0xFFFF0000u);
  EXPECT_EQ(Pixel(surface.get(), 45, 45), 0u);  // outside the box: not painted
  // A paint request beside the box paints nothing at all.
  CairoSurfacePtr other(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 80, 80));
  CairoPtr cr2(cairo_create(other.get()));
  box.DoPaint(cr2.get(), {50, 50, 80, 80});
  EXPECT_EQ(Pixel(other.get(), 10, 10), 0u);
}

}  // namespace
}  // namespace SkinUI
