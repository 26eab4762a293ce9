#pragma once
// The host: what turns a real (or simulated) window system into the
// toolkit's messages. The event loop sits behind IEventLoop with a GTK
// implementation for real windows and a headless one for tests and PNG
// rendering; the window classes never see which one runs.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "skinui/win_types.h"

namespace SkinUI {

enum class CursorKind;

// Receives a host window's events as messages; implemented by CWindowWnd.
class IHostWindowSink {
 public:
  virtual ~IHostWindowSink() = default;
  virtual LRESULT HostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) = 0;
  virtual DWORD HostClassStyle() const = 0;
};

struct HostWindowParams {
  std::wstring title;
  // The window class the toolkit window registers; window managers, docks
  // and screenshot tools match windows by it.
  std::wstring className;
  DWORD style = 0;
  DWORD exStyle = 0;
  int x = CW_USEDEFAULT;
  int y = CW_USEDEFAULT;
  int cx = CW_USEDEFAULT;
  int cy = CW_USEDEFAULT;
  HWND owner = 0;
  // The owner's native object, when it has one. Owned windows belong to it
  // (no taskbar entry of their own); an owned layered mouse-transparent
  // window is decoration of its owner and stays directly below it.
  void* ownerNative = nullptr;
};

class IHostWindow {
 public:
  virtual ~IHostWindow() = default;
  virtual void Show(bool show, bool activate) = 0;
  virtual bool IsVisible() const = 0;
  virtual void Move(int x, int y) = 0;
  virtual void Resize(int cx, int cy) = 0;
  // Screen rectangle of the window; there is no frame, so it is also the
  // client area's.
  virtual RECT GetWindowRect() const = 0;
  virtual RECT GetWorkArea() const = 0;
  virtual void Invalidate(const RECT& rc) = 0;
  virtual void SetCursor(CursorKind kind) = 0;
  virtual void SetCapture(bool capture) = 0;
  virtual void BeginMoveDrag(POINT screen) = 0;
  virtual void BeginResizeDrag(int hitTest, POINT screen) = 0;
  virtual void Minimize() = 0;
  virtual void Maximize() = 0;
  virtual void Restore() = 0;
  virtual bool IsMaximized() const = 0;
  virtual bool IsMinimized() const = 0;
  virtual void SetTitle(const std::wstring& title) = 0;
  virtual void SetMinMaxSize(SIZE min, SIZE max) = 0;
  // A rounded window shape; (0, 0) removes it.
  virtual void SetRoundCorner(int cx, int cy) = 0;
  virtual void Focus() = 0;
  // The window system's object (a GtkWidget* for the GTK host), or null.
  virtual void* NativeHandle() const = 0;
  // Destroys the native window; the sink gets WM_DESTROY and WM_NCDESTROY
  // before this returns.
  virtual void Destroy() = 0;
};

enum class MessageBoxIcon { Error, Information };

enum class FileChooserAction { OpenFile, SelectFolder };

struct FileChooserParams {
  FileChooserAction action = FileChooserAction::OpenFile;
  std::wstring title;
  // Name of a filter that shows every file; none when empty.
  std::wstring filterName;
};

class IEventLoop {
 public:
  virtual ~IEventLoop() = default;
  virtual std::unique_ptr<IHostWindow> CreateHostWindow(IHostWindowSink* sink,
                                                        const HostWindowParams& params) = 0;
  // Thread-safe: asks the loop to run `task` on its thread soon.
  virtual void Post(std::function<void()> task) = 0;
  // Runs until Quit; returns the quit code.
  virtual int Run() = 0;
  virtual void Quit(int code) = 0;
  virtual int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption,
                             MessageBoxIcon icon) = 0;
  // Runs a modal chooser; the chosen path (UTF-8), or nothing when the user
  // cancels or no chooser can be shown.
  virtual std::optional<std::string> ChooseFile(const FileChooserParams& params) = 0;
  // Whether windows with per-pixel alpha (WS_EX_LAYERED) can be made at all.
  virtual bool LayeredWindowsSupported() const = 0;
  // Whether such alpha shows on screen now: only while a compositing
  // manager runs. Every window hears of a change as WM_DWMCOMPOSITIONCHANGED.
  virtual bool IsCompositionEnabled() const = 0;
};

// The process's loop. Without one installed, the headless loop is used.
IEventLoop& GetEventLoop();
void SetEventLoop(std::unique_ptr<IEventLoop> loop);

// Installs the GTK host when a display can be opened; false otherwise (the
// headless loop stays).
bool UseGtkHost();

int SkinMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, MessageBoxIcon icon);

// Posts WM_QUIT: the message loop ends with `code` once it reaches it.
void PostQuitMessage(int code);

}  // namespace SkinUI
