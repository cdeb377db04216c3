// Whether a window manager looks after the program's windows. Without one
// (a bare X server, Qt's offscreen platform) nobody acts on a request to
// maximise, so the window has to size itself.
#pragma once

// True on X11 when the root window names a live window-manager check window
// (_NET_SUPPORTING_WM_CHECK, which every EWMH window manager sets); false on
// X11 without it and on Qt's offscreen and minimal platforms; true on any
// other platform, whose compositor always manages windows. Needs a
// QGuiApplication.
bool WindowManagerRuns();
