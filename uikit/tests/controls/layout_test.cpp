// Layout and attribute rules of the controls, without a window.
#include <gtest/gtest.h>

#include "skinui/button.h"
#include "skinui/container.h"
#include "skinui/label.h"
#include "skinui/progress.h"

namespace SkinUI {
namespace {

CControlUI* Fixed(int height) {
  auto* c = new CControlUI;
  c->SetFixedHeight(height);
  return c;
}

TEST(VerticalLayout, FixedHeightsFirstTheRestShareEvenly) {
  CVerticalLayoutUI layout;
  CControlUI* top = Fixed(30);
  CControlUI* middle = Fixed(0);
  CControlUI* bottom = Fixed(50);
  CControlUI* floating = new CControlUI;
  floating->SetAttribute(L"float", L"true");
  floating->SetAttribute(L"pos", L"545,0,0,0");
  floating->SetAttribute(L"width", L"37");
  floating->SetAttribute(L"height", L"31");
  for (CControlUI* c : {top, middle, floating, bottom}) layout.Add(c);
  layout.SetPos({0, 100, 600, 300});
  EXPECT_EQ(top->GetPos().top, 100);
  EXPECT_EQ(top->GetPos().bottom, 130);
  EXPECT_EQ(middle->GetPos().top, 130);
  EXPECT_EQ(middle->GetPos().bottom, 250);
  EXPECT_EQ(bottom->GetPos().bottom, 300);
  EXPECT_EQ(bottom->GetPos().right, 600);
  // The floating child ignores the stack: its offset is from the layout.
  EXPECT_EQ(floating->GetPos().left, 545);
  EXPECT_EQ(floating->GetPos().top, 100);
  EXPECT_EQ(floating->GetPos().Width(), 37);
  EXPECT_EQ(floating->GetPos().Height(), 31);
}

TEST(VerticalLayout, HitTestPrefersLaterChildrenAndSkipsHidden) {
  CContainerUI box;
  auto* under = new CControlUI;
  auto* over = new CButtonUI;
  box.Add(under);
  box.Add(over);
  box.SetPos({0, 0, 100, 100});
  EXPECT_EQ(box.FindControlAt({50, 50}), over);
  over->SetVisible(false);
  EXPECT_EQ(box.FindControlAt({50, 50}), under);
  EXPECT_EQ(box.FindControlAt({150, 50}), nullptr);
  over->SetName(L"ok");
  EXPECT_EQ(box.FindControlByName(L"ok"), over);
}

TEST(ControlAttributes, PosWithoutSizeGivesNoNegativeSizeAndLaterWidthWins) {
  CControlUI c;
  c.SetAttribute(L"pos", L"545,0,0,0");
  EXPECT_EQ(c.GetFixedWidth(), 0);
  c.SetAttribute(L"width", L"37");
  EXPECT_EQ(c.GetFixedWidth(), 37);
  c.SetAttribute(L"pos", L"-1,-1,20,30");
  EXPECT_EQ(c.GetFloatOffset().x, 20);
  EXPECT_EQ(c.GetFloatOffset().y, 30);
}

TEST(LabelAttributes, AlignWordsReplaceOnlyTheirAxis) {
  CLabelUI label;
  EXPECT_EQ(label.GetTextStyle() & (DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM),
            static_cast<UINT>(DT_VCENTER));
  label.SetAttribute(L"align", L"center");
  EXPECT_EQ(label.GetTextStyle() & (DT_CENTER | DT_VCENTER), static_cast<UINT>(DT_CENTER | DT_VCENTER));
  label.SetAttribute(L"align", L"right");
  label.SetAttribute(L"align", L"bottom");
  EXPECT_EQ(label.GetTextStyle() & (DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM),
            static_cast<UINT>(DT_RIGHT | DT_BOTTOM));
  label.SetAttribute(L"textpadding", L"0,8,0,8");
  label.SetPos({30, 244, 570, 276});
  EXPECT_EQ(label.TextRect().top, 252);
  EXPECT_EQ(label.TextRect().bottom, 268);
  label.SetAttribute(L"font", L"1");
  EXPECT_EQ(label.GetFont(), 1);
}

TEST(ProgressAttributes, DefaultsAndHorizontalSwitch) {
  CProgressUI p;
  EXPECT_EQ(p.GetMinValue(), 0);
  EXPECT_EQ(p.GetMaxValue(), 100);
  EXPECT_EQ(p.GetValue(), 0);
  EXPECT_TRUE(p.IsHorizontal());
  p.SetAttribute(L"hor", L"false");
  EXPECT_FALSE(p.IsHorizontal());
  p.SetAttribute(L"value", L"-20");
  p.SetPos({0, 0, 540, 32});
  EXPECT_EQ(p.FillRect().top, 32);  // clamped to the minimum: nothing filled
}

}  // namespace
}  // namespace SkinUI
