#include "productcode/product_code_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "productcode/tables_file.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace kv58::test {
namespace {

const std::string kCode2Missing = "Fehler im ProduktCode!\nCode 2 (Bauform) fehlt!";
const std::string kTooShort = "Fehler im ProduktCode!\nProduktCode ist zu kurz!";
const std::string kCode14Malformed =
    "Fehler im ProduktCode!\nCode14 (Abbildung Temperaturausgang) [Txx] ist nicht definiert!";
const std::string kCode15Missing = "Fehler im ProduktCode!\nCode 15 (Anzeige Display) fehlt!";

std::string code12Undefined(const std::string& c) {
    return "Fehler im ProduktCode!\nCode 12 (Ausg\xE4nge) [" + c +
           "] ist ung\xFCltig oder\nnicht in der INI-Datei definiert!";
}

std::string code14Undefined(const std::string& t) {
    return "Fehler im ProduktCode!\nCode 14 (Abbildung Temperaturausgang) [" + t +
           "]\nist ung\xFCltig oder nicht in der INI-Datei definiert!";
}

// Everything the caller reads from an accepted code, for comparing two parses.
struct Decoded {
    std::string model, unit, display;
    int min, max, celsius, relay, tMin, tMax;
    bool operator==(const Decoded&) const = default;
};

Decoded decoded(const ProductCodeDecoder& d) {
    return {d.getModel(),   d.getOutputUnit(), d.getDisplay(), d.getOutputMin(), d.getOutputMax(),
            d.getCelsius(), d.getAlarmRelay(), d.getTempMin(), d.getTempMax()};
}

class ProductCodeDecoderTest : public ::testing::Test {
protected:
    ProductCodeDecoderTest() {
        writeFile(ini, standardTables());
        decoder.setIniFile(ini);
    }

    // Parses `code` and expects it rejected with exactly `message` (none when empty).
    void expectRejected(const std::string& code, const std::string& message) {
        ui.clear();
        EXPECT_EQ(decoder.parse(code), 0) << code;
        const std::vector<std::string> expected =
            message.empty() ? std::vector<std::string>{} : std::vector<std::string>{message};
        EXPECT_EQ(ui.texts(), expected) << code;
        for (const ShownMessage& m : ui.messages) {
            EXPECT_EQ(m.icon, MsgIcon::None);
            EXPECT_EQ(m.buttons, MsgButtons::Ok);
        }
    }

    void expectAccepted(const std::string& code) {
        ui.clear();
        EXPECT_EQ(decoder.parse(code), 1) << code;
        EXPECT_TRUE(ui.messages.empty()) << code << ": " << ui.texts().front();
    }

