#pragma once

#include "forms/Clipboard.h"
#include "forms/ClipboardWatch.h"

#include <QHash>
#include <functional>
#include <memory>

struct wl_display;
struct wl_proxy;

namespace forms {

// The Wayland compositor's clipboard read without a window, through the
// data-control protocol that gives it to a program with nothing in focus, as
// a keyboard shortcut's is: ext_data_control_manager_v1, or where only that
// is offered zwlr_data_control_manager_v1 from version 2. Read with the X
// clipboard's bounds: each format asked once, a wait for each piece and an
// end for the whole read, no more than a picture file may have.
class WaylandClipboard : public ClipboardSource {
public:
    // The clipboard of the session's compositor (WAYLAND_DISPLAY); none when
    // there is none, it offers no data-control or does not answer.
    static std::unique_ptr<WaylandClipboard> open();
    // The watch of that clipboard, through the same selection events.
    static std::unique_ptr<ClipboardWatch> watch();
    ~WaylandClipboard() override;

    QStringList formats() const override { return m_formats; }
    // Empty when the owner gives nothing; raises an error when it stops
    // sending or sends more than a picture file may have.
    QByteArray data(const QString& format) const override;

private:
    friend class WaylandClipboardWatch;
    explicit WaylandClipboard(wl_display* display) : m_display(display) {}
    bool start();
    // Dispatches the compositor's events until done() or the wait is over;
    // false when it is over first or the connection broke.
    bool dispatchUntil(const std::function<bool()>& done) const;

    static void global(void* self, wl_proxy* registry, quint32 name, const char* interface, quint32 version);
    static void dataOffer(void* self, wl_proxy* device, wl_proxy* offer);
    static void selection(void* self, wl_proxy* device, wl_proxy* offer);
    static void otherSelection(void* self, wl_proxy* device, wl_proxy* offer);
    static void finished(void* self, wl_proxy* device);
    static void offered(void* self, wl_proxy* offer, const char* format);

    wl_display* m_display;
    wl_proxy* m_registry = nullptr;
    quint32 m_seatName = 0, m_extName = 0, m_wlrName = 0, m_wlrVersion = 0; // the globals offered
    wl_proxy* m_seat = nullptr;
    wl_proxy* m_manager = nullptr;
    wl_proxy* m_device = nullptr;
    wl_proxy* m_selection = nullptr;
    bool m_selectionKnown = false;
    int m_selections = 0; // the clipboards told since the start
    QHash<wl_proxy*, QStringList> m_offers; // the offers made, with their formats so far
    QStringList m_formats;                  // the clipboard's
    mutable ClipboardReadClock m_clock;
    mutable bool m_silent = false;
};

} // namespace forms
