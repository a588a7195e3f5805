#include "platform/linux/foreground/X11Source.h"

#include <QSocketNotifier>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace kelvane::linux_port {

struct X11Source::Events {
    xcb_connection_t* connection = nullptr;
    xcb_atom_t activeWindow = XCB_NONE;

    ~Events() {
        if (connection != nullptr)
            xcb_disconnect(connection);
    }
};

X11Source::X11Source(const char* name) : name_(name) {}

X11Source::~X11Source() {
    notifier_.reset();
    events_.reset();
}

bool X11Source::Start(ForegroundSink& sink) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0')
        return false;
    events_ = std::make_unique<Events>();
    int screenNumber = 0;
    events_->connection = xcb_connect(nullptr, &screenNumber);
    xcb_connection_t* c = events_->connection;
    if (xcb_connection_has_error(c) != 0)
        return false;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem == 0)
        return false;
    const xcb_window_t root = screens.data->root;
    static constexpr char kAtom[] = "_NET_ACTIVE_WINDOW";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof(kAtom) - 1, kAtom), nullptr);
    if (atom == nullptr)
        return false;
    events_->activeWindow = atom->atom;
    std::free(atom);
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_generic_error_t* error =
        xcb_request_check(c, xcb_change_window_attributes_checked(c, root, XCB_CW_EVENT_MASK, &mask));
    if (error != nullptr) {
        std::free(error);
        return false;
    }
    sink_ = &sink;
    DrainEvents(); // the replies above may have queued events already
    sink.Foreground(query_.ForegroundPid());
    notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { OnReadable(); });
    return true;
}

bool X11Source::DrainEvents() {
    bool changed = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(events_->connection)) {
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY &&
            reinterpret_cast<xcb_property_notify_event_t*>(event)->atom == events_->activeWindow)
            changed = true;
        std::free(event);
    }
    return changed;
}

void X11Source::OnReadable() {
    const bool changed = DrainEvents();
    if (xcb_connection_has_error(events_->connection) != 0) {
        notifier_->setEnabled(false);
        sink_->Lost("the X server closed the connection");
        return;
    }
    if (changed)
        sink_->Foreground(query_.ForegroundPid());
}

} // namespace kelvane::linux_port
