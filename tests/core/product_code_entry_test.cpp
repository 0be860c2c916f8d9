#include <gtest/gtest.h>

#include "core/dialog_ids.h"
#include "core/dialog_model.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace kv58 {
namespace {

using test::RecordingUi;

struct NullView : DialogView {
    void refresh() override {}
    void post(int) override {}
    void endDialog(int) override {}
    void showAbout() override {}
    void showContact() override {}
};

class ProductCodeEntry : public ::testing::Test {
protected:
    ProductCodeEntry() {
        settings.IniPath = dir.file("KV58.ini");
        test::writeFile(
            settings.IniPath,
            "[Output]\r\nMin6=4\r\nMax6=20\r\nUnit6=mA\r\nMin7=1\r\nMax7=9\r\nUnit7=V\r\n"
            "[Temperatur]\r\nT02MinC=-20\r\nT02MaxC=80\r\nT02MinF=-4\r\nT02MaxF=176\r\n");
        settings.Limits = {-40, 120, 20, -40, 248, 36};
        model.showEntries();
        model.hideStartupControls();
        // A KV58-FT read earlier: 0 - 10 V, %RH / °C, relay No, -20 … 80.
        data.actual = {0xB013, -20, 80, "01.02", "SN"};
        data.newConfig = data.actual;
        model.ShowActualConfiguration();
        model.FillTransmitterTypes();
        ui.clear();
    }
    // Types the code into the field and leaves it.
    bool enter(const std::string& code) {
        model.focusChanged(ids::kProductCode);
        model.setControlText(ids::kProductCode, code);
        model.focusChanged(ids::kOutputList);
        return model.focused() != ids::kProductCode;
    }
    std::string selected(int listId) const { return model.list(listId).selectedText(); }

    test::TempDir dir;
    Settings settings;
    TransmitterData data;
    RecordingUi ui;
    NullView view;
    DialogModel model{ui, view, settings, data};
};

TEST_F(ProductCodeEntry, AcceptedCodeSetsTheNewConfiguration) {
    EXPECT_TRUE(enter("FT-A1-SW-6-T02-TH"));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(selected(ids::kTypeList), "KV58-FT");
    EXPECT_EQ(selected(ids::kOutputList), "4 - 20 mA");
    EXPECT_EQ(selected(ids::kDisplayList),
              "%RH / \xB0"
              "C");
    EXPECT_EQ(selected(ids::kRelayList), "Yes");
    EXPECT_EQ(model.tMin(), -20);
    EXPECT_EQ(model.tMax(), 80);
    EXPECT_EQ(model.control(ids::kTMaxEdit).text, "80");
    EXPECT_EQ(model.buildConfigWord(), 0x3133);
}

TEST_F(ProductCodeEntry, ShortModelNamePicksItsOwnTypeAndGetsNoTemperature) {
    EXPECT_TRUE(enter("F-A1-6-T02-TE"));
    EXPECT_EQ(selected(ids::kTypeList), "KV58-F");
    EXPECT_EQ(selected(ids::kDisplayList), "%RH");
    EXPECT_EQ(model.tMin(), 0);
    EXPECT_EQ(model.tMax(), 0);
}

TEST_F(ProductCodeEntry, UnmatchedValuesLeaveSelectionsAsTheTypeLeftThem) {
    EXPECT_TRUE(enter("FT-A1-7-E01-T02-TH"));  // 1 - 9 V matches no output; °F texts absent
    EXPECT_EQ(selected(ids::kOutputList), "0 - 10 V");
    EXPECT_EQ(selected(ids::kDisplayList),
              "%RH / \xB0"
              "C");
    EXPECT_EQ(model.tMin(), -4);
    EXPECT_EQ(model.tMax(), 176);
    EXPECT_FALSE(model.list(ids::kUnitList).hasSelection());
}

TEST_F(ProductCodeEntry, RejectedCodeChangesNothingAndTakesTheFocusBack) {
    model.list(ids::kOutputList).setSelected(3);
    EXPECT_FALSE(enter("FT-A1-9-T02"));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::None);  // the parser's own message
    EXPECT_EQ(ui.messages[1].text, "Invalid ProduktCode!");
    EXPECT_EQ(ui.messages[1].icon, MsgIcon::Exclamation);
    EXPECT_EQ(ui.focus.back(), ids::kProductCode);
    EXPECT_EQ(selected(ids::kOutputList), "4 - 20 mA");
    EXPECT_EQ(model.tMin(), -20);
}

TEST_F(ProductCodeEntry, CodeWithoutFGivesOnlyTheSummary) {
    EXPECT_FALSE(enter("12345"));
    EXPECT_EQ(ui.texts(), std::vector<std::string>{"Invalid ProduktCode!"});
}

TEST_F(ProductCodeEntry, EmptyFieldDoesNothing) {
    EXPECT_TRUE(enter(""));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(selected(ids::kOutputList), "0 - 10 V");
}

}  // namespace
}  // namespace kv58
