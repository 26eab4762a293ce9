#pragma once
// Builds a control tree from a skin: the "Window" element's attributes and
// "Font" elements go to the paint manager, the first control element below
// it becomes the root. Unknown elements go to the callback; an element
// nobody creates is skipped with its subtree.
#include <string>

#include "skinui/notify.h"
#include "skinui/skin_markup.h"

namespace SkinUI {

class CControlUI;
class PaintManager;

class CDialogBuilder {
 public:
  // `type` empty: the skin file by name; "xml": a linked resource whose
  // numeric id is `skin`.
  CControlUI* Create(const std::wstring& skin, const std::wstring& type, IDialogBuilderCallback* callback,
                     PaintManager* manager);
  // Builds from an already parsed document.
  CControlUI* Create(IDialogBuilderCallback* callback, PaintManager* manager);
  CSkinMarkup* GetMarkup() { return &m_markup; }
  // Why the last Create gave no control, for the log: the reader's own
  // message with the line and the text where it stopped, or the builder's.
  std::string LastError() const;

 private:
  CControlUI* parse(CSkinMarkupNode parent, CControlUI* parentControl, PaintManager* manager);
  void applyWindow(CSkinMarkupNode& root, PaintManager* manager);
  void addFont(CSkinMarkupNode& node, PaintManager* manager);

  CSkinMarkup m_markup;
  IDialogBuilderCallback* m_callback = nullptr;
  const char* m_error = "";
};

// Creates a built-in control by element name, or null.
CControlUI* CreateBuiltinControl(const std::wstring& name);

}  // namespace SkinUI
