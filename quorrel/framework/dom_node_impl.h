// A DOM node as the render-process handler sees it when focus moves: a
// snapshot of the element taken where focus landed (both back ends report
// focus this way).
#pragma once

#include "cef_browser.h"

class DOMNodeImpl : public CefRefCounted<CefDOMNode> {
 public:
  DOMNodeImpl(bool editable, AttributeMap attributes)
      : editable_(editable), attributes_(std::move(attributes)) {}

  bool IsElement() override { return true; }
  bool IsEditable() override { return editable_; }
  bool HasElementAttribute(const CefString& name) override { return attributes_.count(name) != 0; }
  CefString GetElementAttribute(const CefString& name) override {
    auto it = attributes_.find(name);
    return it == attributes_.end() ? CefString() : it->second;
  }
  void GetElementAttributes(AttributeMap& attributes) override { attributes = attributes_; }

 private:
  bool editable_;
  AttributeMap attributes_;
};
