#include "host/Handlers.h"

#include "host/HostError.h"

#include <new>
#include <QCoreApplication>

namespace host {

void trapErrors(const std::function<void()>& body, const std::function<void(const HostError&)>& onError)
{
    try {
        body();
    } catch (const HostError& error) {
        onError(error);
    } catch (const std::bad_alloc&) {
        onError(HostError(ErrorKind::OutOfMemory, QCoreApplication::translate("host", "Out of memory.")));
    } catch (const std::exception& error) {
        onError(HostError(ErrorKind::General, QString::fromLocal8Bit(error.what())));
    }
}

std::optional<HostError> skipOnError(const std::function<void()>& step)
{
    try {
        step();
        return std::nullopt;
    } catch (const HostError& error) {
        return error;
    }
}

} // namespace host
