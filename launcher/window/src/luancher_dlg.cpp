#include "launcher/window/luancher_dlg.h"

#include "launcher/data_folder.h"
#include "launcher/debug_log.h"
#include "launcher/file_util.h"
#include "launcher/text_table.h"
#include "launcher/window/tool_dialogs.h"
#include "skinui/progress.h"
#include "zip/zip_reader.h"

using namespace SkinUI;

namespace {
// Scratch paths of the developers' unzip check, relative to the working
// folder.
constexpr wchar_t kScratchZip[] = L"skin.zip";
constexpr wchar_t kScratchFolder[] = L"skin2";
}  // namespace

LuancherDlg::LuancherDlg() {
  // The moment the first frame is on screen, for start-up timing.
  AddNotifyEntry(L"windowinit", L"", [](TNotifyUI&) { DebugLog("window painted"); });
}

LuancherDlg::~LuancherDlg() = default;

LRESULT LuancherDlg::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  // A double click on the caption band must never maximise the splash.
  if (uMsg == WM_NCLBUTTONDBLCLK) return 0;
  if (uMsg == WM_NCCREATE) windowMade_ = true;
  return WindowImplBase::OnMessage(uMsg, wParam, lParam);
}

void LuancherDlg::AfterDestroy(HWND) {
  PostQuitMessage(0);
  delete this;
}

void LuancherDlg::OnSkinReady() {
  shadow_.SetSize(4);
  shadow_.SetPosition(0, 2);
  shadow_.SetSharpness(8);
  shadow_.SetDarkness(100);
  shadow_.AttachShadow(this);

  outputLine_ = FindControl(L"output_line");
  progress_ = FindControl(L"prog_stat");
  auto* bar =
      progress_ != nullptr ? static_cast<CProgressUI*>(progress_->GetInterface(L"Progress")) : nullptr;
  controls_.Bind(outputLine_, bar);
  if (CControlUI* title = FindControl(L"title")) title->SetText(LoadText(kTextTitle));
  if (CControlUI* fix = FindControl(L"fix_app")) fix->SetText(LoadText(kTextClearCache));

  controller_ = std::make_unique<UpdateController>(controls_, std::make_shared<WindowMessageSink>(GetHWND()),
                                                   shellName_, runMode_);
  StartUpdateWorker();
}

void LuancherDlg::StartUpdateWorker() {
  if (controller_) controller_->StartUpdateWorker();
}

void LuancherDlg::OnNotify(TNotifyUI& msg) {
  const std::wstring name = msg.pSender != nullptr ? msg.pSender->GetName() : std::wstring();
  if (name == L"md5") {
    if (std::optional<std::wstring> digest = ::ShowFileMd5()) controls_.SetStatusText(*digest);
  } else if (name == L"unzip") {
    DeleteDirectoryTree(kScratchFolder);
    UnzipToFolder(kScratchZip, kScratchFolder);
  } else if (name == L"gen_md5") {
    ::GenerateManifest();
  } else if (name == L"fix_app") {
    FixDirApp(shellName_);
  } else if (name == L"prog_stat") {
    if (!WorkerRunning()) StartUpdateWorker();
  }
  WindowImplBase::OnNotify(msg);
}

LRESULT LuancherDlg::OnWmLButtonUp(UINT, WPARAM, LPARAM lParam, bool& bHandled) {
  // Only the release point counts: a press elsewhere that ends on the bar
  // is a retry too.
  if (progress_ != nullptr && !WorkerRunning() &&
      progress_->GetPos().Contains({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}))
    StartUpdateWorker();
  bHandled = false;
  return 0;
}

LRESULT LuancherDlg::OnAppMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
  if (controller_) {
    if (uMsg == WM_LAUNCHER_FAILED) {
      controller_->ShowFailure(static_cast<int>(wParam), static_cast<int>(lParam));
    } else if (uMsg == WM_LAUNCHER_PROGRESS) {
      controller_->ShowProgress(static_cast<int>(wParam));
    } else if (uMsg == WM_LAUNCHER_LAUNCHED) {
      if (GetHWND() != 0) Close(0);
    }
  }
  bHandled = false;
  return 0;
}
