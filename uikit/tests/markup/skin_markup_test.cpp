#include "skinui/skin_markup.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "skinui/skin_resources.h"

namespace SkinUI {
namespace {

std::wstring Attr(CSkinMarkupNode node, const wchar_t* name) {
  const wchar_t* v = node.AttributeValue(name);
  return v == nullptr ? L"<none>" : v;
}

TEST(SkinMarkupStructure, DeclarationAndCommentsLeaveTheRootAsRecordOne) {
  const std::string utf8 =
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      "<!-- leading comment -->\n"
      "<Window size=\"600,300\">\n"
      "  <!-- <Button name=\"fix_app\" /> -->\n"
      "  <Font name=\"\xE5\xAE\x8B\xE4\xBD\x93\" size=\"14\"/>\n"
      "  <VerticalLayout><Button name=\"closebtn\"/></VerticalLayout>\n"
      "</Window>\n";
  CSkinMarkup markup;
  ASSERT_TRUE(markup.LoadFromBytes(reinterpret_cast<const unsigned char*>(utf8.data()), utf8.size(),
                                   SkinEncoding::Utf8))
      << markup.GetLastErrorMessage();
  // Placeholder, Window, Font, VerticalLayout, Button: comments add nothing.
  EXPECT_EQ(markup.ElementCount(), 5);
  CSkinMarkupNode root = markup.RootNode();
  EXPECT_STREQ(root.ElementName(), L"Window");
  EXPECT_EQ(Attr(root, L"size"), L"600,300");
  CSkinMarkupNode font = root.FirstChild();
  EXPECT_STREQ(font.ElementName(), L"Font");
  EXPECT_EQ(Attr(font, L"name"), L"宋体");
  CSkinMarkupNode layout = font.NextSibling();
  EXPECT_STREQ(layout.ElementName(), L"VerticalLayout");
  EXPECT_TRUE(layout.HasChildElements());
  EXPECT_EQ(Attr(layout.FirstChild(), L"name"), L"closebtn");
  EXPECT_FALSE(layout.NextSibling().IsBound());
  EXPECT_FALSE(font.HasChildElements());
}

TEST(SkinMarkupStructure, TextContentAndAttributeAccessors) {
  CSkinMarkup markup(L"<a x=\"1\" y = \"two words\">hello<b/></a>");
  CSkinMarkupNode a = markup.RootNode();
  ASSERT_TRUE(a.IsBound());
  EXPECT_STREQ(a.Value(), L"hello");
  EXPECT_EQ(a.AttributeCount(), 2);
  EXPECT_STREQ(a.AttributeNameAt(1), L"y");
  EXPECT_STREQ(a.AttributeValueAt(1), L"two words");
  EXPECT_STREQ(a.AttributeValueAt(2), L"");
  EXPECT_STREQ(a.AttributeNameAt(-1), L"");
  EXPECT_EQ(Attr(a, L"X"), L"<none>");  // names are case-sensitive

  wchar_t buf[4];
  EXPECT_TRUE(a.CopyAttributeValue(L"y", buf, 4));
  EXPECT_STREQ(buf, L"two");  // the limit counts the terminator
  EXPECT_FALSE(a.CopyAttributeValue(L"z", buf, 4));

  CSkinMarkupNode empty;
  EXPECT_FALSE(empty.IsBound());
  EXPECT_FALSE(empty.HasAttributeList());
  EXPECT_EQ(empty.AttributeCount(), 0);
  EXPECT_STREQ(empty.ElementName(), L"");
  EXPECT_FALSE(empty.FirstChild().IsBound());
}

TEST(SkinMarkupStructure, UnclosedTopLevelElementKeepsItsNameAndText) {
  CSkinMarkup markup(L"<Window>text to the end");
  CSkinMarkupNode root = markup.RootNode();
  ASSERT_TRUE(root.IsBound()) << markup.GetLastErrorMessage();
  EXPECT_STREQ(root.ElementName(), L"Window");
  EXPECT_STREQ(root.Value(), L"text to the end");
}

TEST(SkinMarkupStructure, SeventyAttributesExposeOnlySixtyFour) {
  std::wstring text = L"<a";
  for (int i = 0; i < 70; ++i) text += L" k" + std::to_wstring(i) + L"=\"" + std::to_wstring(i) + L"\"";
  text += L"/>";
  CSkinMarkup markup(text.c_str());
  CSkinMarkupNode a = markup.RootNode();
  ASSERT_TRUE(a.IsBound()) << markup.GetLastErrorMessage();
  EXPECT_EQ(a.AttributeCount(), 64);
  EXPECT_STREQ(a.AttributeValueAt(63), L"63");
  EXPECT_EQ(a.AttributeValue(L"k64"), nullptr);
}

TEST(SkinMarkupStructure, ElementArrayGrowsByHalfPlusFiveHundred) {
  std::wstring text = L"<r>";
  for (int i = 0; i < 600; ++i) text += L"<c/>";
  text += L"</r>";
  CSkinMarkup markup(text.c_str());
  ASSERT_EQ(markup.ElementCount(), 602);
  EXPECT_EQ(markup.ElementCapacity(), 500u + 250u + 500u);
}

TEST(SkinMarkupText, EntitiesResolveOnlyTheFiveKnownOnes) {
  CSkinMarkup markup(L"<a v=\"fish&amp;chips\" w=\"&copy; x\" q=\"&lt;&gt;&quot;&apos;\">a&amp;b&AMP;</a>");
  CSkinMarkupNode a = markup.RootNode();
  ASSERT_TRUE(a.IsBound()) << markup.GetLastErrorMessage();
  EXPECT_EQ(Attr(a, L"v"), L"fish&chips");
  EXPECT_EQ(Attr(a, L"w"), L"&copy; x");
  EXPECT_EQ(Attr(a, L"q"), L"<>\"'");
  EXPECT_STREQ(a.Value(), L"a&b&AMP;");
}

TEST(SkinMarkupText, WhitespaceKeptByDefaultAndCollapsedOnRequest) {
  CSkinMarkup kept(L"<a>two   words</a>");
  EXPECT_STREQ(kept.RootNode().Value(), L"two   words");

  CSkinMarkup collapsed;
  collapsed.SetPreserveWhitespace(false);
  ASSERT_TRUE(collapsed.ParseText(L"<a v=\"x    y\">two   words</a>"));
  EXPECT_STREQ(collapsed.RootNode().Value(), L"two words");
  EXPECT_EQ(Attr(collapsed.RootNode(), L"v"), L"x y");
}

struct FailureCase {
  const wchar_t* text;
  const wchar_t* message;
};

TEST(SkinMarkupErrors, EachFaultNamesItsReason) {
  const FailureCase cases[] = {
      {L"<a v='1'/>", L"Expected attribute value"},
      {L"<a><b></a>", L"Unmatched closing tag"},
      {L"<a></b>", L"Unmatched closing tag"},
      {L"<a v=\"1/>", L"Error while parsing attribute string"},
      {L"<a v/>", L"Error while parsing attributes"},
      {L"<>", L"Error parsing element name"},
      {L"text", L"Expected start tag"},
      {L"<a x=\"1\" @>", L"Error while parsing attributes"},
      {L"<a/ >", L"Expected start-tag closing"},
      {L"<a><b><c>", L"Unexpected end of data"},
  };
  for (const FailureCase& c : cases) {
    CSkinMarkup markup;
    EXPECT_FALSE(markup.ParseText(c.text)) << c.text;
    EXPECT_STREQ(markup.GetLastErrorMessage(), c.message) << c.text;
    EXPECT_FALSE(markup.RootNode().IsBound());
  }
}

// A nameless attribute is dropped on its own: the ones after it stay.
TEST(SkinMarkupText, AnAttributeWithoutANameDoesNotHideTheOnesAfterIt) {
  CSkinMarkup markup(L"<a =\"1\" b=\"2\"><c x=\"&amp;\" =\"&lt;\" y=\"3\"/></a>");
  CSkinMarkupNode a = markup.RootNode();
  ASSERT_TRUE(a.IsBound()) << markup.GetLastErrorMessage();
  ASSERT_EQ(a.AttributeCount(), 1);
  EXPECT_EQ(Attr(a, L"b"), L"2");
  CSkinMarkupNode c = a.FirstChild();
  ASSERT_EQ(c.AttributeCount(), 2);
  EXPECT_EQ(Attr(c, L"x"), L"&");
  EXPECT_EQ(Attr(c, L"y"), L"3");
}

TEST(SkinMarkupErrors, LocationHoldsAtMostFortyNineCharacters) {
  std::wstring text = L"<a v='";
  text += std::wstring(100, L'x');
  text += L"'/>";
  CSkinMarkup markup;
  ASSERT_FALSE(markup.ParseText(text.c_str()));
  const std::wstring location = markup.GetLastErrorLocation();
  EXPECT_EQ(location.size(), 49u);
  EXPECT_EQ(location.substr(0, 3), L"'xx");
  EXPECT_EQ(markup.GetLastErrorLine(), 1);
  ASSERT_FALSE(markup.ParseText(L"<a>\n  <b v=\"&amp;\nx\"/>\n  <c w='1'/>\n</a>"));
  EXPECT_EQ(markup.GetLastErrorLine(), 4) << "the line of the fault, counted in the source";
}

TEST(SkinMarkupErrors, DeepNestingFailsInsteadOfExhaustingTheStack) {
  std::wstring text;
  for (int i = 0; i < 100000; ++i) text += L"<a>";
  CSkinMarkup markup;
  EXPECT_FALSE(markup.ParseText(text.c_str()));
  EXPECT_STREQ(markup.GetLastErrorMessage(), L"Elements nested too deeply");
}

TEST(SkinMarkupEncodings, Utf16WithEitherMarkAndWithout) {
  const std::u16string doc = u"<a v=\"\u5b8b\U0001F600\"/>";
  std::string le = "\xFF\xFE";
  std::string be = "\xFE\xFF";
  for (char16_t c : doc) {
    le.push_back(static_cast<char>(c & 0xFF));
    le.push_back(static_cast<char>(c >> 8));
    be.push_back(static_cast<char>(c >> 8));
    be.push_back(static_cast<char>(c & 0xFF));
  }
  for (const std::string& bytes : {le, be}) {
    CSkinMarkup markup;
    ASSERT_TRUE(markup.LoadFromBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                                     SkinEncoding::Utf16))
        << markup.GetLastErrorMessage();
    EXPECT_EQ(Attr(markup.RootNode(), L"v"), L"\u5b8b\U0001F600");
  }
  CSkinMarkup unmarked;
  const std::string noMark = le.substr(2);
  EXPECT_FALSE(unmarked.LoadFromBytes(reinterpret_cast<const unsigned char*>(noMark.data()), noMark.size(),
                                      SkinEncoding::Utf16));
}

class SkinMarkupFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/uikit-markup-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_dir = tmpl;
    ResourceStore::Reset();
    ResourceStore::SetResourcePath(std::wstring(m_dir.begin(), m_dir.end()));
  }
  void TearDown() override {
    for (const char* f : {"big.xml", "empty.xml", "ok.xml"}) std::remove((m_dir + "/" + f).c_str());
    rmdir(m_dir.c_str());
    ResourceStore::Reset();
  }
  void Write(const char* name, const std::string& bytes) {
    std::ofstream(m_dir + "/" + name, std::ios::binary) << bytes;
  }
  std::string m_dir;
};

