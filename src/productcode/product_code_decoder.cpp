#include "productcode/product_code_decoder.h"

#include <string_view>

#include "base/text.h"

namespace kv58 {

namespace {

constexpr const char* kCode2Missing = "Fehler im ProduktCode!\nCode 2 (Bauform) fehlt!";
constexpr const char* kTooShort = "Fehler im ProduktCode!\nProduktCode ist zu kurz!";
constexpr const char* kCode12Undefined =
    "Fehler im ProduktCode!\nCode 12 (Ausg\xE4nge) [%s] ist ung\xFCltig oder\n"
    "nicht in der INI-Datei definiert!";
// "Code14" without a blank and the literal [Txx] are part of the text users know.
constexpr const char* kCode14Malformed =
    "Fehler im ProduktCode!\nCode14 (Abbildung Temperaturausgang) [Txx] ist nicht definiert!";
constexpr const char* kCode14Undefined =
    "Fehler im ProduktCode!\nCode 14 (Abbildung Temperaturausgang) [%s]\n"
    "ist ung\xFCltig oder nicht in der INI-Datei definiert!";
constexpr const char* kCode15Missing = "Fehler im ProduktCode!\nCode 15 (Anzeige Display) fehlt!";

bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isAsciiAlnum(char c) {
    return isAsciiDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Letters that end the model designation; Code 2 is always one of them.
bool endsDesignation(char c) {
    return c == 'A' || c == 'B' || c == 'C' || c == 'F' || c == 'G';
}

// Keeps the ASCII letters and digits only: hyphens, blanks, dots, umlauts and every byte above
// 127 are dropped, so "FT-A1" and "FTA1" decode alike.
std::string cleanCode(std::string_view code) {
    std::string clean;
    for (char c : code) {
        if (isAsciiAlnum(c))
            clean += c;
    }
    return clean;
}

}  // namespace

// The cleaned code with the read position. The position may pass the end by a skip; every
// read near or past the end gives a shorter or empty text, never an out-of-range access.
struct ProductCodeDecoder::Cursor {
    std::string code;
    size_t pos = 0;

