#include "WindowManager.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>
#include <cstring>

namespace {

// The window that `window`'s _NET_SUPPORTING_WM_CHECK names, or 0.
xcb_window_t CheckWindow(xcb_connection_t* connection, xcb_atom_t check, xcb_window_t window) {
  const xcb_get_property_cookie_t cookie =
      xcb_get_property(connection, 0, window, check, XCB_ATOM_WINDOW, 0, 1);
  xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr);
  xcb_window_t named = 0;
  if (reply && reply->type == XCB_ATOM_WINDOW && reply->format == 32 &&
      xcb_get_property_value_length(reply) == 4)
    std::memcpy(&named, xcb_get_property_value(reply), 4);
  std::free(reply);
  return named;
}

bool X11WindowManagerRuns(xcb_connection_t* connection) {
  static constexpr char name[] = "_NET_SUPPORTING_WM_CHECK";
  const xcb_intern_atom_cookie_t cookie =
      xcb_intern_atom(connection, 1, sizeof name - 1, name);
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
  const xcb_atom_t check = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  if (check == XCB_ATOM_NONE) return false;
  for (xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection)); it.rem;
       xcb_screen_next(&it)) {
    // A window manager that has gone leaves the root's property behind; its
    // check window, if it still exists, names itself only while it runs.
    const xcb_window_t named = CheckWindow(connection, check, it.data->root);
    if (named != 0 && CheckWindow(connection, check, named) == named) return true;
  }
  return false;
}

}  // namespace

bool WindowManagerRuns() {
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("xcb")) {
    // The offscreen platform answers to the X11 interface too, without a
    // connection; hence the platform's name first.
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    return connection != nullptr && X11WindowManagerRuns(connection);
  }
  return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}
