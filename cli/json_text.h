// JSON text for kv58ctl's --json output.
#pragma once

#include <string>

#include "base/text.h"

namespace kv58::cli {

// A UTF-8 text as a JSON string literal: quotes and backslashes escaped, control characters
// as \u00XX.
inline std::string jsonString(const std::string& utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            out += strprintf("\\u%04x", byte);
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// A Windows-1252 text of the library as a JSON string literal.
inline std::string jsonCp1252(const std::string& cp1252) {
    return jsonString(cp1252ToUtf8(cp1252));
}

}  // namespace kv58::cli
