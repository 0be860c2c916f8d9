#include "core/dialog_model.h"

#include <gtest/gtest.h>

#include "core/dialog_ids.h"
#include "support/recording_ui.h"

namespace kv58 {
namespace {

using test::RecordingUi;

struct CountingView : DialogView {
    void refresh() override { ++refreshes; }
    void post(int) override {}
    void endDialog(int) override {}
    void showAbout() override {}
    void showContact() override {}
    int refreshes = 0;
};

class DialogModelTest : public ::testing::Test {
protected:
    DialogModelTest() {
        settings.Limits = {-40, 120, 50, -40, 248, 90};
        model.showEntries();  // the dialog's initial transfer of its members
        model.hideStartupControls();
    }

    // What a successful read leaves: the actual configuration shown, the new one a copy.
    void read(int32_t word, int32_t tMin = -20, int32_t tMax = 80) {
        data.actual = {word, tMin, tMax, "01.02", "SN1"};
        data.newConfig = data.actual;
        model.ShowActualConfiguration();
        model.FillTransmitterTypes();
    }
    std::vector<std::string> itemTexts(int id) const {
        std::vector<std::string> out;
        for (const auto& item : model.list(id).items())
            out.push_back(item.text);
        return out;
    }
    void typeRange(int32_t tMin, int32_t tMax) {
        model.setControlText(ids::kTMinEdit, std::to_string(tMin));
        model.setControlText(ids::kTMaxEdit, std::to_string(tMax));
    }

    Settings settings;
    TransmitterData data;
    RecordingUi ui;
    CountingView view;
    DialogModel model{ui, view, settings, data};
};

TEST(ListControl, SelectStringStartsAfterTheGivenItemAndWraps) {
    ListControl l;
    for (const char* t : {"KV58-FT", "KV58-F", "KV58-FPT"})
        l.add(t, 0);
    l.setSelected(0);
    EXPECT_EQ(l.selectString(0, "KV58-F"), 1);   // not item 0, which also begins so
    EXPECT_EQ(l.selectString(0, "kv58-ft"), 0);  // wraps round to item 0, case ignored
    EXPECT_EQ(l.selectString(0, "KV58-X"), -1);
    EXPECT_EQ(l.selected(), 0);            // a failed search keeps the selection
    EXPECT_EQ(l.selectString(0, ""), -1);  // empty text finds nothing
    EXPECT_EQ(l.setSelected(5), -1);       // outside the list: no selection
}

TEST_F(DialogModelTest, ShowsActualConfigurationTexts) {
    read(0x8313 | 0x3000);
    EXPECT_EQ(model.control(ids::kTypeText).text, "KV58-FT");
    EXPECT_EQ(model.control(ids::kOutputText).text, "0 - 10 V");
    EXPECT_EQ(model.control(ids::kUnitText).text,
              "\xB0"
              "C");
    EXPECT_EQ(model.control(ids::kTMinUnit).text,
              "\xB0"
              "C");
    EXPECT_EQ(model.control(ids::kTMinText).text, "-20");
    EXPECT_EQ(model.control(ids::kDisplayText).text,
              "%RH / \xB0"
              "C");
    EXPECT_EQ(model.control(ids::kRelayText).text, "Yes");
    EXPECT_EQ(model.control(ids::kFactoryText).text, "Yes");
    EXPECT_EQ(model.control(ids::kSerialText).text, "SN1");
    EXPECT_EQ(model.list(ids::kOutputList).selectedText(), "0 - 10 V");
    EXPECT_EQ(model.list(ids::kDisplayList).selectedText(),
              "%RH / \xB0"
              "C");
    EXPECT_EQ(model.control(ids::kTMinEdit).text, "-20");
    EXPECT_GT(view.refreshes, 0);
}

TEST_F(DialogModelTest, KV58FOffersOutputAndHumidityDisplayOnly) {
    read(0x1011);
    EXPECT_EQ(model.list(ids::kTypeList).selectedText(), "KV58-F");
    EXPECT_EQ(itemTexts(ids::kOutputList).size(), 4u);
    EXPECT_EQ(itemTexts(ids::kDisplayList), std::vector<std::string>{"%RH"});
    EXPECT_TRUE(model.list(ids::kDisplayList).enabled);
    EXPECT_FALSE(model.list(ids::kUnitList).enabled);
    EXPECT_EQ(model.list(ids::kUnitList).count(), 0);
    EXPECT_FALSE(model.list(ids::kRelayList).enabled);
    EXPECT_FALSE(model.control(ids::kTMinEdit).enabled);
    EXPECT_FALSE(model.control(ids::kTMaxEdit).enabled);
}

TEST_F(DialogModelTest, UnknownTypeBitsFallBackToKV58FT) {
    for (int32_t bits : {0, 7}) {
        read(0x0010 | bits);
        EXPECT_EQ(model.list(ids::kTypeList).selectedText(), "KV58-FT") << bits;
        EXPECT_TRUE(model.control(ids::kTMinEdit).enabled);
        EXPECT_EQ(model.list(ids::kDisplayList).count(), 3);
    }
}

TEST_F(DialogModelTest, PreviousChoicesSurviveTheNextRead) {
    read(0x3033);                                  // KV58-FT, 4 - 20 mA, %RH / °C, relay No
    model.list(ids::kDisplayList).setSelected(2);  // user picks "°C"
    model.list(ids::kOutputList).selectString(0, "0 - 5 V");  // and another output
    read(0x1113);  // another KV58-FT: 0 - 10 V, %RH, relay Yes
    EXPECT_EQ(model.list(ids::kOutputList).selectedText(), "0 - 5 V");  // kept by text
    EXPECT_EQ(model.list(ids::kDisplayList).selected(), 2);             // kept by position
    EXPECT_EQ(model.list(ids::kRelayList).selectedText(), "No");        // the previous text wins
}

TEST_F(DialogModelTest, RelayYesStaysAfterReadingARelayNoTransmitter) {
    read(0x3113);
    ASSERT_EQ(model.list(ids::kRelayList).selectedText(), "Yes");
    read(0x3013);
    EXPECT_EQ(model.list(ids::kRelayList).selectedText(), "Yes");
    EXPECT_FALSE(model.list(ids::kRelayList).enabled);
}

TEST_F(DialogModelTest, DisplayPositionBeyondTheNewListLeavesNoSelection) {
    read(0x2013);
    ASSERT_EQ(model.list(ids::kDisplayList).selected(), 2);  // "°C"
    read(0x1011);                                            // KV58-F: one display item
    EXPECT_EQ(model.list(ids::kDisplayList).count(), 1);
    EXPECT_FALSE(model.list(ids::kDisplayList).hasSelection());
}

TEST_F(DialogModelTest, FahrenheitTransmitterUsesFahrenheitTexts) {
    read(0x7013, 32, 160);
    EXPECT_EQ(model.control(ids::kTMinUnit).text,
              "\xB0"
              "F");
    EXPECT_EQ(itemTexts(ids::kDisplayList)[0],
              "%RH / \xB0"
              "F");
    EXPECT_FALSE(model.list(ids::kUnitList).enabled);
    typeRange(-100, 300);
    model.CheckTemperatureRange();
    EXPECT_EQ(model.tMin(), -40);
    EXPECT_EQ(model.tMax(), 248);
}

TEST_F(DialogModelTest, RangeCheckCorrectsWithMessage163) {
    read(0x3013);
    typeRange(-50, 200);
    model.CheckTemperatureRange();
    EXPECT_EQ(model.tMin(), -40);
    EXPECT_EQ(model.tMax(), 120);
    EXPECT_EQ(data.newConfig.nTempVon, -40);
    EXPECT_EQ(data.newConfig.nTempBis, 120);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "Value invalid - will be corrected automatically!\n\tmin. = -40 \xB0"
              "C\n\tmax. = "
              "120 \xB0"
              "C\n\tdiff. = 50 \xB0"
              "C");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(model.control(ids::kTMinEdit).text, "-40");

