#include "forms/WaylandClipboard.h"

#include "pictures/Picture.h"

#include "ext-data-control-v1-client.h"
#include "wlr-data-control-unstable-v1-client.h"

#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>

namespace forms {
namespace {

// The two protocols are one on the wire: the same requests and events in the
// same order. What is said here of the wlroots one serves both.
static_assert(EXT_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE == ZWLR_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE
              && EXT_DATA_CONTROL_MANAGER_V1_DESTROY == ZWLR_DATA_CONTROL_MANAGER_V1_DESTROY
              && EXT_DATA_CONTROL_DEVICE_V1_DESTROY == ZWLR_DATA_CONTROL_DEVICE_V1_DESTROY
              && EXT_DATA_CONTROL_OFFER_V1_RECEIVE == ZWLR_DATA_CONTROL_OFFER_V1_RECEIVE
              && EXT_DATA_CONTROL_OFFER_V1_DESTROY == ZWLR_DATA_CONTROL_OFFER_V1_DESTROY);

wl_proxy* proxy(void* object)
{
    return static_cast<wl_proxy*>(object);
}

// A request that destroys its object.
void destroy(wl_proxy* object, quint32 opcode)
{
    if (object)
        wl_proxy_marshal_flags(object, opcode, nullptr, wl_proxy_get_version(object), WL_MARSHAL_FLAG_DESTROY);
}

} // namespace

std::unique_ptr<WaylandClipboard> WaylandClipboard::open()
{
    // Without WAYLAND_DISPLAY the library tries "wayland-0", which in an X
    // session may be a compositor the person is not using.
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return nullptr;
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return nullptr;
    std::unique_ptr<WaylandClipboard> clipboard(new WaylandClipboard(display));
    if (!clipboard->start())
        return nullptr;
    return clipboard;
}

WaylandClipboard::~WaylandClipboard()
{
    for (wl_proxy* offer : m_offers.keys())
        destroy(offer, ZWLR_DATA_CONTROL_OFFER_V1_DESTROY);
    destroy(m_device, ZWLR_DATA_CONTROL_DEVICE_V1_DESTROY);
    destroy(m_manager, ZWLR_DATA_CONTROL_MANAGER_V1_DESTROY);
    if (m_seat)
        wl_proxy_destroy(m_seat);
    if (m_registry)
        wl_proxy_destroy(m_registry);
    wl_display_disconnect(m_display);
}

void WaylandClipboard::global(void* self, wl_proxy*, quint32 name, const char* interface, quint32 version)
{
    auto* clipboard = static_cast<WaylandClipboard*>(self);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !clipboard->m_seatName)
        clipboard->m_seatName = name;
    else if (std::strcmp(interface, ext_data_control_manager_v1_interface.name) == 0)
        clipboard->m_extName = name;
    else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0 && version >= 2) {
        clipboard->m_wlrName = name;
        clipboard->m_wlrVersion = 2;
    }
}

void WaylandClipboard::dataOffer(void* self, wl_proxy*, wl_proxy* offer)
{
    static const zwlr_data_control_offer_v1_listener events = {
        [](void* self, zwlr_data_control_offer_v1* offer, const char* format) { offered(self, proxy(offer), format); }};
    wl_proxy_add_listener(offer, reinterpret_cast<void (**)(void)>(const_cast<zwlr_data_control_offer_v1_listener*>(&events)), self);
    static_cast<WaylandClipboard*>(self)->m_offers.insert(offer, {});
}

void WaylandClipboard::offered(void* self, wl_proxy* offer, const char* format)
{
    QStringList& formats = static_cast<WaylandClipboard*>(self)->m_offers[offer];
    // An owner may list formats without end: the first ones serve.
    if (formats.size() < kClipboardFormatsRead)
        formats << QString::fromUtf8(format);
}

void WaylandClipboard::selection(void* self, wl_proxy*, wl_proxy* offer)
{
    auto* clipboard = static_cast<WaylandClipboard*>(self);
    if (clipboard->m_selection && clipboard->m_selection != offer) {
        destroy(clipboard->m_selection, ZWLR_DATA_CONTROL_OFFER_V1_DESTROY);
        clipboard->m_offers.remove(clipboard->m_selection);
    }
    clipboard->m_selection = offer;
    clipboard->m_formats = offer ? clipboard->m_offers.value(offer) : QStringList();
    clipboard->m_formats.removeDuplicates();
    clipboard->m_selectionKnown = true;
    ++clipboard->m_selections;
}

void WaylandClipboard::otherSelection(void* self, wl_proxy*, wl_proxy* offer)
{
    // The primary selection (text marked with the mouse) is not the clipboard.
    auto* clipboard = static_cast<WaylandClipboard*>(self);
    if (offer && offer != clipboard->m_selection) {
        destroy(offer, ZWLR_DATA_CONTROL_OFFER_V1_DESTROY);
        clipboard->m_offers.remove(offer);
    }
}

void WaylandClipboard::finished(void* self, wl_proxy*)
{
    static_cast<WaylandClipboard*>(self)->m_selectionKnown = true;
}

