#include "core/dialog_model.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <stdexcept>

#include "base/text.h"
#include "core/dialog_ids.h"
#include "core/dialog_template.h"
#include "device/messages.h"

namespace kv58 {

namespace {

// Text controls bound one to one to a text member, in the order the entries are exchanged.
constexpr std::array kBoundTexts = {ids::kTypeText,    ids::kVersionText, ids::kSerialText,
                                    ids::kOutputText,  ids::kUnitText,    ids::kTMinText,
                                    ids::kTMinUnit,    ids::kTMaxText,    ids::kTMaxUnit,
                                    ids::kDisplayText, ids::kRelayText,   ids::kFactoryText};

constexpr const char* kNotAnInteger = "Please enter an integer.";

}  // namespace

bool parseIntegerEntry(const std::string& text, int32_t& value) {
    const std::string_view t = trimView(text, " \t");
    size_t i = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
    if (i == t.size())
        return false;
    int64_t v = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9')
            return false;
        v = v * 10 + (t[i] - '0');
        if (v > int64_t{1} << 31)
            return false;
    }
    if (t[0] == '-')
        v = -v;
    if (v > INT32_MAX || v < INT32_MIN)
        return false;
    value = static_cast<int32_t>(v);
    return true;
}

DialogModel::DialogModel(UserInterface& ui, DialogView& view, const Settings& settings,
                         TransmitterData& data)
    : ui_(ui), view_(view), settings_(settings), data_(data) {
    for (const ControlTemplate& t : mainDialogTemplate().controls) {
        if (t.id < 0)
            continue;
        if (t.kind == ControlKind::DropDownList) {
            ListControl& l = lists_[t.id];
            for (const std::string& item : t.items)
                l.add(item, 0);
        } else {
            controls_[t.id].text = t.text;
        }
    }
    for (int id : kBoundTexts)
        textMembers_[id] = "";
}

ValueControl& DialogModel::control(int id) {
    auto it = controls_.find(id);
    if (it == controls_.end())
        throw std::out_of_range("no control " + std::to_string(id));
    return it->second;
}

const ValueControl& DialogModel::control(int id) const {
    return const_cast<DialogModel*>(this)->control(id);
}

ListControl& DialogModel::list(int id) {
    auto it = lists_.find(id);
    if (it == lists_.end())
        throw std::out_of_range("no list " + std::to_string(id));
    return it->second;
}

const ListControl& DialogModel::list(int id) const {
    return const_cast<DialogModel*>(this)->list(id);
}

const std::vector<int>& DialogModel::tabOrder() {
    static const std::vector<int> order = {ids::kProductCode, ids::kTypeList,  ids::kOutputList,
                                           ids::kUnitList,    ids::kTMinEdit,  ids::kTMaxEdit,
                                           ids::kDisplayList, ids::kRelayList, ids::kWriteProgram,
                                           ids::kLastButton};
    return order;
}

bool DialogModel::takeEntries() {
    productCode_ = control(ids::kProductCode).text;
    for (int id : kBoundTexts)
        textMembers_[id] = control(id).text;
    for (auto [id, member] : {std::pair{ids::kTMinEdit, &tMin_}, {ids::kTMaxEdit, &tMax_}}) {
        if (!parseIntegerEntry(control(id).text, *member)) {
            ui_.messageBox(kNotAnInteger, MsgIcon::Exclamation);
            focused_ = id;  // back to the field, without running its leave rule again
            ui_.setFocus(id);
            return false;
        }
    }
    data_.writeProgram = control(ids::kWriteProgram).checked;
    return true;
}

void DialogModel::showEntries() {
    control(ids::kProductCode).text = productCode_;
    for (int id : kBoundTexts)
        control(id).text = textMembers_[id];
    control(ids::kTMinEdit).text = strprintf("%d", tMin_);
    control(ids::kTMaxEdit).text = strprintf("%d", tMax_);
    control(ids::kWriteProgram).checked = data_.writeProgram;
    view_.refresh();
}

void DialogModel::hideStartupControls() {
    list(ids::kUnitList).enabled = false;
    for (int id : {ids::kProductCodeLabel, ids::kProductCode, ids::kWriteProgram, ids::kLastButton})
        control(id).visible = false;
    list(ids::kTypeList).visible = false;
    view_.refresh();
}