    typeRange(100, 110);
    model.CheckTemperatureRange();
    EXPECT_EQ(model.tMin(), 70);
    EXPECT_EQ(model.tMax(), 120);

    ui.messages.clear();
    typeRange(0, 0);
    model.CheckTemperatureRange();
    EXPECT_EQ(model.tMin(), 0);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(DialogModelTest, ZeroLimitsForceEverythingToZero) {
    settings.Limits = {};
    read(0x3013);
    typeRange(5, 10);
    model.CheckTemperatureRange();
    EXPECT_EQ(model.tMin(), 0);
    EXPECT_EQ(model.tMax(), 0);
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(DialogModelTest, AnotherDegreeSignStillSelectsCelsius) {
    settings.TSym = '*';
    read(0x3013);
    EXPECT_EQ(model.control(ids::kTMinUnit).text, "*C");
    typeRange(-50, 100);
    model.CheckTemperatureRange();
    EXPECT_EQ(model.tMin(), -40);  // the Celsius triple applied
}

TEST_F(DialogModelTest, NonIntegerEntryIsReportedAndTheHeldValueUsed) {
    read(0x3013);
    model.setControlText(ids::kTMinEdit, "12a");
    model.CheckTemperatureRange();
    EXPECT_EQ(ui.messages.at(0).text, "Please enter an integer.");
    EXPECT_EQ(model.tMin(), -20);
    EXPECT_EQ(model.control(ids::kTMinEdit).text, "-20");
}

TEST_F(DialogModelTest, EnterMovesToTheNextTabStopAndChecksTheRange) {
    read(0x3013);
    model.focusChanged(ids::kTMaxEdit);
    typeRange(-20, 500);
    EXPECT_FALSE(model.enterPressed());
    EXPECT_EQ(model.focused(), ids::kDisplayList);
    EXPECT_EQ(ui.focus.back(), ids::kDisplayList);
    EXPECT_EQ(model.tMax(), 120);  // the range check ran on leaving T max
    EXPECT_EQ(ui.messages.size(), 1u);

    // Past the last usable tab stop it wraps round to the output list.
    EXPECT_FALSE(model.enterPressed());
    EXPECT_EQ(model.focused(), ids::kOutputList);
}

TEST_F(DialogModelTest, EnterWithoutFocusDoesNothing) {
    EXPECT_FALSE(model.enterPressed());
    EXPECT_TRUE(ui.focus.empty());
}

TEST_F(DialogModelTest, LastValuesSkipListsWithoutSelection) {
    read(0x3033);
    model.takeEntries();
    const LastValues v = model.lastValues();
    EXPECT_EQ(v.transmitter, "KV58-FT");
    EXPECT_EQ(v.output, "4 - 20 mA");
    EXPECT_FALSE(v.tUnit.has_value());
    EXPECT_EQ(v.display,
              "%RH / \xB0"
              "C");
    EXPECT_EQ(v.alarmRelay, "No");
    EXPECT_EQ(v.tMin, -20);
    EXPECT_EQ(v.tMax, 80);
}

TEST_F(DialogModelTest, WordFromTheListsCarriesNoUnitBit) {
    read(0x7033, 32, 160);
    EXPECT_EQ(model.buildConfigWord(), 0x3033);
}

}  // namespace
}  // namespace kv58
