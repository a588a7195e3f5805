#include "platform/linux/X11Foreground.h"

#include <cstdlib>
#include <xcb/res.h>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

namespace kelvane::linux_port {

struct X11Foreground::Connection {
    xcb_connection_t* connection = nullptr;
    xcb_ewmh_connection_t ewmh{};
    bool ewmhReady = false;
    int screen = 0;
    bool haveXRes = false;

    ~Connection() {
        if (ewmhReady)
            xcb_ewmh_connection_wipe(&ewmh);
        if (connection != nullptr)
            xcb_disconnect(connection);
    }
};

X11Foreground::X11Foreground() = default;
X11Foreground::~X11Foreground() = default;

void X11Foreground::Disconnect() { x_.reset(); }

bool X11Foreground::Connect() {
    if (x_ && xcb_connection_has_error(x_->connection) == 0)
        return true;
    Disconnect();
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0')
        return false;
    x_ = std::make_unique<Connection>();
    x_->connection = xcb_connect(nullptr, &x_->screen);
    if (xcb_connection_has_error(x_->connection) != 0) {
        Disconnect();
        return false;
    }
    xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(x_->connection, &x_->ewmh);
    if (cookies == nullptr || xcb_ewmh_init_atoms_replies(&x_->ewmh, cookies, nullptr) == 0) {
        Disconnect();
        return false;
    }
    x_->ewmhReady = true;
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(x_->connection, &xcb_res_id);
    if (ext != nullptr && ext->present != 0) {
        xcb_res_query_version_reply_t* version = xcb_res_query_version_reply(
            x_->connection, xcb_res_query_version(x_->connection, 1, 2), nullptr);
        // Client IDs (and so client PIDs) need version 1.2.
        x_->haveXRes = version != nullptr && (version->server_major > 1 ||
                                              (version->server_major == 1 && version->server_minor >= 2));
        std::free(version);
    }
    return true;
}

pid_t X11Foreground::ClientPidOfWindow(unsigned window) {
    if (!x_->haveXRes)
        return 0;
    // Only the kind of ID asked for comes back: the PID of the client that created the window.
    xcb_res_client_id_spec_t wanted{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    xcb_res_query_client_ids_reply_t* reply = xcb_res_query_client_ids_reply(
        x_->connection, xcb_res_query_client_ids(x_->connection, 1, &wanted), nullptr);
    if (reply == nullptr)
        return 0;
    pid_t pid = 0;
    for (xcb_res_client_id_value_iterator_t it = xcb_res_query_client_ids_ids_iterator(reply); it.rem > 0;
         xcb_res_client_id_value_next(&it)) {
        if (xcb_res_client_id_value_value_length(it.data) >= 1) {
            pid = static_cast<pid_t>(*xcb_res_client_id_value_value(it.data));
            break;
        }
    }
    std::free(reply);
    return pid;
}

pid_t X11Foreground::WmPidOfWindow(unsigned window) {
    uint32_t pid = 0;
    if (xcb_ewmh_get_wm_pid_reply(&x_->ewmh, xcb_ewmh_get_wm_pid(&x_->ewmh, window), &pid, nullptr) == 0)
        return 0;
    return static_cast<pid_t>(pid);
}

pid_t X11Foreground::ForegroundPid() {
    if (!Connect())
        return 0;
    xcb_window_t active = XCB_NONE;
    xcb_ewmh_connection_t* ewmh = &x_->ewmh;
    if (xcb_ewmh_get_active_window_reply(ewmh, xcb_ewmh_get_active_window(ewmh, x_->screen), &active, nullptr) == 0 ||
        active == XCB_NONE) {
        if (xcb_connection_has_error(x_->connection) != 0)
            Disconnect(); // the server went away: connect again next time
        return 0;
    }
    pid_t pid = ClientPidOfWindow(active);
    if (pid <= 0)
        pid = WmPidOfWindow(active);
    if (xcb_connection_has_error(x_->connection) != 0)
        Disconnect();
    return pid > 0 ? pid : 0;
}

} // namespace kelvane::linux_port
