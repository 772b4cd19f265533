#pragma once

#include "forms/Clipboard.h"
#include "forms/ClipboardWatch.h"

#include <memory>
#include <optional>

struct xcb_connection_t;

namespace forms {

// The X display's clipboard read straight from the server, for a save that
// shows no window: without Qt's display, a keyboard shortcut's run loads no
// platform plugin, input methods or fonts. Transfers of any size (INCR) are
// read, within the picture file limit. The owner gets a while to answer each
// request and each piece, and the whole read an end: an owner that does not
// answer in time is not asked again, and is named in the error raised.
class X11Clipboard : public ClipboardSource {
public:
    // The clipboard of the X display that Qt would open for the windows;
    // none when Qt would use another platform or the display does not open.
    static std::unique_ptr<X11Clipboard> open();
    // The watch of that display's clipboard, through XFIXES; none without.
    static std::unique_ptr<ClipboardWatch> watch();
    ~X11Clipboard() override;

    // Raises an error naming the owner when it does not answer.
    QStringList formats() const override;
    // Empty when the owner refuses the format; raises an error when it stops
    // answering or sends more than a picture file may have.
    QByteArray data(const QString& format) const override;
    // The display's bell, as a window's beep sounds it.
    void ring() const;

private:
    enum class Ended { Complete, Refused, Silent, TooLarge };
    struct Transfer {
        QByteArray bytes;
        Ended ended;
    };

    explicit X11Clipboard(xcb_connection_t* connection);
    Transfer transfer(quint32 target, quint32 property, qint64 maxBytes) const;
    [[noreturn]] void ownerSilent() const;
    // The program that owns the clipboard, as a person knows it.
    QString ownerName() const;

    xcb_connection_t* m_connection;
    quint32 m_window = 0;
    quint32 m_clipboard = 0, m_incr = 0, m_targets = 0;
    quint32 m_targetsProperty = 0, m_dataProperty = 0;
    mutable ClipboardReadClock m_clock; // the list's read, then the picture's
    mutable bool m_silent = false;
    mutable std::optional<QStringList> m_formats; // asked once a run
};

} // namespace forms
