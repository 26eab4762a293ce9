// Where skins come from: folders, linked XML, linked and on-disk archives,
// and what happens when none of them has the skin.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "skinui/embedded_resource.h"
#include "skinui/host_headless.h"
#include "skinui/skin_markup.h"
#include "skinui/skin_resources.h"
#include "test_skin.h"

namespace SkinUI {
namespace {

class SkinSource : public ::testing::Test {
 protected:
  void SetUp() override {
    m_loop = &UseHeadlessHost();
    ResourceStore::Reset();
  }
  void TearDown() override { ResourceStore::Reset(); }
  HeadlessEventLoop* m_loop = nullptr;
};

TEST_F(SkinSource, LinkedResourcesAreFoundByTypeAndId) {
  const EmbeddedResource* zip = FindEmbeddedResource("ZIPRES", 102);
  ASSERT_NE(zip, nullptr);
  std::ifstream file(test::TestSkinZipPath(), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_EQ(zip->size, bytes.size());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(zip->data), zip->size), bytes);
  EXPECT_EQ(FindEmbeddedResource("ZIPRES", 103), nullptr);
  EXPECT_EQ(FindEmbeddedResource("zipres", 102), nullptr);
}

TEST_F(SkinSource, LinkedXmlBuildsTheWindow) {
  test::RecordingWindow wnd(UILIB_RESOURCE);
  wnd.m_file = L"7";
  ASSERT_NE(wnd.Create(0, L"xml", WS_POPUP, 0), 0u);
  EXPECT_NE(wnd.FindControl(L"prog_stat"), nullptr);
}

TEST_F(SkinSource, MissingOrBrokenSkinShowsTheFailureBoxAndNoWindow) {
  for (const wchar_t* file : {L"no_such.xml", L"grid.png"}) {
    test::RecordingWindow wnd;
    wnd.m_file = file;
    EXPECT_EQ(wnd.Create(0, L"broken", WS_POPUP, 0), 0u);
    EXPECT_EQ(wnd.GetHWND(), 0u);
    EXPECT_EQ(wnd.skinReady, 0);
  }
  EXPECT_EQ(m_loop->MessageBoxCount(), 2);
  EXPECT_EQ(m_loop->LastMessageBoxText(), L"加载资源文件失败");
  EXPECT_EQ(m_loop->LastMessageBoxCaption(), L"SkinUI");
}

TEST_F(SkinSource, MissingZipResourceLeavesAnEmptyWindowWithoutMessage) {
  test::RecordingWindow wnd(UILIB_ZIPRESOURCE);
  wnd.m_resourceId = L"999";
  ASSERT_NE(wnd.Create(0, L"empty", WS_POPUP, 0), 0u);
  EXPECT_EQ(wnd.GetPaintManager().GetRoot(), nullptr);
  EXPECT_EQ(wnd.skinReady, 0);
  EXPECT_EQ(m_loop->MessageBoxCount(), 0);
}

TEST_F(SkinSource, TypedImageComesFromALinkedResource) {
  test::RecordingWindow wnd;
  ASSERT_NE(wnd.Create(0, L"typed", WS_POPUP, 0), 0u);
  const TImageInfo* img = wnd.GetPaintManager().GetImageEx(L"31", L"PNG", kNoMask);
  ASSERT_NE(img, nullptr);
  EXPECT_EQ(img->width, 10);
  EXPECT_EQ(wnd.GetPaintManager().GetImageEx(L"32", L"PNG", kNoMask), nullptr);
}

class FakeArchive : public ISkinArchive {
 public:
  explicit FakeArchive(int tag) : tag(tag) {}
  ReadStatus ReadEntry(const std::string&, std::size_t, std::vector<unsigned char>*) override {
    return ReadStatus::NotFound;
  }
  int tag;
};

TEST_F(SkinSource, SecondMemoryArchiveRegistrationKeepsTheFirst) {
  ResourceStore::SetResourceZipArchive(std::make_unique<FakeArchive>(1), true);
  ISkinArchive* first = ResourceStore::GetResourceZip();
  const unsigned char other[] = "PK\x05\x06";
  EXPECT_TRUE(ResourceStore::SetResourceZipMemory(other, sizeof other));
  EXPECT_EQ(ResourceStore::GetResourceZip(), first);
  EXPECT_EQ(ResourceStore::GetResourceZipName(), L"membuffer");
}

TEST_F(SkinSource, ArchiveWithoutTheSkinReportsTheZipErrors) {
  ResourceStore::SetResourceZipArchive(std::make_unique<FakeArchive>(1), true);
  CSkinMarkup markup;
  EXPECT_FALSE(markup.LoadSkinFile(L"launcher.xml"));
  EXPECT_STREQ(markup.GetLastErrorMessage(), L"Could not find ziped file");
}

}  // namespace
}  // namespace SkinUI