    bool atEnd() const { return pos >= code.size(); }
    bool pastEnd() const { return pos > code.size(); }
    // At most n characters from the position on.
    std::string take(size_t n) const { return atEnd() ? std::string() : code.substr(pos, n); }
    void advance(size_t n) { pos += n; }
};

ProductCodeDecoder::ProductCodeDecoder(UserInterface& userInterface) : ui(userInterface) {
    reset();
}

void ProductCodeDecoder::reset() {
    model.clear();
    displayCode.clear();
    alarmRelay = 0;
    celsius = 1;
    hasTemperature = 1;
    outputMin = 0;
    outputMax = 0;
    outputUnit.clear();
    tempMin = 0;
    tempMax = 0;
}

void ProductCodeDecoder::setIniFile(const std::string& path) {
    iniFile = path;
}

int ProductCodeDecoder::parse(const std::string& code) {
    Cursor cursor{cleanCode(code), 0};
    reset();
    const size_t firstF = cursor.code.find('F');
    if (firstF == std::string::npos)
        return 0;  // silently: the caller reports it
    cursor.pos = firstF;
    if (!takeModel(cursor) || !skipCode2(cursor))
        return 0;
    bool displayOption = false;
    if (!skipOptionalTokens(cursor, displayOption) || !decodeOutput(cursor) ||
        !decodeFahrenheitOption(cursor) || !decodeTemperature(cursor) ||
        !decodeDisplay(cursor, displayOption)) {
        return 0;
    }
    return 1;
}

// The designation is the F and everything up to the next A, B, C, F or G; the model name keeps
// at most three of its characters, the cursor moves past all of them.
bool ProductCodeDecoder::takeModel(Cursor& cursor) {
    std::string designation(1, cursor.code[cursor.pos]);
    cursor.advance(1);
    while (!cursor.atEnd() && !endsDesignation(cursor.code[cursor.pos])) {
        designation += cursor.code[cursor.pos];
        cursor.advance(1);
    }
    model = strprintf("KV58-%s", designation.substr(0, 3).c_str());
    hasTemperature = designation.size() >= 2 && (designation[1] == 'T' || designation[1] == 't');
    if (cursor.atEnd())
        return reject(kCode2Missing);
    return true;
}

// Code 2 and the character after it; B takes one more, C three more.
bool ProductCodeDecoder::skipCode2(Cursor& cursor) {
    const char code2 = cursor.code[cursor.pos];
    cursor.advance(2);
    if (code2 == 'C')
        cursor.advance(2);
    if (code2 == 'B' || code2 == 'C')
        cursor.advance(1);
    return withinCode(cursor);
}

// D03, SW, the C-option (C, a digit, one more character), QS47 and CA1, each tested once in
// this order; a token out of order is not one and falls through to Code 12.
bool ProductCodeDecoder::skipOptionalTokens(Cursor& cursor, bool& displayOption) {
    displayOption = cursor.take(3) == "D03";
    if (displayOption)
        cursor.advance(3);
    if (!withinCode(cursor))
        return false;
    if (cursor.take(2) == "SW") {
        cursor.advance(2);
        alarmRelay = 1;
    }
    if (!withinCode(cursor))
        return false;
    const std::string cOption = cursor.take(3);
    if (cOption.size() == 3 && cOption[0] == 'C' && isAsciiDigit(cOption[1]))
        cursor.advance(3);
    if (!withinCode(cursor))
        return false;
    if (cursor.take(4) == "QS47")
        cursor.advance(4);
    if (!withinCode(cursor))
        return false;
    if (cursor.take(3) == "CA1")
        cursor.advance(3);
    return withinCode(cursor);
}

// Code 12: one character (empty at the end of the code), resolved through "Output".
bool ProductCodeDecoder::decodeOutput(Cursor& cursor) {
    const std::string code12 = cursor.take(1);
    cursor.advance(1);
    if (!lookupOutput(iniFile, code12)) {
        return reject(strprintf(kCode12Undefined, code12.c_str()));
    }
    return withinCode(cursor);
}

bool ProductCodeDecoder::decodeFahrenheitOption(Cursor& cursor) {
    if (cursor.take(3) == "E01") {
        cursor.advance(3);
        celsius = 0;
    }
    return withinCode(cursor);
}

// Code 14: three characters, resolved through "Temperatur" in the unit chosen by E01. A model
// without temperature needs none, but three characters standing there are taken as Code 14.
bool ProductCodeDecoder::decodeTemperature(Cursor& cursor) {
    const std::string code14 = cursor.take(3);
    if (hasTemperature && (code14.size() < 3 || !isAsciiDigit(code14[1]))) {
        return reject(kCode14Malformed);
    }
    if (code14.size() == 3) {
        cursor.advance(3);
        if (!lookupTemperature(iniFile, code14, celsius)) {
            return reject(strprintf(kCode14Undefined, code14.c_str()));
        }
    }
    displayCode = hasTemperature ? "TH" : "RH";
    return withinCode(cursor);
}

// Code 15: two characters, required after D03; anything after it is ignored.
bool ProductCodeDecoder::decodeDisplay(Cursor& cursor, bool displayOptionPresent) {
    const std::string code15 = cursor.take(2);
    if (displayOptionPresent && code15.size() < 2)
        return reject(kCode15Missing);
    if (!code15.empty())
        displayCode = code15;
    return true;
}

// The code may end exactly where a position ends; only a skip past the end is too short.
bool ProductCodeDecoder::withinCode(const Cursor& cursor) {
    if (cursor.pastEnd())
        return reject(kTooShort);
    return true;
}

bool ProductCodeDecoder::reject(const std::string& message) {
    ui.messageBox(message, MsgIcon::None, MsgButtons::Ok);
    return false;
}

}  // namespace kv58