bool WaylandClipboard::start()
{
    static const wl_registry_listener registryEvents = {
        [](void* self, wl_registry* registry, quint32 name, const char* interface, quint32 version) {
            global(self, proxy(registry), name, interface, version);
        },
        [](void*, wl_registry*, quint32) {}};
    m_registry = proxy(wl_display_get_registry(m_display));
    wl_registry_add_listener(reinterpret_cast<wl_registry*>(m_registry), &registryEvents, this);
    bool listed = false;
    static const wl_callback_listener doneEvents = {
        [](void* done, wl_callback* callback, quint32) {
            *static_cast<bool*>(done) = true;
            wl_callback_destroy(callback);
        }};
    wl_callback_add_listener(wl_display_sync(m_display), &doneEvents, &listed);
    m_clock.startWait();
    if (!dispatchUntil([&listed] { return listed; }) || !m_seatName || !(m_extName || m_wlrName))
        return false;
    const bool common = m_extName != 0;
    const wl_interface& manager = common ? ext_data_control_manager_v1_interface : zwlr_data_control_manager_v1_interface;
    const wl_interface& device = common ? ext_data_control_device_v1_interface : zwlr_data_control_device_v1_interface;
    m_seat = proxy(wl_registry_bind(reinterpret_cast<wl_registry*>(m_registry), m_seatName, &wl_seat_interface, 1));
    m_manager = proxy(wl_registry_bind(reinterpret_cast<wl_registry*>(m_registry), common ? m_extName : m_wlrName,
                                       &manager, common ? 1 : m_wlrVersion));
    m_device = wl_proxy_marshal_flags(m_manager, ZWLR_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE, &device,
                                      wl_proxy_get_version(m_manager), 0, nullptr, m_seat);
    static const zwlr_data_control_device_v1_listener deviceEvents = {
        [](void* self, zwlr_data_control_device_v1* d, zwlr_data_control_offer_v1* o) { dataOffer(self, proxy(d), proxy(o)); },
        [](void* self, zwlr_data_control_device_v1* d, zwlr_data_control_offer_v1* o) { selection(self, proxy(d), proxy(o)); },
        [](void* self, zwlr_data_control_device_v1* d) { finished(self, proxy(d)); },
        [](void* self, zwlr_data_control_device_v1* d, zwlr_data_control_offer_v1* o) { otherSelection(self, proxy(d), proxy(o)); }};
    wl_proxy_add_listener(m_device, reinterpret_cast<void (**)(void)>(const_cast<zwlr_data_control_device_v1_listener*>(&deviceEvents)), this);
    // The compositor tells the clipboard's offer at once.
    m_clock.startWait();
    const bool known = dispatchUntil([this] { return m_selectionKnown; });
    m_clock.endRead();
    return known;
}

bool WaylandClipboard::dispatchUntil(const std::function<bool()>& done) const
{
    for (;;) {
        if (wl_display_dispatch_pending(m_display) < 0)
            return false;
        if (done())
            return true;
        while (wl_display_prepare_read(m_display) != 0)
            if (wl_display_dispatch_pending(m_display) < 0)
                return false;
        wl_display_flush(m_display);
        pollfd socket{wl_display_get_fd(m_display), POLLIN, 0};
        const qint64 left = m_clock.left();
        if (left <= 0 || ::poll(&socket, 1, int(left)) <= 0) {
            wl_display_cancel_read(m_display);
            return false;
        }
        if (wl_display_read_events(m_display) < 0)
            return false;
        m_clock.answered();
    }
}

// A compositor's clipboard seen through its selection events.
class WaylandClipboardWatch : public ClipboardWatch {
public:
    explicit WaylandClipboardWatch(std::unique_ptr<WaylandClipboard> clipboard) : m_clipboard(std::move(clipboard)) {}

    int descriptor() const override { return wl_display_get_fd(m_clipboard->m_display); }
    bool changed() override
    {
        wl_display* display = m_clipboard->m_display;
        const int before = m_clipboard->m_selections;
        pollfd socket{wl_display_get_fd(display), POLLIN, 0};
        if (wl_display_prepare_read(display) == 0) {
            if (::poll(&socket, 1, 0) > 0)
                wl_display_read_events(display);
            else
                wl_display_cancel_read(display);
        }
        wl_display_dispatch_pending(display);
        wl_display_flush(display);
        return m_clipboard->m_selections != before && !lost();
    }
    bool lost() const override { return wl_display_get_error(m_clipboard->m_display) != 0; }
    std::unique_ptr<ClipboardSource> clipboard() const override { return WaylandClipboard::open(); }

private:
    std::unique_ptr<WaylandClipboard> m_clipboard;
};

std::unique_ptr<ClipboardWatch> WaylandClipboard::watch()
{
    std::unique_ptr<WaylandClipboard> clipboard = open();
    if (!clipboard)
        return nullptr;
    return std::make_unique<WaylandClipboardWatch>(std::move(clipboard));
}

QByteArray WaylandClipboard::data(const QString& format) const
{
    if (m_silent)
        raiseOwnerSilent(QString());
    if (!m_selection || !m_formats.contains(format))
        return {};
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return {};
    wl_proxy_marshal_flags(m_selection, ZWLR_DATA_CONTROL_OFFER_V1_RECEIVE, nullptr, wl_proxy_get_version(m_selection), 0,
                           format.toUtf8().constData(), ends[1]);
    wl_display_flush(m_display);
    ::close(ends[1]);
    const struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{ends[0]};
    // The owner writes the bytes itself and closes its end when done.
    QByteArray bytes;
    m_clock.startWait();
    for (;;) {
        pollfd pipe{ends[0], POLLIN, 0};
        const qint64 left = m_clock.left();
        if (left <= 0 || ::poll(&pipe, 1, int(left)) <= 0) {
            m_silent = true;
            raiseOwnerSilent(QString());
        }
        constexpr qsizetype kPiece = 1 << 16;
        const qsizetype had = bytes.size();
        bytes.resize(had + kPiece);
        const ssize_t got = ::read(ends[0], bytes.data() + had, kPiece);
        bytes.resize(had + std::max<ssize_t>(got, 0));
        if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN))
            return bytes;
        if (bytes.size() > pictures::kMaxPictureFileBytes)
            raiseClipboardTooLarge();
        m_clock.answered();
    }
}

} // namespace forms
