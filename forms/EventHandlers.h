#pragma once

#include "host/Handlers.h"

namespace forms {

// Runs an event handler. An error that the handler does not trap reaches
// the program's one top-level handler, which shows it; the program goes on.
void runHandler(const std::function<void()>& handler);

// Wraps a handler for connecting it to a signal.
template <class F>
auto handler(F f)
{
    return [f]() { runHandler(f); };
}

// Shows an error that no handler trapped.
void reportUntrapped(const host::HostError& error);

} // namespace forms
