// The library speaks Windows-1252; the system's wide calls speak UTF-16. Every text of the
// windows crosses here, through the library's own Windows-1252 table, so that the degree sign
// (0xB0) and the five codes Windows-1252 leaves undefined come out as everywhere else.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace kv58::win32 {

std::wstring toWide(std::string_view cp1252);

// A character without a Windows-1252 code becomes '?'.
std::string fromWide(std::wstring_view utf16);

// The text of a window (a control's contents, a title) as Windows-1252.
std::string windowText(HWND window);
// The text of a combo box's list item ("" when there is no such item).
std::string comboItemText(HWND combo, int index);

}  // namespace kv58::win32
