// Where skins come from: folders, linked XML, linked and on-disk archives,
// and what happens when none of them has the skin.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "skinui/embedded_resource.h"
#include "skinui/host_headless.h"
#include "skinui/skin_markup.h"
#include "skinui/skin_resources.h"
#include "skinui/text_convert.h"
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

// The box shows one fixed text; the log says why, with the reader's own
// message and where in the skin it stopped.
TEST_F(SkinSource, MissingOrBrokenSkinShowsTheFailureBoxLogsWhyAndMakesNoWindow) {
  const std::string folder = ::testing::TempDir() + "skin_source_broken/";
  std::filesystem::create_directories(folder);
  std::ofstream(folder + "broken.xml") << "<Window size=\"10,10\">\n  <Text name='x'/>\n</Window>\n";
  const std::pair<const wchar_t*, const char*> cases[] = {
      {L"no_such.xml", "skin \"no_such.xml\" not loaded: Error opening file\n"},
      {L"broken.xml", "skin \"broken.xml\" not loaded: Expected attribute value at line 2 near \"'x'/>"},
  };
  for (const auto& [file, logged] : cases) {
    test::RecordingWindow wnd;
    wnd.m_folder = Utf8ToWide(folder);
    wnd.m_file = file;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(wnd.Create(0, L"broken", WS_POPUP, 0), 0u);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find(logged), std::string::npos) << logged;
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

std::uint32_t PixelAt(cairo_surface_t* s, int x, int y) {
  auto* data = cairo_image_surface_get_data(s);
  return reinterpret_cast<const std::uint32_t*>(data + y * cairo_image_surface_get_stride(s))[x];
}

TEST_F(SkinSource, LinkedArchiveBuildsAndPaintsLikeTheFolder) {
  test::RecordingWindow wnd(UILIB_ZIPRESOURCE);
  ASSERT_NE(wnd.Create(0, L"zipres", WS_POPUP, 0), 0u);
  EXPECT_TRUE(ResourceStore::IsResourceZipMemBuffer());
  EXPECT_EQ(ResourceStore::GetResourceZipName(), L"membuffer");
  ASSERT_NE(wnd.FindControl(L"output_line"), nullptr);
  CairoSurfacePtr frame = RenderWindow(wnd);
  ASSERT_TRUE(frame);
  // The background entry is stored as "BG_Luanch.png": found ignoring case.
  EXPECT_EQ(PixelAt(frame.get(), 300, 150), 0xFF2850A0u);
  EXPECT_EQ(PixelAt(frame.get(), 560, 10), 0xFFFFFFFFu);  // close_normal.png
}

TEST_F(SkinSource, ZipFileBelowTheSkinFolderBuilds) {
  test::RecordingWindow wnd(UILIB_ZIP);
  wnd.m_folder = Utf8ToWide(std::string(UIKIT_TEST_SKIN_DIR));
  ASSERT_NE(wnd.Create(0, L"zipfile", WS_POPUP, 0), 0u);
  EXPECT_FALSE(ResourceStore::IsResourceZipMemBuffer());
  EXPECT_NE(wnd.FindControl(L"prog_stat"), nullptr);
}

TEST_F(SkinSource, ZipFileThatIsNotThereFailsTheWindow) {
  test::RecordingWindow wnd(UILIB_ZIP);
  wnd.m_folder = L"/nonexistent-uikit-folder";
  EXPECT_EQ(wnd.Create(0, L"nozip", WS_POPUP, 0), 0u);
  EXPECT_EQ(m_loop->MessageBoxCount(), 1);
}

TEST_F(SkinSource, ArchiveEntryLimitsAndErrors) {
  const EmbeddedResource* zip = FindEmbeddedResource("ZIPRES", 102);
  ASSERT_NE(zip, nullptr);
  auto archive = OpenSkinArchiveFromMemory(zip->data, zip->size);
  ASSERT_TRUE(archive);
  std::vector<unsigned char> out;
  EXPECT_EQ(archive->ReadEntry("LAUNCHER.XML", 4194304, &out), ISkinArchive::ReadStatus::Ok);
  EXPECT_GT(out.size(), 100u);
  EXPECT_EQ(archive->ReadEntry("launcher.xml", 10, &out), ISkinArchive::ReadStatus::TooLarge);
  EXPECT_EQ(archive->ReadEntry("nothing.png", 4194304, &out), ISkinArchive::ReadStatus::NotFound);
  const unsigned char junk[] = "not a zip archive";
  EXPECT_FALSE(OpenSkinArchiveFromMemory(junk, sizeof junk));
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
