#include "host/Handlers.h"

#include "host/HostError.h"
#include "host/MessageBox.h"

#include <new>

namespace host {

void reportUntrapped(const HostError& error)
{
    MsgBox(error.description(), MsgBoxStyle::Critical);
}

void runHandler(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const HostError& error) {
        reportUntrapped(error);
    } catch (const std::bad_alloc&) {
        reportUntrapped(HostError(ErrorKind::OutOfMemory, QStringLiteral("Out of memory.")));
    } catch (const std::exception& error) {
        reportUntrapped(HostError(ErrorKind::General, QString::fromLocal8Bit(error.what())));
    }
}

bool skipOnError(const std::function<void()>& step)
{
    try {
        step();
        return true;
    } catch (const HostError&) {
        return false;
    }
}

} // namespace host
