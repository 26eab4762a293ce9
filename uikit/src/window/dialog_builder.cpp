#include "skinui/dialog_builder.h"

#include <cwchar>
#include <memory>

#include "skinui/button.h"
#include "skinui/container.h"
#include "skinui/embedded_resource.h"
#include "skinui/label.h"
#include "skinui/paint_manager.h"
#include "skinui/progress.h"
#include "skinui/text_convert.h"

namespace SkinUI {

CControlUI* CreateBuiltinControl(const std::wstring& name) {
  if (name == L"Control") return new CControlUI;
  if (name == L"Container") return new CContainerUI;
  if (name == L"VerticalLayout") return new CVerticalLayoutUI;
  if (name == L"Label") return new CLabelUI;
  if (name == L"Text") return new CTextUI;
  if (name == L"Button") return new CButtonUI;
  if (name == L"Progress") return new CProgressUI;
  return nullptr;
}

CControlUI* CDialogBuilder::Create(const std::wstring& skin, const std::wstring& type,
                                   IDialogBuilderCallback* callback, PaintManager* manager) {
  m_error = "";
  if (type.empty()) {
    if (!m_markup.LoadSkinFile(skin, SkinEncoding::Utf8)) return nullptr;
  } else {
    wchar_t* end = nullptr;
    const long id = std::wcstol(skin.c_str(), &end, 10);
    const EmbeddedResource* res =
        end != skin.c_str() ? FindEmbeddedResource("xml", static_cast<int>(id)) : nullptr;
    if (res == nullptr) {
      m_error = "no linked xml resource of that id";
      return nullptr;
    }
    if (!m_markup.LoadFromBytes(res->data, res->size, SkinEncoding::Utf8)) return nullptr;
  }
  return Create(callback, manager);
}

std::string CDialogBuilder::LastError() const {
  if (m_markup.GetLastErrorMessage()[0] == L'\0') return m_error;
  std::string text = WideToUtf8(m_markup.GetLastErrorMessage());
  if (m_markup.GetLastErrorLine() > 0) {
    text += " at line " + std::to_string(m_markup.GetLastErrorLine());
    text += " near \"" + WideToUtf8(m_markup.GetLastErrorLocation()) + "\"";
  }
  return text;
}

CControlUI* CDialogBuilder::Create(IDialogBuilderCallback* callback, PaintManager* manager) {
  m_callback = callback;
  CSkinMarkupNode root = m_markup.RootNode();
  if (!root.IsBound()) {
    if (m_error[0] == '\0') m_error = "no document";
    return nullptr;
  }
  // Only "Window" documents describe a window.
  if (std::wcscmp(root.ElementName(), L"Window") != 0) {
    m_error = "the root element is not Window";
    return nullptr;
  }
  if (manager != nullptr) applyWindow(root, manager);
  CControlUI* first = parse(root, nullptr, manager);
  if (first == nullptr) m_error = "no control under Window";
  return first;
}

void CDialogBuilder::applyWindow(CSkinMarkupNode& root, PaintManager* manager) {
  const int count = root.AttributeCount();
  for (int i = 0; i < count; ++i)
    manager->SetWindowAttribute(root.AttributeNameAt(i), root.AttributeValueAt(i));
  for (CSkinMarkupNode node = root.FirstChild(); node.IsBound(); node = node.NextSibling()) {
    if (std::wcscmp(node.ElementName(), L"Font") == 0) addFont(node, manager);
  }
}

void CDialogBuilder::addFont(CSkinMarkupNode& node, PaintManager* manager) {
  std::wstring face;
  int size = kDefaultFontPixels;
  bool bold = false;
  bool underline = false;
  bool italic = false;
  bool isDefault = false;
  const int count = node.AttributeCount();
  for (int i = 0; i < count; ++i) {
    const std::wstring name = node.AttributeNameAt(i);
    const wchar_t* value = node.AttributeValueAt(i);
    const bool yes = std::wcscmp(value, L"true") == 0;
    if (name == L"name") {
      face = value;
    } else if (name == L"size") {
      size = static_cast<int>(std::wcstol(value, nullptr, 10));
    } else if (name == L"bold") {
      bold = yes;
    } else if (name == L"underline") {
      underline = yes;
    } else if (name == L"italic") {
      italic = yes;
    } else if (name == L"default") {
      isDefault = yes;
    }
  }
  manager->AddFont(face, size, bold, underline, italic);
  if (isDefault) manager->SetDefaultFont(face, size, bold, underline, italic);
}

// Returns the first control created at this level (the tree's root when
// called for the "Window" element).
CControlUI* CDialogBuilder::parse(CSkinMarkupNode parent, CControlUI* parentControl, PaintManager* manager) {
  if (!parent.IsBound()) return nullptr;
  CControlUI* first = nullptr;
  for (CSkinMarkupNode node = parent.FirstChild(); node.IsBound(); node = node.NextSibling()) {
    const std::wstring cls = node.ElementName();
    if (cls == L"Font" || cls == L"Image" || cls == L"Default") continue;
    std::unique_ptr<CControlUI> control(CreateBuiltinControl(cls));
    if (!control && m_callback != nullptr) control.reset(m_callback->CreateControl(cls.c_str()));
    if (!control) continue;
    if (node.HasChildElements()) parse(node, control.get(), manager);
    // Attributes may depend on the manager (images, fonts), so it is set
    // before they are applied.
    if (manager != nullptr) control->SetManager(manager, parentControl);
    const int count = node.AttributeCount();
    for (int i = 0; i < count; ++i) control->SetAttribute(node.AttributeNameAt(i), node.AttributeValueAt(i));
    CControlUI* raw = control.get();
    if (parentControl != nullptr) {
      auto* container = static_cast<IContainerUI*>(parentControl->GetInterface(L"IContainer"));
      // Children of a control that cannot hold them are dropped.
      if (container == nullptr) continue;
      container->Add(control.release());
    } else {
      // Only one root: later top-level controls have nowhere to live.
      if (first != nullptr) continue;
      control.release();
    }
    if (first == nullptr) first = raw;
  }
  return first;
}

}  // namespace SkinUI