TEST_F(SkinMarkupFiles, LoadFailuresAreReportedWithEmptyLocation) {
  Write("big.xml", "<a>" + std::string(5 * 1024 * 1024, ' ') + "</a>");
  Write("empty.xml", "");
  const struct {
    const wchar_t* name;
    const wchar_t* message;
  } cases[] = {{L"big.xml", L"File too large"},
               {L"empty.xml", L"File is empty"},
               {L"none.xml", L"Error opening file"}};
  for (const auto& c : cases) {
    CSkinMarkup markup;
    EXPECT_FALSE(markup.LoadSkinFile(c.name)) << c.name;
    EXPECT_STREQ(markup.GetLastErrorMessage(), c.message);
    EXPECT_STREQ(markup.GetLastErrorLocation(), L"");
  }
}

TEST_F(SkinMarkupFiles, FileBelowResourcePathLoads) {
  Write("ok.xml", "\xEF\xBB\xBF<Window caption=\"0,0,0,100\"/>");
  CSkinMarkup markup;
  ASSERT_TRUE(markup.LoadSkinFile(L"ok.xml")) << markup.GetLastErrorMessage();
  EXPECT_EQ(Attr(markup.RootNode(), L"caption"), L"0,0,0,100");
}

}  // namespace
}  // namespace SkinUI
