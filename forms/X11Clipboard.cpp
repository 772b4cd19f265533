#include "forms/X11Clipboard.h"

#include "forms/Application.h"

#include <QElapsedTimer>
#include <cstdlib>
#include <poll.h>
#include <vector>
#include <xcb/xcb.h>

namespace host {
namespace {

// A reply or event of libxcb, freed with it.
template <typename T>
using Owned = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Owned<T> owned(T* pointer)
{
    return Owned<T>(pointer, &std::free);
}

xcb_atom_t atom(xcb_connection_t* connection, const QByteArray& name)
{
    const auto reply = owned(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, quint16(name.size()), name.constData()), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_NONE);
}

// How long an owner may take to answer, as long as Qt's clipboard waits.
constexpr qint64 kPatienceMs = 5000;

} // namespace

std::unique_ptr<X11Clipboard> X11Clipboard::open()
{
    if (!windowsOnX())
        return nullptr;
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::unique_ptr<X11Clipboard>(new X11Clipboard(connection));
}

X11Clipboard::X11Clipboard(xcb_connection_t* connection) : m_connection(connection)
{
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    m_window = xcb_generate_id(connection);
    const quint32 events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, m_window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    m_clipboard = atom(connection, "CLIPBOARD");
    m_property = atom(connection, "QORIX_CLIPBOARD");
    m_incr = atom(connection, "INCR");
    m_targets = atom(connection, "TARGETS");
}

X11Clipboard::~X11Clipboard()
{
    xcb_disconnect(m_connection);
}

QStringList X11Clipboard::formats() const
{
    if (m_formats)
        return *m_formats;
    const QByteArray targets = transfer(m_targets);
    const auto* atoms = reinterpret_cast<const xcb_atom_t*>(targets.constData());
    const qsizetype count = targets.size() / qsizetype(sizeof(xcb_atom_t));
    std::vector<xcb_get_atom_name_cookie_t> asked;
    for (qsizetype i = 0; i < count; ++i)
        asked.push_back(xcb_get_atom_name(m_connection, atoms[i]));
    QStringList names;
    for (const xcb_get_atom_name_cookie_t cookie : asked)
        if (const auto reply = owned(xcb_get_atom_name_reply(m_connection, cookie, nullptr)))
            names << QString::fromLatin1(xcb_get_atom_name_name(reply.get()), xcb_get_atom_name_name_length(reply.get()));
    m_formats = names;
    return names;
}

QByteArray X11Clipboard::data(const QString& format) const
{
    return transfer(atom(m_connection, format.toLatin1()));
}

void X11Clipboard::ring() const
{
    xcb_bell(m_connection, 0);
    xcb_flush(m_connection);
}

// Asks the clipboard's owner for the target and reads what it gives: at
// once in the property, or, for large data, in pieces (INCR) that end with
// an empty one. Empty when it refuses, goes away or stops answering.
QByteArray X11Clipboard::transfer(quint32 target) const
{
    if (target == XCB_NONE || xcb_connection_has_error(m_connection))
        return {};
    QElapsedTimer waited;
    waited.start();
    // The next event of the kind for the window, or none after the wait.
    const auto next = [&](quint8 kind) -> Owned<xcb_generic_event_t> {
        for (;;) {
            while (auto event = owned(xcb_poll_for_event(m_connection))) {
                if ((event->response_type & 0x7F) != kind)
                    continue;
                if (kind == XCB_SELECTION_NOTIFY
                    && reinterpret_cast<const xcb_selection_notify_event_t*>(event.get())->requestor == m_window)
                    return event;
                const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
                if (kind == XCB_PROPERTY_NOTIFY && change->window == m_window && change->atom == m_property
                    && change->state == XCB_PROPERTY_NEW_VALUE)
                    return event;
            }
            const qint64 left = kPatienceMs - waited.elapsed();
            if (xcb_connection_has_error(m_connection) || left <= 0)
                return owned<xcb_generic_event_t>(nullptr);
            pollfd socket{xcb_get_file_descriptor(m_connection), POLLIN, 0};
            poll(&socket, 1, int(left));
        }
    };
    // The whole property, read and deleted; its type tells INCR apart.
    const auto take = [&](xcb_atom_t& type) {
        QByteArray bytes;
        for (;;) {
            const auto reply = owned(xcb_get_property_reply(
                m_connection,
                xcb_get_property(m_connection, 1, m_window, m_property, XCB_GET_PROPERTY_TYPE_ANY,
                                 quint32(bytes.size() / 4), 1u << 20),
                nullptr));
            if (!reply)
                return QByteArray();
            type = reply->type;
            bytes.append(static_cast<const char*>(xcb_get_property_value(reply.get())),
                         xcb_get_property_value_length(reply.get()));
            if (reply->bytes_after == 0)
                return bytes;
        }
    };

    xcb_convert_selection(m_connection, m_window, m_clipboard, target, m_property, XCB_CURRENT_TIME);
    xcb_flush(m_connection);
    const auto answer = next(XCB_SELECTION_NOTIFY);
    if (!answer || reinterpret_cast<const xcb_selection_notify_event_t*>(answer.get())->property == XCB_NONE)
        return {};
    xcb_atom_t type = XCB_NONE;
    QByteArray bytes = take(type);
    if (type != m_incr)
        return bytes;
    // Taking the INCR property asked for the first piece.
    bytes.clear();
    for (;;) {
        xcb_flush(m_connection);
        if (!next(XCB_PROPERTY_NOTIFY))
            return {};
        const QByteArray piece = take(type);
        if (piece.isEmpty())
            return bytes;
        bytes.append(piece);
    }
}

} // namespace host
