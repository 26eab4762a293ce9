// The GTK 3 host's event loop. Tasks posted from other threads reach the
// GTK main loop through one idle source per batch.
#include <gtk/gtk.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "gtk_host_window.h"
#include "skinui/host.h"
#include "skinui/text_convert.h"

namespace SkinUI {
namespace {

// Posted tasks wait here until the idle source drains them. The idle
// source holds its own reference, so a loop replaced while a wake-up is
// pending leaves the source a dead queue to skip rather than freed memory.
struct PostedTasks {
  std::mutex mutex;
  std::deque<std::function<void()>> queue;
  bool scheduled = false;
  bool dead = false;
};

class GtkEventLoop : public IEventLoop {
 public:
  GtkEventLoop() : m_posted(std::make_shared<PostedTasks>()) {}
  ~GtkEventLoop() override {
    // Tasks of a replaced loop are dropped, as the headless loop drops its
    // queue: they may refer to this loop.
    std::lock_guard<std::mutex> lock(m_posted->mutex);
    m_posted->dead = true;
    m_posted->queue.clear();
  }
  GtkEventLoop(const GtkEventLoop&) = delete;
  GtkEventLoop& operator=(const GtkEventLoop&) = delete;

  std::unique_ptr<IHostWindow> CreateHostWindow(IHostWindowSink* sink,
                                                const HostWindowParams& params) override {
    return CreateGtkHostWindow(sink, params);
  }

  void Post(std::function<void()> task) override {
    bool schedule = false;
    {
      std::lock_guard<std::mutex> lock(m_posted->mutex);
      m_posted->queue.push_back(std::move(task));
      schedule = !m_posted->scheduled;
      m_posted->scheduled = true;
    }
    // g_idle_add is safe from any thread; it wakes the main context.
    if (schedule)
      g_idle_add_full(G_PRIORITY_DEFAULT, drain, new std::shared_ptr<PostedTasks>(m_posted), releaseTasks);
  }

  int Run() override {
    if (!m_quitPending) gtk_main();
    m_quitPending = false;
    return m_quitCode;
  }

  void Quit(int code) override {
    m_quitCode = code;
    if (gtk_main_level() > 0) {
      gtk_main_quit();
    } else {
      m_quitPending = true;
    }
  }

  bool LayeredWindowsSupported() const override {
    return gdk_screen_get_rgba_visual(gdk_screen_get_default()) != nullptr;
  }
  bool IsCompositionEnabled() const override { return gdk_screen_is_composited(gdk_screen_get_default()); }

  int ShowMessageBox(HWND, const std::wstring& text, const std::wstring& caption,
                     MessageBoxIcon icon) override {
    GtkWidget* dialog = gtk_message_dialog_new(
        nullptr, GTK_DIALOG_MODAL, icon == MessageBoxIcon::Error ? GTK_MESSAGE_ERROR : GTK_MESSAGE_INFO,
        GTK_BUTTONS_OK, "%s", WideToUtf8(text).c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), WideToUtf8(caption).c_str());
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    return 1;
  }

  std::optional<std::string> ChooseFile(const FileChooserParams& params) override {
    const GtkFileChooserAction action = params.action == FileChooserAction::SelectFolder
                                            ? GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER
                                            : GTK_FILE_CHOOSER_ACTION_OPEN;
    GtkWidget* dialog =
        gtk_file_chooser_dialog_new(WideToUtf8(params.title).c_str(), nullptr, action, "_Cancel",
                                    GTK_RESPONSE_CANCEL, "_Open", GTK_RESPONSE_ACCEPT, nullptr);
    if (!params.filterName.empty()) {
      GtkFileFilter* all = gtk_file_filter_new();
      gtk_file_filter_set_name(all, WideToUtf8(params.filterName).c_str());
      gtk_file_filter_add_pattern(all, "*");
      gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(dialog), all);
    }
    std::optional<std::string> chosen;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
      if (gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog))) {
        chosen = name;
        g_free(name);
      }
    }
    gtk_widget_destroy(dialog);
    return chosen;
  }

 private:
  static gboolean drain(gpointer p) {
    PostedTasks& posted = **static_cast<std::shared_ptr<PostedTasks>*>(p);
    std::deque<std::function<void()>> batch;
    {
      std::lock_guard<std::mutex> lock(posted.mutex);
      if (posted.dead) return G_SOURCE_REMOVE;
      batch.swap(posted.queue);
      posted.scheduled = false;
    }
    for (auto& task : batch) task();
    return G_SOURCE_REMOVE;
  }
  static void releaseTasks(gpointer p) { delete static_cast<std::shared_ptr<PostedTasks>*>(p); }

  std::shared_ptr<PostedTasks> m_posted;
  bool m_quitPending = false;
  int m_quitCode = 0;
};

}  // namespace

bool UseGtkHost() {
  static bool initialised = false;
  if (!initialised) {
    // Every frame is painted with cairo into memory, so GDK's GL support is
    // never used; left on, it loads the GL driver stack at start-up, which
    // was half of the time to the first frame. A GDK_GL set by the user wins.
    g_setenv("GDK_GL", "disable", FALSE);
    if (!gtk_init_check(nullptr, nullptr)) return false;
    initialised = true;
  }
  SetEventLoop(std::make_unique<GtkEventLoop>());
  return true;
}

}  // namespace SkinUI
