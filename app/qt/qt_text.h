// The library speaks Windows-1252; Qt speaks Unicode. Every text crosses here.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "base/text.h"

namespace kv58::app {

inline QString toQt(std::string_view cp1252) {
    return QString::fromStdString(cp1252ToUtf8(cp1252));
}

inline std::string fromQt(const QString& text) {
    return utf8ToCp1252(text.toStdString());
}

}  // namespace kv58::app
