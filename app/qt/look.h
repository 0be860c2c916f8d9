// The desktop program's look: the classic Windows style and palette on every platform, so the
// dialogs look as their templates were drawn for.
#pragma once

class QApplication;

namespace kv58::app {

void applyClassicLook(QApplication& app);

}  // namespace kv58::app
