// Text helpers. Inside the library every text is a std::string of Windows-1252 bytes (the
// degree sign is the single byte 0xB0); conversion to and from UTF-8 happens only at the
// edges that talk to a terminal, a JSON consumer or a GUI toolkit.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>

namespace kv58 {

// The formats that strprintf checks. With mingw-w64, "printf" would mean the old Windows C
// library's dialect (no %zu); C++ programs there format with mingw's own C99 printf.
#ifdef __MINGW32__
#define KV58_PRINTF_CHECK gnu_printf
#else
#define KV58_PRINTF_CHECK printf
#endif

// printf-style formatting into a std::string.
std::string strprintf(const char* format, ...) __attribute__((format(KV58_PRINTF_CHECK, 1, 2)));
// The same with the arguments of a caller's own variadic function.
std::string vstrprintf(const char* format, va_list args)
    __attribute__((format(KV58_PRINTF_CHECK, 1, 0)));

// Windows-1252 to UTF-8. The five codes that Windows-1252 leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) map to the C1 control characters of the same value, as Windows does.
std::string cp1252ToUtf8(std::string_view text);

// Windows-1252 to UTF-8 for a terminal, for texts that come from a transmitter or a file: every
// control character (C0, DEL, and the C1 controls of the five undefined codes) is written as
// \xNN, so that no such text can move the cursor, retitle the window or hide what follows.
std::string cp1252ToTerminal(std::string_view text);

// UTF-8 to Windows-1252; a character without a Windows-1252 code becomes '?'. Bytes that are
// not valid UTF-8 are taken as Windows-1252 bytes unchanged.
std::string utf8ToCp1252(std::string_view text);

// True when the text is well-formed UTF-8 and holds at least one multi-byte sequence (pure
// ASCII is both encodings and gives false).
bool isUtf8WithMultibyte(std::string_view text);

// Removes the given characters from both ends.
std::string_view trimView(std::string_view text, std::string_view chars = " \t");
std::string trim(std::string_view text, std::string_view chars = " \t");

// Leading-prefix decimal conversion (like atoi): optional white space, optional sign, digits up
// to the first non-digit; anything that does not start like a number gives 0. Values beyond the
// 32-bit range saturate.
int32_t leadingInt(std::string_view text);

// The value of a hexadecimal digit (0-9, A-F, a-f), or -1 for any other character.
int hexDigitValue(char c);

// The settings' yes/no rule: yes when the first character is 1, J, j, Y or y.
bool isYes(std::string_view text);

// ASCII-only case folding, as the profile calls and list searches compare names.
char toUpperAscii(char c);
char toLowerAscii(char c);
bool equalsIgnoreCase(std::string_view a, std::string_view b);
bool startsWithIgnoreCase(std::string_view text, std::string_view prefix);

}  // namespace kv58
