#include <gtest/gtest.h>

#include <string>

#include "productcode/product_code_decoder.h"
#include "productcode/tables_file.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace kv58::test {
namespace {

class ProductCodeTablesTest : public ::testing::Test {
protected:
    void writeIni(std::initializer_list<std::string> lines) { writeFile(ini, iniText(lines)); }

    TempDir dir;
    std::string ini = dir.file("KV58.ini");
    RecordingUi ui;
    ProductCodeDecoder decoder{ui};
};

TEST_F(ProductCodeTablesTest, OutputKeysAreFormedByConcatenation) {
    writeIni({"[Output]", "Min6=4", "Max6=20", "Unit6=mA", "Min=1", "Max=5", "Unit=V"});
    EXPECT_EQ(decoder.lookupOutput(ini, "6"), 1);
    EXPECT_EQ(decoder.getOutputMin(), 4);
    EXPECT_EQ(decoder.getOutputMax(), 20);
    EXPECT_EQ(decoder.getOutputUnit(), "mA");
    // An empty output code reads the bare keys Min, Max and Unit.
    EXPECT_EQ(decoder.lookupOutput(ini, ""), 1);
    EXPECT_EQ(decoder.getOutputMin(), 1);
    EXPECT_EQ(decoder.getOutputMax(), 5);
    EXPECT_EQ(decoder.getOutputUnit(), "V");
    EXPECT_EQ(decoder.lookupOutput(ini, "7"), 0);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ProductCodeTablesTest, QuestionMarkValuesAreUndefinedEmptyValuesAreDefined) {
    writeIni({"[Output]", "Min1=?", "Max1=10", "Unit1=V", "Min2=0", "Max2=?unset", "Unit2=V",
              "Min3=", "Max3=", "Unit3="});
    EXPECT_EQ(decoder.lookupOutput(ini, "1"), 0);
    EXPECT_EQ(decoder.lookupOutput(ini, "2"), 0);
    EXPECT_EQ(decoder.lookupOutput(ini, "3"), 1);
    EXPECT_EQ(decoder.getOutputMin(), 0);
    EXPECT_EQ(decoder.getOutputMax(), 0);
    EXPECT_EQ(decoder.getOutputUnit(), "");
}

TEST_F(ProductCodeTablesTest, ValuesConvertByTheirLeadingNumber) {
    writeIni(
        {"[Output]", "Min4=4mA", "Max4=-40", "Unit4=m A (loop)", "MinX=abc", "MaxX=+7", "UnitX=V"});
    ASSERT_EQ(decoder.lookupOutput(ini, "4"), 1);
    EXPECT_EQ(decoder.getOutputMin(), 4);
    EXPECT_EQ(decoder.getOutputMax(), -40);
    EXPECT_EQ(decoder.getOutputUnit(), "m A (loop)");
    ASSERT_EQ(decoder.lookupOutput(ini, "X"), 1);
    EXPECT_EQ(decoder.getOutputMin(), 0);
    EXPECT_EQ(decoder.getOutputMax(), 7);
}

TEST_F(ProductCodeTablesTest, UnitIsCutToTheReadBuffer) {
    const std::string longUnit(600, 'u');
    writeIni({"[Output]", "Min5=0", "Max5=1", "Unit5=" + longUnit});
    ASSERT_EQ(decoder.lookupOutput(ini, "5"), 1);
    EXPECT_EQ(decoder.getOutputUnit(), std::string(ProductCodeDecoder::kReadBufferSize - 1, 'u'));
}

TEST_F(ProductCodeTablesTest, OutputStopsAtTheFirstUndefinedKeyKeepingWhatWasRead) {
    writeIni({"[Output]", "Min6=4", "Unit6=mA"});
    EXPECT_EQ(decoder.lookupOutput(ini, "6"), 0);
    EXPECT_EQ(decoder.getOutputMin(), 4);
    EXPECT_EQ(decoder.getOutputUnit(), "");
}

TEST_F(ProductCodeTablesTest, TemperatureReadsTheKeysOfTheOrderedUnit) {
    writeFile(ini, standardTables());
    ASSERT_EQ(decoder.lookupTemperature(ini, "T02", 1), 1);
    // The accessors report the range only for a model with temperature, which a fresh
    // decoder assumes.
    EXPECT_EQ(decoder.getTempMin(), -20);
    EXPECT_EQ(decoder.getTempMax(), 80);
    ASSERT_EQ(decoder.lookupTemperature(ini, "T02", 0), 1);
    EXPECT_EQ(decoder.getTempMin(), -4);
    EXPECT_EQ(decoder.getTempMax(), 176);
}

TEST_F(ProductCodeTablesTest, TemperatureFailsWhenOnlyTheOtherUnitIsDefined) {
    writeIni({"[Temperatur]", "T05MinC=0", "T05MaxC=50", "T06MinF=32"});
    EXPECT_EQ(decoder.lookupTemperature(ini, "T05", 0), 0);
    EXPECT_EQ(decoder.lookupTemperature(ini, "T06", 0), 0);
    EXPECT_EQ(decoder.getTempMin(), 32);  // stored before the missing maximum
}

TEST_F(ProductCodeTablesTest, TemperatureRangeIsTakenWithoutRangeCheck) {
    writeIni({"[Temperatur]", "T09MinC=100", "T09MaxC=-100"});
    ASSERT_EQ(decoder.lookupTemperature(ini, "T09", 1), 1);
    EXPECT_EQ(decoder.getTempMin(), 100);
    EXPECT_EQ(decoder.getTempMax(), -100);
}

}  // namespace
}  // namespace kv58::test
