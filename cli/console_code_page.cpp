#include "console_code_page.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kv58::cli {

#ifdef _WIN32

Utf8Console::Utf8Console() {
    const UINT current = GetConsoleOutputCP();  // 0 without a console
    if (current != 0 && current != CP_UTF8 && SetConsoleOutputCP(CP_UTF8))
        previous_ = current;
}

Utf8Console::~Utf8Console() {
    if (previous_ != 0)
        SetConsoleOutputCP(previous_);
}

#else

Utf8Console::Utf8Console() = default;
Utf8Console::~Utf8Console() = default;

#endif

}  // namespace kv58::cli
