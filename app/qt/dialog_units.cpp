#include "dialog_units.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>

namespace kv58::app {

namespace {

constexpr const char* kMetricTwin = "Liberation Sans";
constexpr const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

bool installed(const QFont& font) {
    return QFontInfo(font).family().compare(font.family(), Qt::CaseInsensitive) == 0;
}

// value * numerator / denominator, rounded half away from zero (denominator > 0).
int mulDiv(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : -((-product + half) / denominator));
}

}  // namespace

QFont dialogFont(const char* family, int points) {
    QFont font(QString::fromLatin1(family), points);
    if (installed(font))
        return font;
    QFont twin(QString::fromLatin1(kMetricTwin), points);
    if (installed(twin))
        return twin;
    QFont fallback = QGuiApplication::font();
    fallback.setPointSize(points);
    fallback.setStyleHint(QFont::SansSerif);
    return fallback;
}

BaseUnits baseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(QString::fromLatin1(kAlphabet));
    return {(width + 26) / 52, metrics.height()};
}

int dluToPixelsX(BaseUnits units, int dlu) {
    return mulDiv(dlu, units.x, 4);
}
int dluToPixelsY(BaseUnits units, int dlu) {
    return mulDiv(dlu, units.y, 8);
}

QRect mapDialogRect(BaseUnits units, int x, int y, int width, int height) {
    return {dluToPixelsX(units, x), dluToPixelsY(units, y), dluToPixelsX(units, width),
            dluToPixelsY(units, height)};
}

}  // namespace kv58::app
