#pragma once

#include "forms/Clipboard.h"

#include <memory>
#include <optional>

struct xcb_connection_t;

namespace host {

// The X display's clipboard read straight from the server, for a save that
// shows no window: without Qt's display, a keyboard shortcut's run loads no
// platform plugin, input methods or fonts. Transfers of any size (INCR) are
// read; an owner that does not answer in time counts as no clipboard.
class X11Clipboard : public ClipboardSource {
public:
    // The clipboard of the X display that Qt would open for the windows;
    // none when Qt would use another platform or the display does not open.
    static std::unique_ptr<X11Clipboard> open();
    ~X11Clipboard() override;

    QStringList formats() const override;
    QByteArray data(const QString& format) const override;
    // The display's bell, as a window's beep sounds it.
    void ring() const;

private:
    explicit X11Clipboard(xcb_connection_t* connection);
    QByteArray transfer(quint32 target) const;

    xcb_connection_t* m_connection;
    quint32 m_window = 0;
    quint32 m_clipboard = 0, m_property = 0, m_incr = 0, m_targets = 0;
    mutable std::optional<QStringList> m_formats; // asked once a run
};

} // namespace host
