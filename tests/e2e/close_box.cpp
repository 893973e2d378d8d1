// zovex_close_box WINDOW: presses a window's close box the way a window manager does, by
// sending it WM_DELETE_WINDOW. The end-to-end tests run on a bare X server with no window
// manager, where nothing else would.
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(r);
    return a;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    char* end = nullptr;
    const unsigned long window = std::strtoul(argv[1], &end, 0);
    if (!end || *end != '\0' || window == 0)
        return 2;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return 1;
    }
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(window);
    event.type = atom(c, "WM_PROTOCOLS");
    event.data.data32[0] = atom(c, "WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    const xcb_void_cookie_t sent =
        xcb_send_event_checked(c, 0, event.window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    // Waits for the server's verdict: a request still unread when the connection closes may
    // never be carried out.
    xcb_generic_error_t* error = xcb_request_check(c, sent);
    const int rc = error ? 1 : 0;
    std::free(error);
    xcb_disconnect(c);
    return rc;
}
