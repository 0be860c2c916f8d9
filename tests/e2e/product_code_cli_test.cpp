// kv58ctl product-code, run as a program against settings files of the test's own.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "device/choices.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace kv58::test {
namespace {

class ProductCodeCliTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string ini = dir.file("tables.ini");
};

// Windows-1252 bytes, as the settings files are written: the unit of code 7 is "µA".
const char* const kTables =
    "[Output]\r\nMin6=4\r\nMax6=20\r\nUnit6=mA\r\nMin7=0\r\nMax7=1\r\nUnit7=\xB5"
    "A\r\n[Temperatur]\r\nT02MinC=-20\r\nT02MaxC=80\r\nT02MinF=-4\r\nT02MaxF=176\r\n";

TEST_F(ProductCodeCliTest, PrintsTheDecodedConfiguration) {
    writeFile(ini, kTables);
    const ProgramRun r = kv58ctl({"--ini", ini, "product-code", "FT-A1-D03-SW-6-T02-TH"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "model:      KV58-FT\n"
              "outputMin:  4\n"
              "outputMax:  20\n"
              "outputUnit: mA\n"
              "celsius:    1 (C)\n"
              "alarmRelay: 1 (Yes)\n"
              "display:    TH\n"
              "tempMin:    -20\n"
              "tempMax:    80\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(ProductCodeCliTest, JsonCarriesTheAccessorValuesInUtf8) {
    writeFile(ini, kTables);
    // A code in several words is one code: blanks are dropped anyway.
    const ProgramRun r =
        kv58ctl({"product-code", "FTA1", "7", "E01", "T02", "--json", "--ini", ini});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "{\"model\": \"KV58-FT\", \"outputMin\": 0, \"outputMax\": 1, \"outputUnit\": "
              "\"\xC2\xB5"
              "A\", \"celsius\": false, \"alarmRelay\": false, \"display\": \"TH\", "
              "\"tempMin\": -4, \"tempMax\": 176}\n");
}

TEST_F(ProductCodeCliTest, RejectedCodeShowsTheReasonsAndFails) {
    writeFile(ini, kTables);
    ProgramRun r = kv58ctl({"--ini", ini, "product-code", "FT-A1-9-T02"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "kv58ctl: Fehler im ProduktCode!\n"
              "  Code 12 (Ausg\xC3\xA4nge) [9] ist ung\xC3\xBCltig oder\n"
              "  nicht in der INI-Datei definiert!\n"
              "kv58ctl: warning: Invalid ProduktCode!\n");
    // Without an upper-case F the summary is the only message.
    r = kv58ctl({"--ini", ini, "--json", "product-code", "ft-a1-6"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out,
              "{\"ok\": false, \"error\": \"Invalid ProduktCode!\", \"outcome\": "
              "\"unchanged\", \"wayBack\": null}\n");
    EXPECT_EQ(r.err, "kv58ctl: warning: Invalid ProduktCode!\n");
}

TEST_F(ProductCodeCliTest, MissingSettingsFileIsNamed) {
    const ProgramRun r = kv58ctl({"--ini", dir.file("none.ini"), "product-code", "FTA16T02"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("[6]"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(dir.file("none.ini") + " cannot be read"), std::string::npos) << r.err;
}

// The text mode's value of one field ("outputMin" ...).
std::string field(const std::string& out, const std::string& name) {
    const size_t at = out.find(name + ":");
    if (at == std::string::npos)
        return "";
    const size_t begin = out.find_first_not_of(' ', at + name.size() + 1);
    return out.substr(begin, out.find('\n', begin) - begin);
}

// The demo settings file beside kv58ctl is its default; its output rows must reproduce the
// texts of the output-signal list, or the dialog could not select them.
TEST_F(ProductCodeCliTest, ShippedTablesCoverTheOutputListAndBothUnits) {
    std::set<std::string> listed, decoded;
    for (const ChoiceRow& row : choiceTable(ChoiceList::Output))
        listed.insert(row.text);
    for (const std::string code12 : {"1", "2", "5", "6"}) {
        const ProgramRun r = kv58ctl({"product-code", "FT-A1-" + code12 + "-T02"});
        ASSERT_EQ(r.exitCode, 0) << code12 << ": " << r.err;
        decoded.insert(field(r.out, "outputMin") + " - " + field(r.out, "outputMax") + " " +
                       field(r.out, "outputUnit"));
    }
    EXPECT_EQ(decoded, listed);
    for (const std::string code14 : {"T01", "T02", "T03", "T04", "T05"}) {
        for (const std::string option : {"", "E01"}) {
            const ProgramRun r = kv58ctl({"product-code", "FT-A1-6-" + option + code14});
            EXPECT_EQ(r.exitCode, 0) << option << code14 << ": " << r.err;
        }
    }
    const ProgramRun r = kv58ctl({"product-code", "FT-A1-6-E01-T02"});
    EXPECT_EQ(field(r.out, "tempMin"), "-4");
    EXPECT_EQ(field(r.out, "tempMax"), "176");
}

TEST_F(ProductCodeCliTest, UsageErrors) {
    ProgramRun r = kv58ctl({"--ini", ini, "product-code"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no product code given"), std::string::npos) << r.err;
    r = kv58ctl({"--ini", ini, "product-code", "FTA16", "--frobnicate"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("unknown option --frobnicate"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace kv58::test
