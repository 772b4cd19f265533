#include "forms/EventHandlers.h"

#include "forms/MessageBox.h"

namespace host {

void reportUntrapped(const HostError& error)
{
    MsgBox(error.description(), MsgBoxStyle::Critical);
}

void runHandler(const std::function<void()>& handler)
{
    trapErrors(handler, reportUntrapped);
}

} // namespace host
