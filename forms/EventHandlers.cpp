#include "forms/EventHandlers.h"

#include "forms/MessageBox.h"

namespace forms {

void reportUntrapped(const host::HostError& error)
{
    MsgBox(error.description(), MsgBoxStyle::Critical);
}

void runHandler(const std::function<void()>& handler)
{
    host::trapErrors(handler, reportUntrapped);
}

} // namespace forms
