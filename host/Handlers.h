#pragma once

#include "host/HostError.h"

#include <functional>
#include <optional>

namespace host {

// Runs body; any error it raises, of whatever kind, reaches onError as a
// described error (a handler's error trap).
void trapErrors(const std::function<void()>& body, const std::function<void(const HostError&)>& onError);

// Runs one of several independent steps: a step that fails is skipped
// without a message and the caller goes on with the next one. Gives the
// error that skipped it, if any.
std::optional<HostError> skipOnError(const std::function<void()>& step);

} // namespace host
