// The program's pictures, built into the program: icon 128 (32 x 32 and 16 x 16) and the
// Contact dialog's bitmap 136.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace kv58::app {

QIcon programIcon();

// The picture a template's icon or bitmap control names; a null pixmap for an unknown number.
QPixmap templatePicture(int resourceId);

}  // namespace kv58::app
