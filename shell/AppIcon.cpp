#include "shell/AppIcon.h"

namespace kestory {

QIcon AppIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/kestory/icons/kestory-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace kestory
