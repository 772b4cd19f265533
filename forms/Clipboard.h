#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QImage>
#include <QStringList>

// The clipboard's picture: any image format that Qt can read from it.
namespace forms {

// A clipboard as a save reads it: the formats offered (MIME names) and the
// bytes of one, empty when they cannot be had.
class ClipboardSource {
public:
    virtual ~ClipboardSource() = default;
    virtual QStringList formats() const = 0;
    virtual QByteArray data(const QString& format) const = 0;
    // A picture the program holds as an image rather than as bytes, which
    // only Qt's own clipboard has.
    virtual QImage heldImage() const { return {}; }
};

// The bounds of a read straight from the clipboard's owner (through the X
// server, or a Wayland compositor's data-control): a wait for each answer or
// piece, as long as Qt's clipboard waits; an end for the whole read, which
// only an owner that trickles meets (a slow one sends a 4K capture of 25 MB
// in under 10 s); how many of its formats are read, where owners offer a few
// dozen.
constexpr qint64 kClipboardPatienceMs = 5000;
constexpr qint64 kClipboardWholeReadMs = 60000;
constexpr qsizetype kClipboardFormatsRead = 1000;

// The time such a read gives the owner.
class ClipboardReadClock {
public:
    // A request is sent: the owner has its while to answer, and the whole
    // read's time runs unless it does already.
    void startWait();
    // An answer or a piece came: the next has as long again.
    void answered() { m_answer.restart(); }
    // The read is over: the next request begins another.
    void endRead() { m_read.invalidate(); }
    // Milliseconds left before the owner counts as silent.
    qint64 left() const;

private:
    QElapsedTimer m_read, m_answer;
};

// The errors of such a read: the owner (named where known) did not answer in
// time, or sent more than a picture file may have.
[[noreturn]] void raiseOwnerSilent(const QString& owner);
[[noreturn]] void raiseClipboardTooLarge();

// The clipboard of Qt's display; the program's windows need one open.
const ClipboardSource& displayClipboard();

bool ClipboardHasBitmap(const ClipboardSource& clipboard = displayClipboard());

// The clipboard's picture; an error when it holds none (also when its owner
// went away between the test and the get).
QImage ClipboardGetBitmap(const ClipboardSource& clipboard = displayClipboard());

} // namespace forms
