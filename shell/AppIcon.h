#pragma once

#include <QIcon>

namespace kestory {

// The program's icon (a small exposure chart), from the program's resources.
QIcon AppIcon();

}  // namespace kestory
