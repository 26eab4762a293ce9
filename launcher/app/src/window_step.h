#pragma once
// Everything between choosing the text language and releasing the launcher
// mutex: toolkit set-up, the launcher window and its message loop. Kept
// behind one function so the window can be dropped in without touching the
// start-up order around it.

enum class WindowRun {
  kNotCreated,  // the window object could not be made; nothing was shown
  kFinished,    // the window existed and its message loop has ended
};

WindowRun RunLauncherWindow();
