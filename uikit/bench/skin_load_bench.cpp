// Time to first frame of a launcher-sized skin: register the linked archive,
// parse the skin, build the controls, decode the images and paint the
// first frame, headless. The same work from the skin folder runs alongside
// as the baseline, so the ratio shows what the archive costs.
//
// usage: uikit_skin_bench [--prewarm] [iterations]   (default 50)
//   --prewarm  start the font system in the background first and give it
//              30 ms, as the launcher's start-up checks would
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "skinui/font.h"
#include "skinui/host_headless.h"
#include "skinui/skin_resources.h"
#include "skinui/text_convert.h"
#include "skinui/window_impl_base.h"

namespace {

using Clock = std::chrono::steady_clock;

class BenchWindow : public SkinUI::WindowImplBase {
 public:
  explicit BenchWindow(SkinUI::UILIB_RESOURCETYPE source) : m_source(source) {}
  const wchar_t* WindowClassName() const override { return L"uikit_bench"; }
  std::wstring SkinFolder() override {
    return SkinUI::Utf8ToWide(std::string(UIKIT_BENCH_SKIN_DIR) + "/skin");
  }
  std::wstring SkinFile() override { return L"launcher.xml"; }
  SkinUI::UILIB_RESOURCETYPE SkinSource() override { return m_source; }
  std::wstring SkinResourceId() override { return L"102"; }

 private:
  SkinUI::UILIB_RESOURCETYPE m_source;
};

double g_lastBuildMs = 0;

// One cold start of the window: nothing cached from an earlier round.
double firstFrameMs(SkinUI::UILIB_RESOURCETYPE source, SkinUI::HeadlessEventLoop& loop) {
  SkinUI::ResourceStore::Reset();
  const auto start = Clock::now();
  BenchWindow wnd(source);
  if (wnd.Create(0, L"bench", SkinUI::WS_POPUP, 0) == 0) {
    std::fprintf(stderr, "uikit_skin_bench: the skin did not build\n");
    std::exit(1);
  }
  g_lastBuildMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  SkinUI::CairoSurfacePtr frame = SkinUI::RenderWindow(wnd);
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  if (!frame) {
    std::fprintf(stderr, "uikit_skin_bench: nothing was painted\n");
    std::exit(1);
  }
  wnd.DestroyWindow();
  loop.RunPending();
  return ms;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int arg = 1;
  bool prewarm = false;
  if (argc > arg && (std::strcmp(argv[arg], "--help") == 0 || std::strcmp(argv[arg], "-h") == 0)) {
    std::printf("usage: uikit_skin_bench [--prewarm] [iterations]\n");
    return 0;
  }
  if (argc > arg && std::strcmp(argv[arg], "--prewarm") == 0) {
    prewarm = true;
    ++arg;
  }
  const int iterations = argc > arg ? std::atoi(argv[arg]) : 50;
  if (iterations <= 0) {
    std::fprintf(stderr, "uikit_skin_bench: iterations must be a positive number\n");
    return 2;
  }
  SkinUI::HeadlessEventLoop& loop = SkinUI::UseHeadlessHost();
  if (prewarm) {
    SkinUI::PrewarmFonts();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  // The very first frame of the process also pays for fontconfig's start.
  const double coldProcess = firstFrameMs(SkinUI::UILIB_ZIPRESOURCE, loop);
  const double coldBuild = g_lastBuildMs;
  std::vector<double> zip;
  std::vector<double> folder;
  for (int i = 0; i < iterations; ++i) {
    zip.push_back(firstFrameMs(SkinUI::UILIB_ZIPRESOURCE, loop));
    folder.push_back(firstFrameMs(SkinUI::UILIB_FILE, loop));
  }
  const double mz = median(zip);
  const double mf = median(folder);
  std::printf("%s", prewarm ? "[fonts prewarmed] " : "");
  std::printf("first window of the process (linked archive): %.2f ms (build %.2f ms, first paint %.2f ms)\n",
              coldProcess, coldBuild, coldProcess - coldBuild);
  std::printf("linked archive, median of %d: %.2f ms (min %.2f)\n", iterations, mz,
              *std::min_element(zip.begin(), zip.end()));
  std::printf("skin folder,    median of %d: %.2f ms (min %.2f)\n", iterations, mf,
              *std::min_element(folder.begin(), folder.end()));
  std::printf("archive / folder: %.2f (medians), %.2f (minimums)\n", mz / mf,
              *std::min_element(zip.begin(), zip.end()) / *std::min_element(folder.begin(), folder.end()));
  return 0;
}
