#include "launcher/window/luancher_dlg.h"

#include "launcher/data_folder.h"
#include "launcher/debug_log.h"
#include "launcher/text_table.h"
#include "launcher/window/tool_dialogs.h"
#include "zip/zip_reader.h"
#include "launcher/file_util.h"
#include "skinui/progress.h"

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
  if (uMsg == WM_NCCREATE) m_windowMade = true;
  return WindowImplBase::OnMessage(uMsg, wParam, lParam);
}

void LuancherDlg::AfterDestroy(HWND) {
  PostQuitMessage(0);
  delete this;
}

void LuancherDlg::OnSkinReady() {
  m_shadow.SetSize(4);
  m_shadow.SetPosition(0, 2);
  m_shadow.SetSharpness(8);
  m_shadow.SetDarkness(100);
  m_shadow.AttachShadow(this);

  m_outputLine = FindControl(L"output_line");
  m_progress = FindControl(L"prog_stat");
  auto* bar = m_progress != nullptr ? static_cast<CProgressUI*>(m_progress->GetInterface(L"Progress")) : nullptr;
  m_controls.Bind(m_outputLine, bar);
  if (CControlUI* title = FindControl(L"title")) title->SetText(LoadText(kTextTitle));
  if (CControlUI* fix = FindControl(L"fix_app")) fix->SetText(LoadText(kTextClearCache));

  m_controller = std::make_unique<UpdateController>(m_controls, std::make_shared<WindowMessageSink>(GetHWND()),
                                                    m_shellName, m_runMode);
  StartUpdateWorker();
}

void LuancherDlg::StartUpdateWorker() {
  if (m_controller) m_controller->StartUpdateWorker();
}

void LuancherDlg::OnNotify(TNotifyUI& msg) {
  const std::wstring name = msg.pSender != nullptr ? msg.pSender->GetName() : std::wstring();
  if (name == L"md5") {
    if (std::optional<std::wstring> digest = ::ShowFileMd5()) m_controls.SetStatusText(*digest);
  } else if (name == L"unzip") {
    DeleteDirectoryTree(kScratchFolder);
    UnzipToFolder(kScratchZip, kScratchFolder);
  } else if (name == L"gen_md5") {
    ::GenerateManifest();
  } else if (name == L"fix_app") {
    FixDirApp(m_shellName);
  } else if (name == L"prog_stat") {
    if (!WorkerRunning()) StartUpdateWorker();
  }
  WindowImplBase::OnNotify(msg);
}

LRESULT LuancherDlg::OnWmLButtonUp(UINT, WPARAM, LPARAM lParam, bool& bHandled) {
  // Only the release point counts: a press elsewhere that ends on the bar
  // is a retry too.
  if (m_progress != nullptr && !WorkerRunning() && m_progress->GetPos().Contains({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}))
    StartUpdateWorker();
  bHandled = false;
  return 0;
}

LRESULT LuancherDlg::OnAppMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
  if (m_controller) {
    if (uMsg == WM_LAUNCHER_FAILED) {
      m_controller->ShowFailure(static_cast<int>(wParam), static_cast<int>(lParam));
    } else if (uMsg == WM_LAUNCHER_PROGRESS) {
      m_controller->ShowProgress(static_cast<int>(wParam));
    } else if (uMsg == WM_LAUNCHER_LAUNCHED) {
      if (GetHWND() != 0) Close(0);
    }
  }
  bHandled = false;
  return 0;
}
