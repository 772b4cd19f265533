#pragma once

#include <QString>

namespace testing_support {

// The biBitCount of a bitmap file, read from its header; -1 when unreadable.
int bmpBitCount(const QString& path);

} // namespace testing_support
