#pragma once

#include <QString>

namespace kestory {

// The window title and the caption of every message box.
inline QString AppTitle() { return QStringLiteral("Kestory"); }

// The product version in the version resource's own form, "1, 0, 3, 1".
inline QString GetProductVersion() { return QStringLiteral(KESTORY_PRODUCT_VERSION); }

}  // namespace kestory