void DialogModel::ShowActualConfiguration() {
    takeEntries();
    const TransmitterConfig& a = data_.actual;
    const ConfigTexts texts = describeConfigWord(a.nBitMaske, settings_.TSym);
    textMembers_[ids::kTypeText] = texts.type;
    textMembers_[ids::kOutputText] = texts.output;
    textMembers_[ids::kUnitText] = texts.unit;
    textMembers_[ids::kDisplayText] = texts.display;
    textMembers_[ids::kRelayText] = texts.relay;
    textMembers_[ids::kTMinUnit] = texts.unit;
    textMembers_[ids::kTMaxUnit] = texts.unit;
    textMembers_[ids::kTMinText] = strprintf("%d", a.nTempVon);
    textMembers_[ids::kTMaxText] = strprintf("%d", a.nTempBis);
    textMembers_[ids::kFactoryText] = texts.factoryCalibration ? text::kYes : text::kNo;
    textMembers_[ids::kVersionText] = a.strVersion;
    textMembers_[ids::kSerialText] = a.strID;
    showEntries();
}

void DialogModel::FillTransmitterTypes() {
    takeEntries();
    ListControl& types = list(ids::kTypeList);
    types.clear();
    for (const ChoiceRow& row : choiceTable(ChoiceList::Type))
        types.add(row.text, row.id);
    types.setSelected(0);
    const int32_t key = data_.newConfig.nBitMaske & choiceMask(ChoiceList::Type);
    if (key != 0) {
        const ChoiceRow* row = rowByBits(ChoiceList::Type, key);
        if (row && row->id > 0)
            types.selectValue(row->id);
    }
    showEntries();
    ApplyTransmitterType();
}

void DialogModel::ApplyTransmitterType() {
    takeEntries();
    const ListControl& types = list(ids::kTypeList);
    if (!types.hasSelection())
        return;
    if (const AvailabilityRow* row = availabilityFor(types.selectedValue()))
        availability_ = *row;
    refillChoiceList(ChoiceList::Output, ids::kOutputList);
    refillUnitList();
    refillDisplayList(control(ids::kTMinUnit).text);
    refillChoiceList(ChoiceList::Relay, ids::kRelayList);
    tMin_ = data_.newConfig.nTempVon;
    tMax_ = data_.newConfig.nTempBis;
    showEntries();
    applyEnablingRules();
}

// Output and relay lists: the previous selection survives by text, else the new
// configuration's bits choose.
void DialogModel::refillChoiceList(ChoiceList table, int listId) {
    takeEntries();
    ListControl& l = list(listId);
    const std::string remembered = l.selectedText();
    l.clear();
    const int allowed = availability_.idsFor(table);
    l.enabled = allowed != 0;
    if (allowed == 0)
        return;
    for (const ChoiceRow& row : choiceTable(table)) {
        if ((row.id & allowed) != 0)
            l.add(row.text, row.id);
    }
    l.setSelected(0);
    if (l.selectString(0, remembered) < 0) {
        const ChoiceRow* row = rowByBits(table, data_.newConfig.nBitMaske);
        if (row && row->id > 0)
            l.selectValue(row->id);
    }
    showEntries();
}

void DialogModel::refillUnitList() {
    // The unit list is emptied and never filled again: the dialog offers no unit choice.
    takeEntries();
    list(ids::kUnitList).clear();
}

// The display list keeps the previous selection by position, not by text.
void DialogModel::refillDisplayList(const std::string& unitText) {
    takeEntries();
    ListControl& l = list(ids::kDisplayList);
    const int previous = l.selected();
    const std::string unit = unitText.empty() ? unitC() : unitText;
    l.clear();
    const int allowed = availability_.displayIds;
    l.enabled = allowed != 0;
    if (allowed == 0)
        return;
    for (const ChoiceRow& row : choiceTable(ChoiceList::Display)) {
        if ((row.id & allowed) != 0)
            l.add(formatChoiceText(row, unit), row.id);
    }
    if (previous >= 0) {
        l.setSelected(previous);
        showEntries();
        return;
    }
    l.setSelected(0);
    const int32_t key = data_.newConfig.nBitMaske & choiceMask(ChoiceList::Display);
    if (key != 0) {
        if (const ChoiceRow* row = rowByBits(ChoiceList::Display, key))
            l.selectValue(row->id);
    }
    showEntries();
}

