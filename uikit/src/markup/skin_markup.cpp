#include "skinui/skin_markup.h"

#include <cwchar>

#include "skinui/skin_resources.h"
#include "skinui/text_convert.h"

namespace SkinUI {
namespace {

bool isBlank(wchar_t c) {
  return c != L'\0' && static_cast<std::uint32_t>(c) <= 32;
}

// Element and attribute names: letters, digits, "_" and ":". Anything past
// ASCII counts as a letter so that names in other scripts still parse the
// same on every locale.
bool isNameChar(wchar_t c) {
  if (c >= 0x80) return true;
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_' ||
         c == L':';
}

void copyBounded(wchar_t* dst, std::size_t capacity, const wchar_t* src) {
  std::size_t i = 0;
  for (; i + 1 < capacity && src[i] != L'\0'; ++i) dst[i] = src[i];
  dst[i] = L'\0';
}

struct Entity {
  const wchar_t* name;
  std::size_t length;
  wchar_t value;
};
const Entity kEntities[] = {
    {L"amp;", 4, L'&'}, {L"lt;", 3, L'<'}, {L"gt;", 3, L'>'}, {L"quot;", 5, L'"'}, {L"apos;", 5, L'\''},
};

}  // namespace

CSkinMarkup::CSkinMarkup() = default;

CSkinMarkup::CSkinMarkup(const wchar_t* text) {
  if (text != nullptr) ParseText(text);
}

bool CSkinMarkup::adoptText(std::wstring text) {
  ReleaseText();
  m_length = text.size();
  m_text.reset(new wchar_t[m_length + 1]);
  std::wmemcpy(m_text.get(), text.data(), m_length);
  m_text[m_length] = L'\0';
  if (parse()) return true;
  ReleaseText();
  return false;
}

bool CSkinMarkup::ParseText(const wchar_t* text) {
  if (text == nullptr) return failLoad(L"Error parsing text");
  return adoptText(std::wstring(text));
}

void CSkinMarkup::ReleaseText() {
  m_text.reset();
  m_length = 0;
  m_elements.clear();
  m_elements.shrink_to_fit();
}

bool CSkinMarkup::failLoad(const wchar_t* message) {
  ReleaseText();
  copyBounded(m_errorMessage, 100, message);
  m_errorLocation[0] = L'\0';
  m_errorLine = 0;
  return false;
}

bool CSkinMarkup::failAt(const wchar_t* message, std::size_t pos) {
  copyBounded(m_errorMessage, 100, message);
  // Parsing rewrites text only inside values and content and keeps their
  // line breaks (unless blanks are collapsed), so the breaks before the stop
  // give the source line.
  m_errorLine = 1;
  for (std::size_t i = 0; i < pos && i < m_length; ++i) m_errorLine += m_text[i] == L'\n' ? 1 : 0;
  std::size_t i = 0;
  for (; i < 49 && pos + i < m_length && m_text[pos + i] != L'\0'; ++i) m_errorLocation[i] = m_text[pos + i];
  m_errorLocation[i] = L'\0';
  return false;
}

bool CSkinMarkup::LoadSkinFile(const std::wstring& name, SkinEncoding encoding) {
  std::vector<unsigned char> bytes;
  switch (ReadSkinFileBytes(name, &bytes)) {
    case SkinReadStatus::Ok:
      break;
    case SkinReadStatus::OpenFailed:
      return failLoad(L"Error opening file");
    case SkinReadStatus::Empty:
      return failLoad(L"File is empty");
    case SkinReadStatus::TooLarge:
      return failLoad(L"File too large");
    case SkinReadStatus::ReadFailed:
      return failLoad(L"Could not read file");
    case SkinReadStatus::ZipOpenFailed:
      return failLoad(L"Error opening zip file");
    case SkinReadStatus::ZipEntryMissing:
      return failLoad(L"Could not find ziped file");
    case SkinReadStatus::ZipReadFailed:
      return failLoad(L"Could not unzip file");
  }
  return LoadFromBytes(bytes.data(), bytes.size(), encoding);
}

bool CSkinMarkup::LoadFromBytes(const unsigned char* data, std::size_t length, SkinEncoding encoding) {
  switch (encoding) {
    case SkinEncoding::Utf8:
    case SkinEncoding::Ansi: {
      // The narrow code page is UTF-8 on this platform, so both read alike;
      // a byte-order mark is dropped either way.
      if (length >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
        data += 3;
        length -= 3;
      }
      return adoptText(Utf8ToWide(reinterpret_cast<const char*>(data), length));
    }
    case SkinEncoding::Utf16:
      if (length >= 2 && data[0] == 0xFF && data[1] == 0xFE)
        return adoptText(Utf16ToWide(data + 2, length - 2, ByteOrder::Little));
      if (length >= 2 && data[0] == 0xFE && data[1] == 0xFF)
        return adoptText(Utf16ToWide(data + 2, length - 2, ByteOrder::Big));
      // Without a mark the byte order is a guess; refuse rather than guess.
      return failLoad(L"Expected byte-order mark");
  }
  return failLoad(L"Unknown encoding");
}

CSkinMarkupNode CSkinMarkup::RootNode() {
  if (m_elements.size() < 2) return CSkinMarkupNode();
  return CSkinMarkupNode(this, 1);
}

int CSkinMarkup::newElement() {
  if (m_elements.size() == m_elements.capacity()) {
    std::size_t cap = m_elements.capacity();
    m_elements.reserve(cap + cap / 2 + 500);
  }
  m_elements.emplace_back();
  return static_cast<int>(m_elements.size() - 1);
}

bool CSkinMarkup::parse() {
  m_elements.clear();
  newElement();  // record 0 stands for "none" in the child/next/parent links
  m_errorMessage[0] = L'\0';
  m_errorLocation[0] = L'\0';
  m_errorLine = 0;
  std::size_t pos = 0;
  return parseChildren(0, pos, 0);
}

void CSkinMarkup::skipBlanks(std::size_t& pos) const {
  while (isBlank(at(pos))) ++pos;
}

void CSkinMarkup::skipIdentifier(std::size_t& pos) const {
  while (isNameChar(at(pos))) ++pos;
}

// Comments and processing instructions end at "->" or "?>"; an unterminated
// one swallows the rest of the document.
void CSkinMarkup::skipSpecial(std::size_t& pos) const {
  const wchar_t first = at(pos) == L'!' ? L'-' : L'?';
  ++pos;
  while (pos < m_length && !(at(pos) == first && at(pos + 1) == L'>')) ++pos;
  pos = pos + 2 <= m_length ? pos + 2 : m_length;
}

bool CSkinMarkup::parseChildren(int parent, std::size_t& pos, int depth) {
  if (depth > kMaxDepth) return failAt(L"Elements nested too deeply", pos);
  int previous = 0;
  for (;;) {
    skipBlanks(pos);
    if (at(pos) == L'\0') {
      if (parent <= 1) return true;
      return failAt(L"Unexpected end of data", pos);
    }
    if (at(pos) != L'<') return failAt(L"Expected start tag", pos);
    if (at(pos + 1) == L'/') return true;
    m_text[pos++] = L'\0';
    skipBlanks(pos);
    if (at(pos) == L'!' || at(pos) == L'?') {
      skipSpecial(pos);
      continue;
    }
    if (!parseElement(parent, previous, pos, depth)) return false;
  }
}

bool CSkinMarkup::parseElement(int parent, int& previous, std::size_t& pos, int depth) {
  const int e = newElement();
  m_elements[e].start = pos;
  m_elements[e].parent = parent;
  if (previous != 0) {
    m_elements[previous].next = e;
  } else if (parent != 0) {
    m_elements[parent].child = e;
  }
  skipIdentifier(pos);
  const std::size_t nameEnd = pos;
  if (nameEnd == m_elements[e].start) return failAt(L"Error parsing element name", pos);
  if (!parseAttributes(pos)) return false;
  skipBlanks(pos);
  if (at(pos) == L'/' && at(pos + 1) == L'>') {
    m_elements[e].data = pos;
    m_text[pos] = L'\0';
    pos += 2;
  } else {
    if (at(pos) != L'>') return failAt(L"Expected start-tag closing", pos);
    m_elements[e].data = ++pos;
    std::size_t writeEnd = pos;
    if (!parseData(pos, writeEnd, L'<')) return false;
    if (at(pos) == L'\0') {
      if (writeEnd < m_length) m_text[writeEnd] = L'\0';
      m_text[nameEnd] = L'\0';  // the '>' there has been read already
      if (parent <= 1) return true;
      return failAt(L"Unexpected end of data", pos);
    }
    if (at(pos) != L'<') return failAt(L"Expected end-tag start", pos);
    if (at(pos + 1) != L'/') {
      if (writeEnd < pos) m_text[writeEnd] = L'\0';
      if (!parseChildren(e, pos, depth + 1)) return false;
    } else {
      m_text[writeEnd] = L'\0';
    }
    if (!parseEndTag(e, pos)) return false;
  }
  if (nameEnd < m_length) m_text[nameEnd] = L'\0';
  skipBlanks(pos);
  previous = e;
  return true;
}

bool CSkinMarkup::parseEndTag(int element, std::size_t& pos) {
  if (at(pos) == L'<') m_text[pos] = L'\0';
  if (!(pos + 1 < m_length && m_text[pos + 1] == L'/')) return failAt(L"Unmatched closing tag", pos);
  pos += 2;
  skipBlanks(pos);
  const std::size_t start = m_elements[element].start;
  std::size_t nameLength = 0;
  while (isNameChar(at(start + nameLength))) ++nameLength;
  if (pos + nameLength > m_length || std::wmemcmp(m_text.get() + pos, m_text.get() + start, nameLength) != 0)
    return failAt(L"Unmatched closing tag", pos);
  pos += nameLength;
  skipBlanks(pos);
  if (at(pos) != L'>') return failAt(L"Unmatched closing tag", pos);
  ++pos;
  return true;
}

bool CSkinMarkup::parseAttributes(std::size_t& pos) {
  for (;;) {
    skipBlanks(pos);
    const wchar_t c = at(pos);
    if (c == L'\0' || c == L'>' || c == L'/') return true;
    const std::size_t nameStart = pos;
    const std::size_t nameEnd = (skipIdentifier(pos), pos);
    skipBlanks(pos);
    if (at(pos) != L'=') return failAt(L"Error while parsing attributes", pos);
    m_text[pos] = L' ';
    m_text[nameEnd] = L'\0';
    ++pos;
    skipBlanks(pos);
    if (at(pos) != L'"') return failAt(L"Expected attribute value", pos);
    ++pos;
    std::size_t writeEnd = pos;
    if (!parseData(pos, writeEnd, L'"')) return false;
    if (at(pos) == L'\0') return failAt(L"Error while parsing attribute string", pos);
    // Blank first, then the terminator: when nothing shrank they share a slot.
    m_text[pos] = L' ';
    m_text[writeEnd] = L'\0';
    // A nameless attribute would leave a terminator where the attribute
    // table expects a name, and the table would end there, losing every
    // later attribute: it is blanked out instead, so only it is dropped.
    if (nameEnd == nameStart) std::wmemset(m_text.get() + nameStart, L' ', pos + 1 - nameStart);
    ++pos;
  }
}

// Copies the text up to `stop` onto itself, resolving entities and, when
// whitespace is not preserved, collapsing blank runs. The gap the copy
// leaves behind is filled with spaces so every later offset stays valid.
bool CSkinMarkup::parseData(std::size_t& pos, std::size_t& writeEnd, wchar_t stop) {
  std::size_t write = pos;
  while (pos < m_length && m_text[pos] != L'\0' && m_text[pos] != stop) {
    const wchar_t c = m_text[pos];
    if (c == L'&') {
      bool matched = false;
      for (const Entity& entity : kEntities) {
        if (pos + 1 + entity.length <= m_length &&
            std::wmemcmp(m_text.get() + pos + 1, entity.name, entity.length) == 0) {
          m_text[write++] = entity.value;
          pos += 1 + entity.length;
          matched = true;
          break;
        }
      }
      if (!matched) m_text[write++] = m_text[pos++];
    } else if (isBlank(c) && !m_preserveWhitespace) {
      m_text[write++] = L' ';
      ++pos;
      while (isBlank(at(pos))) ++pos;
    } else {
      m_text[write++] = m_text[pos++];
    }
  }
  for (std::size_t i = write; i < pos; ++i) m_text[i] = L' ';
  writeEnd = write;
  return true;
}

// ---- nodes ---------------------------------------------------------------

const wchar_t* CSkinMarkupNode::ElementName() const {
  if (m_owner == nullptr) return L"";
  return m_owner->m_text.get() + m_owner->m_elements[m_element].start;
}

CSkinMarkupNode CSkinMarkupNode::NextSibling() const {
  if (m_owner == nullptr) return {};
  const int next = m_owner->m_elements[m_element].next;
  return next > 0 ? CSkinMarkupNode(m_owner, next) : CSkinMarkupNode();
}

CSkinMarkupNode CSkinMarkupNode::FirstChild() const {
  if (m_owner == nullptr) return {};
  const int child = m_owner->m_elements[m_element].child;
  return child > 0 ? CSkinMarkupNode(m_owner, child) : CSkinMarkupNode();
}

bool CSkinMarkupNode::HasChildElements() const {
  return m_owner != nullptr && m_owner->m_elements[m_element].child != 0;
}

const wchar_t* CSkinMarkupNode::Value() const {
  if (m_owner == nullptr) return L"";
  return m_owner->m_text.get() + m_owner->m_elements[m_element].data;
}

void CSkinMarkupNode::buildAttributeTable() {
  m_tableBuilt = true;
  m_attributeCount = 0;
  if (m_owner == nullptr) return;
  const wchar_t* text = m_owner->m_text.get();
  const std::size_t length = m_owner->m_length;
  const CSkinMarkup::Element& element = m_owner->m_elements[m_element];
  std::size_t pos = element.start + std::wcslen(text + element.start) + 1;
  auto blank = [&](std::size_t p) {
    return p < length && text[p] != L'\0' && static_cast<std::uint32_t>(text[p]) <= 32;
  };
  while (m_attributeCount < kMaxAttributes) {
    while (blank(pos)) ++pos;
    if (pos >= element.data || pos >= length || text[pos] == L'\0' || text[pos] == L'>') break;
    const std::size_t name = pos;
    pos += std::wcslen(text + pos) + 1;
    while (blank(pos)) ++pos;
    if (pos >= length || text[pos] != L'"') break;
    const std::size_t value = ++pos;
    pos += std::wcslen(text + pos) + 1;
    m_attributes[m_attributeCount++] = {name, value};
  }
}

bool CSkinMarkupNode::HasAttributeList() {
  return AttributeCount() > 0;
}

int CSkinMarkupNode::AttributeCount() {
  if (!m_tableBuilt) buildAttributeTable();
  return m_attributeCount;
}

const wchar_t* CSkinMarkupNode::AttributeNameAt(int index) {
  if (index < 0 || index >= AttributeCount()) return L"";
  return m_owner->m_text.get() + m_attributes[index].name;
}

const wchar_t* CSkinMarkupNode::AttributeValueAt(int index) {
  if (index < 0 || index >= AttributeCount()) return L"";
  return m_owner->m_text.get() + m_attributes[index].value;
}

const wchar_t* CSkinMarkupNode::AttributeValue(const wchar_t* name) {
  const int count = AttributeCount();
  for (int i = 0; i < count; ++i) {
    if (std::wcscmp(m_owner->m_text.get() + m_attributes[i].name, name) == 0)
      return m_owner->m_text.get() + m_attributes[i].value;
  }
  return nullptr;
}

bool CSkinMarkupNode::CopyAttributeValue(const wchar_t* name, wchar_t* buffer, std::size_t limit) {
  const wchar_t* value = AttributeValue(name);
  if (value == nullptr) return false;
  // The limit counts the terminator, so the copy always ends inside the
  // buffer and always ends in NUL.
  if (buffer != nullptr && limit > 0) copyBounded(buffer, limit, value);
  return true;
}

}  // namespace SkinUI
