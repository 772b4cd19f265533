#include "forms/X11Clipboard.h"

#include "forms/Application.h"
#include "host/HostError.h"
#include "pictures/Picture.h"

#include <QCoreApplication>
#include <QFile>
#include <QSet>
#include <algorithm>
#include <cstdlib>
#include <poll.h>
#include <vector>
#include <xcb/res.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

namespace forms {
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

// Who owns the X display's clipboard, told at each change by XFIXES.
class X11ClipboardWatch : public ClipboardWatch {
public:
    explicit X11ClipboardWatch(xcb_connection_t* connection) : m_connection(connection) {}
    ~X11ClipboardWatch() override { xcb_disconnect(m_connection); }

    bool start()
    {
        const xcb_query_extension_reply_t* fixes = xcb_get_extension_data(m_connection, &xcb_xfixes_id);
        const auto version = owned(fixes && fixes->present ? xcb_xfixes_query_version_reply(
                                                                 m_connection, xcb_xfixes_query_version(m_connection, 5, 0), nullptr)
                                                           : nullptr);
        if (!version)
            return false;
        m_newOwner = fixes->first_event + XCB_XFIXES_SELECTION_NOTIFY;
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        xcb_xfixes_select_selection_input(m_connection, screen->root, atom(m_connection, "CLIPBOARD"),
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER);
        xcb_flush(m_connection);
        return !xcb_connection_has_error(m_connection);
    }
    int descriptor() const override { return xcb_get_file_descriptor(m_connection); }
    bool changed() override
    {
        bool news = false;
        while (const auto event = owned(xcb_poll_for_event(m_connection)))
            news = news || (event->response_type & 0x7F) == m_newOwner;
        return news;
    }
    bool lost() const override { return xcb_connection_has_error(m_connection) != 0; }
    std::unique_ptr<ClipboardSource> clipboard() const override { return X11Clipboard::open(); }

private:
    xcb_connection_t* m_connection;
    quint8 m_newOwner = 0;
};

} // namespace

std::unique_ptr<ClipboardWatch> X11Clipboard::watch()
{
    if (!windowsOnX())
        return nullptr;
    auto watch = std::make_unique<X11ClipboardWatch>(xcb_connect(nullptr, nullptr));
    if (!watch->start())
        return nullptr;
    return watch;
}

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
    m_incr = atom(connection, "INCR");
    m_targets = atom(connection, "TARGETS");
    // The list and the picture each in a property of its own: an owner still
    // sending a list cut short never writes into the picture.
    m_targetsProperty = atom(connection, "QORIX_CLIPBOARD_FORMATS");
    m_dataProperty = atom(connection, "QORIX_CLIPBOARD");
}

X11Clipboard::~X11Clipboard()
{
    xcb_disconnect(m_connection);
}

QStringList X11Clipboard::formats() const
{
    if (m_formats)
        return *m_formats;
    const Transfer targets = transfer(m_targets, m_targetsProperty, kClipboardFormatsRead * qsizetype(sizeof(xcb_atom_t)));
    if (targets.ended == Ended::Silent)
        ownerSilent();
    const auto* atoms = reinterpret_cast<const xcb_atom_t*>(targets.bytes.constData());
    const qsizetype count = std::min(targets.bytes.size() / qsizetype(sizeof(xcb_atom_t)), kClipboardFormatsRead);
    // Each format once, however often the list names it.
    QSet<xcb_atom_t> seen;
    std::vector<xcb_get_atom_name_cookie_t> asked;
    for (qsizetype i = 0; i < count; ++i)
        if (!seen.contains(atoms[i])) {
            seen.insert(atoms[i]);
            asked.push_back(xcb_get_atom_name(m_connection, atoms[i]));
        }
    QStringList names;
    for (const xcb_get_atom_name_cookie_t cookie : asked)
        if (const auto reply = owned(xcb_get_atom_name_reply(m_connection, cookie, nullptr)))
            names << QString::fromLatin1(xcb_get_atom_name_name(reply.get()), xcb_get_atom_name_name_length(reply.get()));
    m_formats = names;
    // The picture's read has an end of its own: a prompt for the file's name
    // may come between the two.
    m_clock.endRead();
    return names;
}

QByteArray X11Clipboard::data(const QString& format) const
{
    const Transfer picture = transfer(atom(m_connection, format.toLatin1()), m_dataProperty, pictures::kMaxPictureFileBytes);
    if (picture.ended == Ended::Silent)
        ownerSilent();
    if (picture.ended == Ended::TooLarge)
        raiseClipboardTooLarge();
    return picture.bytes;
}

void X11Clipboard::ring() const
{
    xcb_bell(m_connection, 0);
    xcb_flush(m_connection);
}

void X11Clipboard::ownerSilent() const
{
    // Asking again would only wait again.
    m_silent = true;
    raiseOwnerSilent(ownerName());
}