void DialogModel::applyEnablingRules() {
    takeEntries();
    list(ids::kRelayList).enabled = false;
    list(ids::kUnitList).enabled = false;
    list(ids::kOutputList).enabled = availability_.outputIds != 0;
    list(ids::kDisplayList).enabled = availability_.displayIds != 0;
    control(ids::kTMinEdit).enabled = availability_.temperature;
    control(ids::kTMaxEdit).enabled = availability_.temperature;
    showEntries();
}

std::string DialogModel::unitC() const {
    return std::string(1, settings_.TSym) + "C";
}

TemperatureRule DialogModel::temperatureRule() const {
    return kv58::temperatureRule(settings_.Limits, temperatureUnit() == unitC());
}

std::string DialogModel::temperatureUnit() const {
    const auto unit = textMembers_.find(ids::kTMinUnit);
    return unit == textMembers_.end() ? std::string() : unit->second;
}

void DialogModel::CheckTemperatureRange() {
    takeEntries();
    const std::string unit = temperatureUnit();
    const TemperatureRule rule = temperatureRule();
    const TemperatureRange chosen{tMin_, tMax_};
    const TemperatureRange checked = checkedRange(rule, chosen);
    tMin_ = checked.tMin;
    tMax_ = checked.tMax;
    data_.newConfig.nTempVon = tMin_;
    data_.newConfig.nTempBis = tMax_;
    showEntries();
    if (checked != chosen) {
        ui_.messageBox(strprintf(text::kRangeCorrected, rule.lowest, unit.c_str(), rule.highest,
                                 unit.c_str(), rule.minimumGap, unit.c_str()),
                       MsgIcon::Information);
    }
}

int32_t DialogModel::buildConfigWord() const {
    ChoiceSelection s;
    s.typeId = list(ids::kTypeList).selectedValue();
    s.outputId = list(ids::kOutputList).selectedValue();
    s.unitId = list(ids::kUnitList).selectedValue();
    s.displayId = list(ids::kDisplayList).selectedValue();
    s.relayId = list(ids::kRelayList).selectedValue();
    return kv58::buildConfigWord(s);
}

LastValues DialogModel::lastValues() const {
    auto textOf = [&](int id) -> std::optional<std::string> {
        const ListControl& l = list(id);
        if (!l.hasSelection())
            return std::nullopt;
        return l.selectedText();
    };
    LastValues v;
    v.transmitter = textOf(ids::kTypeList);
    v.output = textOf(ids::kOutputList);
    v.tUnit = textOf(ids::kUnitList);
    v.tMin = tMin_;
    v.tMax = tMax_;
    v.display = textOf(ids::kDisplayList);
    v.alarmRelay = textOf(ids::kRelayList);
    v.writeProg = data_.writeProgram;
    v.produktCode = productCode_;
    return v;
}

void DialogModel::setWriteProgram(bool on) {
    data_.writeProgram = on;
    control(ids::kWriteProgram).checked = on;
    view_.refresh();
}

void DialogModel::focusChanged(int newId) {
    if (newId == focused_)
        return;
    const int left = focused_;
    focused_ = newId;
    killFocus(left);
}

void DialogModel::moveFocus(int newId) {
    if (newId == focused_)
        return;
    const int left = focused_;
    focused_ = newId;
    ui_.setFocus(newId);
    killFocus(left);
}

void DialogModel::focusLeavesWindow() {
    if (focusAway_ || focused_ == 0)
        return;
    focusAway_ = true;
    killFocus(focused_);
    focusAway_ = false;
}

void DialogModel::killFocus(int id) {
    if (id == ids::kTMinEdit || id == ids::kTMaxEdit) {
        CheckTemperatureRange();
    } else if (id == ids::kProductCode) {
        ApplyProductCode();
    }
}

int DialogModel::nextTabStop(int id) const {
    const auto& order = tabOrder();
    const auto it = std::find(order.begin(), order.end(), id);
    const size_t start = it == order.end() ? order.size() - 1 : size_t(it - order.begin());
    for (size_t k = 1; k <= order.size(); ++k) {
        const int candidate = order[(start + k) % order.size()];
        const bool usable = isList(candidate)
                                ? list(candidate).visible && list(candidate).enabled
                                : control(candidate).visible && control(candidate).enabled;
        if (usable)
            return candidate;
    }
    return 0;
}

bool DialogModel::enterPressed() {
    if (focused_ == 0)
        return false;
    if (focused_ == ids::kIdOk) {
        takeEntries();
        return true;
    }
    if (const int next = nextTabStop(focused_))
        moveFocus(next);
    takeEntries();
    return false;
}

}  // namespace kv58
