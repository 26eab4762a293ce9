#pragma once
// The skin reader: one wide buffer parsed in place into a flat array of
// element records. Names, values and text are terminated inside the buffer
// and referred to by offsets, so a parse allocates only the record array.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace SkinUI {

class CSkinMarkup;

class CSkinMarkupNode {
 public:
  static constexpr int kMaxAttributes = 64;

  CSkinMarkupNode() = default;
  CSkinMarkupNode(CSkinMarkup* owner, int element) : m_owner(owner), m_element(element) {}

  bool IsBound() const { return m_owner != nullptr; }
  const wchar_t* ElementName() const;
  CSkinMarkupNode NextSibling() const;
  CSkinMarkupNode FirstChild() const;
  bool HasChildElements() const;
  // The element's own text content (empty for an empty-element tag).
  const wchar_t* Value() const;

  bool HasAttributeList();
  int AttributeCount();
  const wchar_t* AttributeNameAt(int index);
  const wchar_t* AttributeValueAt(int index);
  const wchar_t* AttributeValue(const wchar_t* name);
  bool CopyAttributeValue(const wchar_t* name, wchar_t* buffer, std::size_t limit);

 private:
  struct AttributeRef {
    std::size_t name = 0;
    std::size_t value = 0;
  };
  void buildAttributeTable();

  CSkinMarkup* m_owner = nullptr;
  int m_element = 0;
  bool m_tableBuilt = false;
  int m_attributeCount = 0;
  AttributeRef m_attributes[kMaxAttributes];
};

enum class SkinEncoding { Utf8 = 0, Utf16 = 1, Ansi = 2 };

class CSkinMarkup {
 public:
  struct Element {
    std::size_t start = 0;  // offset of the name
    int child = 0;
    int next = 0;
    int parent = 0;
    std::size_t data = 0;  // offset of the content, or of the "/" of an empty tag
  };

  static constexpr std::size_t kMaxFileBytes = 4194304;
  // Nesting beyond this is refused rather than recursed into: a hostile skin
  // must not be able to exhaust the stack.
  static constexpr int kMaxDepth = 256;

  CSkinMarkup();
  explicit CSkinMarkup(const wchar_t* text);
  CSkinMarkup(const CSkinMarkup&) = delete;
  CSkinMarkup& operator=(const CSkinMarkup&) = delete;

  bool ParseText(const wchar_t* text);
  bool LoadSkinFile(const std::wstring& name, SkinEncoding encoding = SkinEncoding::Utf8);
  // Parses bytes already in memory as LoadSkinFile would after reading them.
  bool LoadFromBytes(const unsigned char* data, std::size_t length, SkinEncoding encoding);
  void ReleaseText();

  void SetPreserveWhitespace(bool preserve) { m_preserveWhitespace = preserve; }
  bool IsPreserveWhitespace() const { return m_preserveWhitespace; }
  const wchar_t* GetLastErrorMessage() const { return m_errorMessage; }
  const wchar_t* GetLastErrorLocation() const { return m_errorLocation; }
  // The line (from 1) where parsing stopped; 0 for load errors.
  int GetLastErrorLine() const { return m_errorLine; }

  CSkinMarkupNode RootNode();

  int ElementCount() const { return static_cast<int>(m_elements.size()); }
  std::size_t ElementCapacity() const { return m_elements.capacity(); }

 private:
  friend class CSkinMarkupNode;

  bool parse();
  bool parseChildren(int parent, std::size_t& pos, int depth);
  bool parseElement(int parent, int& previous, std::size_t& pos, int depth);
  bool parseEndTag(int element, std::size_t& pos);
  bool parseAttributes(std::size_t& pos);
  bool parseData(std::size_t& pos, std::size_t& writeEnd, wchar_t stop);
  void skipBlanks(std::size_t& pos) const;
  void skipIdentifier(std::size_t& pos) const;
  void skipSpecial(std::size_t& pos) const;
  int newElement();
  bool failAt(const wchar_t* message, std::size_t pos);
  bool failLoad(const wchar_t* message);
  bool adoptText(std::wstring text);

  wchar_t at(std::size_t pos) const { return pos < m_length ? m_text[pos] : L'\0'; }

  std::unique_ptr<wchar_t[]> m_text;
  std::size_t m_length = 0;
  std::vector<Element> m_elements;
  bool m_preserveWhitespace = true;
  wchar_t m_errorMessage[100] = {};
  wchar_t m_errorLocation[50] = {};
  int m_errorLine = 0;
};

}  // namespace SkinUI
