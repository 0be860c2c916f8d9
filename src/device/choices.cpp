#include "device/choices.h"

#include <array>

namespace kv58 {

namespace {

constexpr std::array<ChoiceRow, 3> kTypes{{
    {1, "KV58-FT", 0x0003},
    {2, "KV58-F", 0x0001},
    {8, "KV58-FPT", 0x0005},
}};
constexpr std::array<ChoiceRow, 4> kOutputs{{
    {1, "0 - 10 V", 0x0010},
    {2, "0 - 5 V", 0x0000},
    {4, "0 - 20 mA", 0x0020},
    {8, "4 - 20 mA", 0x0030},
}};
constexpr std::array<ChoiceRow, 2> kUnits{{
    {1, "C", 0x0000},
    {2, "F", 0x4000},
}};
constexpr std::array<ChoiceRow, 3> kDisplays{{
    {4, "%%RH / %s", 0x3000},
    {1, "%RH", 0x1000},
    {2, "%s", 0x2000},
}};
constexpr std::array<ChoiceRow, 2> kRelays{{
    {1, "Yes", 0x0100},
    {2, "No", 0x0000},
}};

// Type id 4 has a row here but none in the type table, so it is never offered.
constexpr std::array<AvailabilityRow, 4> kAvailability{{
    {1, 15, 3, 7, 3, true},
    {2, 15, 0, 1, 3, false},
    {4, 15, 3, 2, 0, true},
    {8, 15, 0, 1, 3, false},
}};

}  // namespace

std::span<const ChoiceRow> choiceTable(ChoiceList list) {
    switch (list) {
        case ChoiceList::Type:
            return kTypes;
        case ChoiceList::Output:
            return kOutputs;
        case ChoiceList::Unit:
            return kUnits;
        case ChoiceList::Display:
            return kDisplays;
        case ChoiceList::Relay:
            return kRelays;
    }
    return {};
}

uint16_t choiceMask(ChoiceList list) {
    switch (list) {
        case ChoiceList::Type:
            return 0x0007;
        case ChoiceList::Output:
            return 0x0030;
        case ChoiceList::Unit:
            return 0x4000;
        case ChoiceList::Display:
            return 0x3000;
        case ChoiceList::Relay:
            return 0x0100;
    }
    return 0;
}

const ChoiceRow* rowByBits(ChoiceList list, int32_t word) {
    const int32_t key = word & choiceMask(list);
    for (const ChoiceRow& row : choiceTable(list)) {
        if (row.bits == key)
            return &row;
    }
    return nullptr;
}

const ChoiceRow* rowById(ChoiceList list, int id) {
    for (const ChoiceRow& row : choiceTable(list)) {
        if (row.id == id)
            return &row;
    }
    return nullptr;
}

int AvailabilityRow::idsFor(ChoiceList list) const {
    switch (list) {
        case ChoiceList::Type:
            return typeId;
        case ChoiceList::Output:
            return outputIds;
        case ChoiceList::Unit:
            return unitIds;
        case ChoiceList::Display:
            return displayIds;
        case ChoiceList::Relay:
            return relayIds;
    }
    return 0;
}

const AvailabilityRow* availabilityFor(int typeId) {
    for (const AvailabilityRow& row : kAvailability) {
        if (row.typeId <= 0)
            break;
        if (row.typeId == typeId)
            return &row;
    }
    return nullptr;
}

std::string unitText(char degreeSign, const ChoiceRow& unitRow) {
    return std::string(1, degreeSign) + unitRow.text;
}

std::string formatChoiceText(const ChoiceRow& row, const std::string& unit) {
    const std::string text = row.text;
    if (text.find("%s") == std::string::npos)
        return text;
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%') {
            out += '%';
            ++i;
        } else if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's') {
            out += unit;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

ConfigTexts describeConfigWord(int32_t word, char degreeSign) {
    ConfigTexts texts;
    auto textOf = [&](ChoiceList list) {
        const ChoiceRow* row = rowByBits(list, word);
        return row ? std::string(row->text) : std::string();
    };
    texts.type = textOf(ChoiceList::Type);
    texts.output = textOf(ChoiceList::Output);
    texts.relay = textOf(ChoiceList::Relay);
    if (const ChoiceRow* unit = rowByBits(ChoiceList::Unit, word)) {
        texts.unit = unitText(degreeSign, *unit);
    }
    if (const ChoiceRow* display = rowByBits(ChoiceList::Display, word)) {
        texts.display = formatChoiceText(*display, texts.unit);
    }
    texts.factoryCalibration = (word & 0x8000) != 0;
    return texts;
}

int32_t buildConfigWord(const ChoiceSelection& selection) {
    int32_t word = 0;
    auto add = [&](ChoiceList list, int id) {
        if (id == 0)
            return;
        if (const ChoiceRow* row = rowById(list, id))
            word |= row->bits;
    };
    add(ChoiceList::Type, selection.typeId);
    add(ChoiceList::Output, selection.outputId);
    add(ChoiceList::Unit, selection.unitId);
    add(ChoiceList::Display, selection.displayId);
    add(ChoiceList::Relay, selection.relayId);
    return word;
}

}  // namespace kv58
