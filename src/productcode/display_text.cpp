#include "productcode/display_text.h"

#include "base/text.h"

namespace kv58 {

std::string displaySearchText(const std::string& displayCode, char tSym, int celsius) {
    const char* unit = celsius ? "C" : "F";
    if (displayCode.empty())
        return displayCode;
    if (displayCode[0] == 'R')
        return "%RH";
    if (displayCode[0] == 'T' && displayCode.size() >= 2) {
        if (displayCode[1] == 'E')
            return strprintf("%c%s", tSym, unit);
        if (displayCode[1] == 'H')
            return strprintf("%%RH / %c%s", tSym, unit);
    }
    return displayCode;
}

}  // namespace kv58
