#include "look.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

namespace kv58::app {

void applyClassicLook(QApplication& app) {
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Windows"))) {
        QApplication::setStyle(style);
        app.setPalette(style->standardPalette());
    }
}

}  // namespace kv58::app
