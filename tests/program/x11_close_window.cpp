// Asks an X11 window to close, the way a window manager does for its close button or Alt+F4: a
// WM_PROTOCOLS client message carrying WM_DELETE_WINDOW. Usage: x11_close_window WINDOW-ID
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

struct TConnectionCloser {
    void operator()(xcb_connection_t* Connection) const { xcb_disconnect(Connection); }
};

xcb_atom_t Atom(xcb_connection_t* Connection, const char* Name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(Connection, 0, static_cast<std::uint16_t>(std::strlen(Name)), Name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(Connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s WINDOW-ID\n", argv[0]);
        return 2;
    }
    const xcb_window_t window = static_cast<xcb_window_t>(std::stoul(argv[1], nullptr, 0));
    std::unique_ptr<xcb_connection_t, TConnectionCloser> connection(xcb_connect(nullptr, nullptr));
    if (xcb_connection_has_error(connection.get()) != 0) {
        std::fprintf(stderr, "cannot open the display\n");
        return 1;
    }
    xcb_client_message_event_t message;
    std::memset(&message, 0, sizeof message);
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = Atom(connection.get(), "WM_PROTOCOLS");
    message.data.data32[0] = Atom(connection.get(), "WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection.get(), 0, window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection.get());
    return 0;
}
