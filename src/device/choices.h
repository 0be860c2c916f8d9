// The choices of the new-configuration column: for each list a table of rows (item id, text,
// bits of the configuration word), and per transmitter type which ids it offers.
//
// Unit texts are shown with the degree sign in front ("%c%s"); display texts that contain
// "%s" are formatted with the unit text, so "%%RH / %s" shows as "%RH / °C".
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kv58 {

struct ChoiceRow {
    int id;
    const char* text;
    uint16_t bits;
};

enum class ChoiceList { Type, Output, Unit, Display, Relay };

std::span<const ChoiceRow> choiceTable(ChoiceList list);
// The field of the configuration word a list sets.
uint16_t choiceMask(ChoiceList list);

// The first row whose bits equal `word` masked with the list's mask; null when none does.
const ChoiceRow* rowByBits(ChoiceList list, int32_t word);
// The row with this item id; null when none has it.
const ChoiceRow* rowById(ChoiceList list, int id);

// Which ids of each list a transmitter type offers, as bit sets of ids, and whether T min and
// T max apply to it.
struct AvailabilityRow {
    int typeId = 0;
    int outputIds = 0;
    int unitIds = 0;
    int displayIds = 0;
    int relayIds = 0;
    bool temperature = false;

    int idsFor(ChoiceList list) const;
};

// The row of this type id; null when the table has none.
const AvailabilityRow* availabilityFor(int typeId);

// "°C" / "°F": the degree sign followed by the unit row's text.
std::string unitText(char degreeSign, const ChoiceRow& unitRow);
// A row text with "%s" replaced by the unit text and "%%" by "%"; other texts unchanged.
std::string formatChoiceText(const ChoiceRow& row, const std::string& unit);

// How the actual-configuration column shows a configuration word; texts are empty where no
// row matches.
struct ConfigTexts {
    std::string type;
    std::string output;
    std::string unit;
    std::string display;
    std::string relay;
    bool factoryCalibration = false;
};
ConfigTexts describeConfigWord(int32_t word, char degreeSign);

// The word built from the dialog: each list's selected item id contributes its row's bits.
// An id of 0 (no selection) or without a row contributes nothing.
struct ChoiceSelection {
    int typeId = 0;
    int outputId = 0;
    int unitId = 0;
    int displayId = 0;
    int relayId = 0;
};
int32_t buildConfigWord(const ChoiceSelection& selection);

}  // namespace kv58