QString X11Clipboard::ownerName() const
{
    const auto owner = owned(
        xcb_get_selection_owner_reply(m_connection, xcb_get_selection_owner(m_connection, m_clipboard), nullptr));
    if (!owner || owner->owner == XCB_NONE)
        return QCoreApplication::translate("forms", "no program now");
    // A server with the resource extension knows the process of a client on
    // this machine.
    const xcb_query_extension_reply_t* resources = xcb_get_extension_data(m_connection, &xcb_res_id);
    const xcb_res_client_id_spec_t client{owner->owner, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    const auto ids = owned(resources && resources->present
                               ? xcb_res_query_client_ids_reply(
                                     m_connection, xcb_res_query_client_ids(m_connection, 1, &client), nullptr)
                               : nullptr);
    // Only the process id was asked for: a value that holds a number is it.
    for (auto id = ids ? xcb_res_query_client_ids_ids_iterator(ids.get()) : xcb_res_client_id_value_iterator_t{};
         id.rem > 0; xcb_res_client_id_value_next(&id)) {
        if (xcb_res_client_id_value_value_length(id.data) < 1)
            continue;
        const quint32 pid = *xcb_res_client_id_value_value(id.data);
        QFile command(QStringLiteral("/proc/%1/comm").arg(pid));
        const QString name =
            command.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(command.read(64)).trimmed() : QString();
        return QCoreApplication::translate("forms", "%1, process %2")
            .arg(name.isEmpty() ? QCoreApplication::translate("forms", "a program") : name)
            .arg(pid);
    }
    return QCoreApplication::translate("forms", "X window 0x%1").arg(owner->owner, 0, 16);
}

// Asks the clipboard's owner for the target and reads what it gives, at most
// maxBytes (those read are kept when there is more): at once in the
// property, or, for large data, in pieces (INCR) that end with an empty one.
X11Clipboard::Transfer X11Clipboard::transfer(quint32 target, quint32 property, qint64 maxBytes) const
{
    if (m_silent)
        return {{}, Ended::Silent};
    if (target == XCB_NONE || xcb_connection_has_error(m_connection))
        return {{}, Ended::Refused};
    m_clock.startWait();
    // The next event of the kind for the window, or none after the wait.
    const auto next = [&](quint8 kind) -> Owned<xcb_generic_event_t> {
        for (;;) {
            while (auto event = owned(xcb_poll_for_event(m_connection))) {
                if ((event->response_type & 0x7F) != kind)
                    continue;
                const auto* answer = reinterpret_cast<const xcb_selection_notify_event_t*>(event.get());
                const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
                if ((kind == XCB_SELECTION_NOTIFY && answer->requestor == m_window && answer->target == target)
                    || (kind == XCB_PROPERTY_NOTIFY && change->window == m_window && change->atom == property
                        && change->state == XCB_PROPERTY_NEW_VALUE)) {
                    m_clock.answered();
                    return event;
                }
            }
            const qint64 left = m_clock.left();
            if (xcb_connection_has_error(m_connection) || left <= 0)
                return owned<xcb_generic_event_t>(nullptr);
            pollfd socket{xcb_get_file_descriptor(m_connection), POLLIN, 0};
            poll(&socket, 1, int(left));
        }
    };
    // The whole property, read and deleted, with its type, which tells INCR
    // apart; none when there is no such property (already taken).
    xcb_atom_t type = XCB_NONE;
    const auto take = [&]() -> std::optional<QByteArray> {
        QByteArray bytes;
        for (;;) {
            const auto reply = owned(xcb_get_property_reply(
                m_connection,
                xcb_get_property(m_connection, 1, m_window, property, XCB_GET_PROPERTY_TYPE_ANY,
                                 quint32(bytes.size() / 4), 1u << 20),
                nullptr));
            if (!reply || reply->type == XCB_NONE)
                return std::nullopt;
            type = reply->type;
            bytes.append(static_cast<const char*>(xcb_get_property_value(reply.get())),
                         xcb_get_property_value_length(reply.get()));
            if (reply->bytes_after == 0 || bytes.size() > maxBytes)
                return bytes;
        }
    };
    const auto within = [maxBytes](QByteArray bytes) {
        if (bytes.size() <= maxBytes)
            return Transfer{std::move(bytes), Ended::Complete};
        bytes.truncate(qsizetype(maxBytes));
        return Transfer{std::move(bytes), Ended::TooLarge};
    };

    xcb_convert_selection(m_connection, m_window, m_clipboard, target, property, XCB_CURRENT_TIME);
    xcb_flush(m_connection);
    const auto answer = next(XCB_SELECTION_NOTIFY);
    if (!answer)
        return {{}, Ended::Silent};
    if (reinterpret_cast<const xcb_selection_notify_event_t*>(answer.get())->property == XCB_NONE)
        return {{}, Ended::Refused};
    std::optional<QByteArray> bytes = take();
    if (!bytes)
        return {{}, Ended::Refused};
    if (type != m_incr)
        return within(*std::move(bytes));
    // Taking the INCR property asked for the first piece.
    bytes->clear();
    for (;;) {
        xcb_flush(m_connection);
        if (!next(XCB_PROPERTY_NOTIFY))
            return {{}, Ended::Silent};
        // A piece written in several changes has a notice for each, the later
        // ones for a property taken already: only an empty one that is there
        // ends the transfer.
        const std::optional<QByteArray> piece = take();
        if (!piece)
            continue;
        if (piece->isEmpty())
            return within(*std::move(bytes));
        bytes->append(*piece);
        if (bytes->size() > maxBytes)
            return within(*std::move(bytes));
    }
}

} // namespace forms