    TempDir dir;
    std::string ini = dir.file("KV58.ini");
    RecordingUi ui;
    ProductCodeDecoder decoder{ui};
};

TEST_F(ProductCodeDecoderTest, DecodesTheWorkedExample) {
    expectAccepted("FT-A1-D03-SW-6-T02-TH");
    EXPECT_EQ(decoded(decoder), (Decoded{"KV58-FT", "mA", "TH", 4, 20, 1, 1, -20, 80}));
}

TEST_F(ProductCodeDecoderTest, CleaningDropsEverythingButAsciiLettersAndDigits) {
    expectAccepted("FTA16T02TE");
    const Decoded plain = decoded(decoder);
    for (const std::string code : {"FT-A1-6-T02-TE", " F T / A 1 . 6 _ T02 TE ",
                                   "F\xE4T-A1\xC3\xA4-6T02-TE\xFF", "FT\tA1\r\n6T02TE"}) {
        expectAccepted(code);
        EXPECT_EQ(decoded(decoder), plain) << code;
    }
    EXPECT_EQ(plain, (Decoded{"KV58-FT", "mA", "TE", 4, 20, 1, 0, -20, 80}));
}

TEST_F(ProductCodeDecoderTest, TextBeforeTheFirstUpperCaseFIsIgnored) {
    expectAccepted("kv58-ft-xyz-FTA16T02");
    EXPECT_EQ(decoder.getModel(), "KV58-FT");
    // An F in the prefix starts the designation there: designation F, Code 2 = F, and the
    // A after it is then read as Code 12.
    expectRejected("XF-FTA16T02", code12Undefined("A"));
    EXPECT_EQ(decoder.getModel(), "KV58-F");
}

TEST_F(ProductCodeDecoderTest, CodeWithoutUpperCaseFIsRejectedSilently) {
    expectRejected("", "");
    expectRejected("1234567", "");
    expectRejected("ft-a1-6-t02", "");
}

TEST_F(ProductCodeDecoderTest, ModelNameKeepsThreeDesignationCharacters) {
    expectAccepted("FTDEH-A1-6-T02");
    EXPECT_EQ(decoder.getModel(), "KV58-FTD");
    EXPECT_EQ(decoder.getOutputMax(), 20);  // the cursor moved past the whole designation
    expectAccepted("FtA16T02");
    EXPECT_EQ(decoder.getModel(), "KV58-Ft");
    EXPECT_EQ(decoder.getTempMax(), 80);  // a lower-case t marks temperature too
}

TEST_F(ProductCodeDecoderTest, CodeEndingAtTheDesignationLacksCode2) {
    expectRejected("FT", kCode2Missing);
    expectRejected("xyFTDE", kCode2Missing);
    expectRejected("F", kCode2Missing);
}

TEST_F(ProductCodeDecoderTest, Code2WidthDependsOnItsLetter) {
    for (const std::string code2 : {"A1", "F1", "G1", "B12", "C1234"}) {
        expectAccepted("FT" + code2 + "6T02");
        EXPECT_EQ(decoder.getOutputUnit(), "mA") << code2;
    }
    // One character less and Code 12 is read from the temperature code's first letter.
    expectRejected("FTB16T02", code12Undefined("T"));
    expectRejected("FTC1236T02", code12Undefined("T"));
}

TEST_F(ProductCodeDecoderTest, SkipPastTheEndIsTooShortButEndingExactlyIsNot) {
    expectRejected("FTA", kTooShort);
    expectRejected("FTB1", kTooShort);
    expectRejected("FTC123", kTooShort);
    // Ending exactly after Code 2 passes every check up to Code 12, which is then empty.
    expectRejected("FTA1", code12Undefined(""));
    expectRejected("FTC1234", code12Undefined(""));
    expectRejected("FTA1D03SW", code12Undefined(""));
    // With bare Min, Max and Unit keys the empty Code 12 is found, and the cursor that
    // stepped over it is past the end.
    writeFile(ini, iniText({"[Output]", "Min=0", "Max=1", "Unit=V"}));
    expectRejected("FTA1", kTooShort);
}

TEST_F(ProductCodeDecoderTest, OptionalTokensAreRecognisedInTheirOrderOnly) {
    expectAccepted("FTA1-D03-SW-C12-QS47-CA1-6-T02-TE");
    EXPECT_EQ(decoder.getAlarmRelay(), 1);
    EXPECT_EQ(decoder.getOutputUnit(), "mA");
    EXPECT_EQ(decoder.getDisplay(), "TE");
    // After SW, D03 is no longer the display option; its D is read as Code 12.
    expectRejected("FTA1-SW-D03-6-T02-TH", code12Undefined("D"));
    // Out of order after QS47, SW is not the relay option.
    expectRejected("FTA1-QS47-SW-6-T02", code12Undefined("S"));
    // A C followed by a non-digit is no C-option.
    expectRejected("FTA1-CX1-6-T02", code12Undefined("C"));
    // Nor is a C-option cut short by the end of the code.
    expectRejected("FTA1-C1", code12Undefined("C"));
}

TEST_F(ProductCodeDecoderTest, OutputCodeMustBeInTheTable) {
    expectRejected("FTA1-9-T02", code12Undefined("9"));
    expectAccepted("FTA1-1-T02");
    EXPECT_EQ(decoder.getOutputMin(), 0);
    EXPECT_EQ(decoder.getOutputMax(), 10);
    EXPECT_EQ(decoder.getOutputUnit(), "V");
}

TEST_F(ProductCodeDecoderTest, MissingSettingsFileRejectsAtCode12) {
    decoder.setIniFile(dir.file("absent.ini"));
    expectRejected("FTA16T02", code12Undefined("6"));
}

TEST_F(ProductCodeDecoderTest, FahrenheitOptionSwitchesUnitAndKeys) {
    expectAccepted("FTA1-6-E01-T02");
    EXPECT_EQ(decoder.getCelsius(), 0);
    EXPECT_EQ(decoder.getTempMin(), -4);
    EXPECT_EQ(decoder.getTempMax(), 176);
    writeFile(ini, iniText({"[Output]", "Min6=4", "Max6=20", "Unit6=mA", "[Temperatur]",
                            "T02MinC=-20", "T02MaxC=80"}));
    expectRejected("FTA1-6-E01-T02", code14Undefined("T02"));
    expectAccepted("FTA1-6-T02");
    EXPECT_EQ(decoder.getCelsius(), 1);
    // Only the full E01 is the option; E0X stands where Code 14 is read.
    expectRejected("FTA1-6-E0X-T02", code14Undefined("E0X"));
}

TEST_F(ProductCodeDecoderTest, TemperatureModelNeedsAWellFormedCode14) {
    expectRejected("FTA16", kCode14Malformed);
    expectRejected("FTA16T0", kCode14Malformed);
    expectRejected("FTA16XT0", kCode14Malformed);
    expectRejected("FTA16E01", kCode14Malformed);
    expectRejected("FTA16T99", code14Undefined("T99"));
    // Only the second character is checked; the first may be anything.
    writeFile(ini, standardTables() + iniText({"Q05MinC=0", "Q05MaxC=50"}));
    expectAccepted("FTA16Q05");
    EXPECT_EQ(decoder.getTempMax(), 50);
}

TEST_F(ProductCodeDecoderTest, ModelWithoutTemperatureReportsHumidityOnly) {
    expectAccepted("FHA16");
    EXPECT_EQ(decoded(decoder), (Decoded{"KV58-FH", "mA", "RH", 4, 20, 1, 0, 0, 0}));
    // Three characters after Code 12 are still taken as Code 14 and must be in the table,
    // but neither the range nor Code 15 reaches the caller.
    expectAccepted("FHA16T02TE");
    EXPECT_EQ(decoder.getDisplay(), "RH");
    EXPECT_EQ(decoder.getTempMin(), 0);
    EXPECT_EQ(decoder.getTempMax(), 0);
    expectRejected("FHA16XY9", code14Undefined("XY9"));
    expectAccepted("FHA16TE");  // two characters are no Code 14
    EXPECT_EQ(decoder.getDisplay(), "RH");
    expectAccepted("F-A16T02");  // a one-character designation has no temperature either
    EXPECT_EQ(decoder.getTempMax(), 0);
}

TEST_F(ProductCodeDecoderTest, DisplayOptionMakesCode15Mandatory) {
    expectRejected("FTA1-D03-6-T02", kCode15Missing);
    expectRejected("FTA1-D03-6-T02-T", kCode15Missing);
    expectAccepted("FTA1-D03-6-T02-TE");
    EXPECT_EQ(decoder.getDisplay(), "TE");
    expectAccepted("FTA1-6-T02");
    EXPECT_EQ(decoder.getDisplay(), "TH");
    expectAccepted("FTA1-6-T02-T");  // without D03 even a single character is Code 15
    EXPECT_EQ(decoder.getDisplay(), "T");
    expectAccepted("FTA1-6-T02-TE-XYZ-123");  // anything after Code 15 is ignored
    EXPECT_EQ(decoder.getDisplay(), "TE");
}

TEST_F(ProductCodeDecoderTest, EachParseStartsFromAFreshResult) {
    expectAccepted("FTA1-SW-6-E01-T02");
    expectAccepted("FHA1-1");
    EXPECT_EQ(decoded(decoder), (Decoded{"KV58-FH", "V", "RH", 0, 10, 1, 0, 0, 0}));
}

}  // namespace
}  // namespace kv58::test
