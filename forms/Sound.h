#pragma once

#include <QObject>
#include <functional>

namespace forms {

// The system beep. Each beep is also announced, so that whoever needs to
// know that the program beeped (a test, an accessibility aid) can listen.
class Sound : public QObject {
    Q_OBJECT
public:
    static Sound& instance();

signals:
    void beeped();

private:
    Sound() = default;
};

void Beep();

// How a run without Qt's display sounds the beep (none when empty); the
// windows' display sounds its own.
void setBell(std::function<void()> ring);

} // namespace forms
