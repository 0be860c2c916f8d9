#include "wide_text.h"

#include <climits>
#include <vector>

#include "base/text.h"

namespace kv58::win32 {

namespace {

// The conversions take int lengths; no text of these windows comes near that.
int lengthOf(size_t size) {
    return size > INT_MAX ? INT_MAX : static_cast<int>(size);
}

}  // namespace

std::wstring toWide(std::string_view cp1252) {
    const std::string utf8 = cp1252ToUtf8(cp1252);
    if (utf8.empty())
        return {};
    const int length = lengthOf(utf8.size());
    const int count = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    std::wstring wide(static_cast<size_t>(count), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), count);
    return wide;
}

std::string fromWide(std::wstring_view utf16) {
    if (utf16.empty())
        return {};
    const int length = lengthOf(utf16.size());
    const int count =
        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(count), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, utf8.data(), count, nullptr, nullptr);
    return utf8ToCp1252(utf8);
}

std::string windowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, buffer.data(), length + 1);
    return fromWide(std::wstring_view(buffer.data(), static_cast<size_t>(copied)));
}

std::string comboItemText(HWND combo, int index) {
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0)
        return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(buffer.data()));
    return fromWide(buffer.data());
}

}  // namespace kv58::win32
