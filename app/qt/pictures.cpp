#include "pictures.h"

#include "core/dialog_template.h"

namespace kv58::app {

QIcon programIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/kv58/kv58.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/kv58/kv58-16.png"), QSize(16, 16));
    return icon;
}

QPixmap templatePicture(int resourceId) {
    switch (resourceId) {
        case kProgramIcon:
            return QPixmap(QStringLiteral(":/kv58/kv58.png"));
        case kContactBitmap:
            return QPixmap(QStringLiteral(":/kv58/contact.png"));
        default:
            return {};
    }
}

}  // namespace kv58::app
