#pragma once

#include <QString>

namespace mail {

// A person to write to: a display name (empty: shown as the address) and an
// e-mail address. Made with designated initializers ({.name = ..., .address
// = ...}), so that the two cannot be swapped unseen.
struct Contact {
    QString name;
    QString address;
    bool operator==(const Contact&) const = default;
};

} // namespace mail
