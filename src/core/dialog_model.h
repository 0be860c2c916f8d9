// The main dialog's controls and their rules, without a window.
//
// The model keeps what the window shows (the controls: texts, check marks, lists, enabled and
// visible states) apart from the dialog's members (the values the program works with), as a
// classic dialog does: "take the entries" copies the controls into the members, "show the
// entries" copies the members into the controls and asks the view to redraw. A view writes
// the user's edits into the controls as they happen (setControlText, list().setSelected) and
// reports focus changes; everything else is decided here.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "base/user_interface.h"
#include "core/list_control.h"
#include "device/choices.h"
#include "device/temperature_range.h"
#include "device/transmitter_data.h"
#include "settings/last_values.h"
#include "settings/settings.h"

namespace kv58 {

// A static text, edit field or check box.
struct ValueControl {
    std::string text;
    bool checked = false;
    bool enabled = true;
    bool visible = true;
};

// The rule of the integer fields (T min, T max): a whole signed number with nothing but blanks
// around it, within 32 bits.
bool parseIntegerEntry(const std::string& text, int32_t& value);

// How the model reaches its window.
class DialogView {
public:
    virtual ~DialogView() = default;
    // Redraws every control from the model (texts, selections, enabled and visible states,
    // the title).
    virtual void refresh() = 0;
    // Delivers `commandId` to MainDialog::onCommand later, from the event loop, as a posted
    // message would (the menu commands post 1031 and 1043, the about command posts 0x10).
    virtual void post(int commandId) = 0;
    // Ends the dialog; the program then ends.
    virtual void endDialog(int result) = 0;
    // The modal About and Contact dialogs.
    virtual void showAbout() = 0;
    virtual void showContact() = 0;
};

class DialogModel {
public:
    DialogModel(UserInterface& ui, DialogView& view, const Settings& settings,
                TransmitterData& data);

    // --- Controls, as the view sees them. ---
    ValueControl& control(int id);
    const ValueControl& control(int id) const;
    ListControl& list(int id);
    const ListControl& list(int id) const;
    bool isList(int id) const { return lists_.count(id) != 0; }
    // The user typed into an edit field.
    void setControlText(int id, std::string text) { control(id).text = std::move(text); }
    // Tab stops in tab order (visible or not).
    static const std::vector<int>& tabOrder();

    // --- Members bound to controls. ---
    int32_t tMin() const { return tMin_; }
    int32_t tMax() const { return tMax_; }
    void setTRange(int32_t tMin, int32_t tMax) { tMin_ = tMin, tMax_ = tMax; }
    const std::string& productCode() const { return productCode_; }

    // Controls -> members. Returns false when an integer field held no integer (the user was
    // told; the member keeps its value).
    bool takeEntries();
    // Members -> controls, then the view redraws.
    void showEntries();

    // --- The dialog's rules. ---
    void ShowActualConfiguration();
    void FillTransmitterTypes();
    void ApplyTransmitterType();
    void CheckTemperatureRange();
    // The range check's limits on the scale of the transmitter's unit, and that unit's text.
    TemperatureRule temperatureRule() const;
    std::string temperatureUnit() const;
    // Disables the hidden-for-good controls at start-up (unit list disabled; product code,
    // type list, write-program box and "&last" button hidden).
    void hideStartupControls();
    // Refill of the display list with a unit text ("" means the degree sign and C).
    void refillDisplayList(const std::string& unitText);
    // The word the lists' selections give.
    int32_t buildConfigWord() const;
    // The entries the last-values file receives.
    LastValues lastValues() const;
    // The write-program member and its check box.
    void setWriteProgram(bool on);

    // Decodes the product-code field's text and, when the code is accepted, sets the
    // new-configuration column from it. Runs when the field loses the focus. False when the
    // field is empty or the code was rejected (the user was told; the focus is back in the
    // field).
    bool ApplyProductCode();
    // Whether an accepted product code has chosen the alarm relay in this session: only then
    // does the relay list's selection go into a written word.
    bool relayChosenByProductCode() const { return relayChosen_; }

    // The control with the input focus (0: none), as the view reports it. Leaving T min or T
    // max runs the range check; leaving the product-code field applies the product code.
    int focused() const { return focused_; }
    void focusChanged(int newId);
    // Moves the focus (Enter rule, rejected product code): the view is told, then the
    // kill-focus rule of the control left runs.
    void moveFocus(int newId);
    // The focus leaves the dialog for another window (a message box, About, Contact) that is
    // about to open: the leave rule of the focused control runs first, as the dialog manager
    // runs it when another window takes the focus, so that the range check corrects T min and
    // T max before a question is asked about them. The control keeps the focus (it gets it
    // back when that window closes); windows opened meanwhile run nothing again.
    void focusLeavesWindow();
    // The next visible, enabled tab stop after `id`, wrapping around; 0 when there is none.
    int nextTabStop(int id) const;
    // Enter: moves to the next tab stop and takes the entries; never closes this dialog.
    // Returns true when the dialog is to close (the focused control is the OK button).
    bool enterPressed();

    const Settings& settings() const { return settings_; }
    TransmitterData& data() { return data_; }
    const AvailabilityRow& availability() const { return availability_; }
    UserInterface& ui() { return ui_; }

private:
    void refillChoiceList(ChoiceList table, int listId);
    void refillUnitList();
    void applyEnablingRules();
    std::string unitC() const;
    void killFocus(int id);

    UserInterface& ui_;
    DialogView& view_;
    const Settings& settings_;
    TransmitterData& data_;

    std::map<int, ValueControl> controls_;
    std::map<int, ListControl> lists_;
    AvailabilityRow availability_;
    int focused_ = 0;
    bool focusAway_ = false;  // focusLeavesWindow is running the leave rule

    // Members bound to controls (the texts are bound one to one and live in textMembers_).
    std::map<int, std::string> textMembers_;
    int32_t tMin_ = 0;
    int32_t tMax_ = 0;
    std::string productCode_;
    bool relayChosen_ = false;
};

}  // namespace kv58
