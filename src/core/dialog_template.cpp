#include "core/dialog_template.h"

namespace kv58 {

namespace {
constexpr unsigned kValue = kStyleCentered | kStyleSunken;
constexpr unsigned kCombo = kStyleTabStop;
}  // namespace

const DialogTemplate& mainDialogTemplate() {
    using K = ControlKind;
    static const DialogTemplate dialog{
        102, "KV58 Configurator", 280, 191, "MS Sans Serif", 8,
        {
            {-1, K::GroupBox, "KV58", 7, 7, 266, 58, 0},
            {1041, K::Label, "&ProduktCode:", 70, 6, 46, 10, 0},
            {1042, K::Edit, "", 119, 4, 148, 12,
             kStyleTabStop | kStyleUpperCase | kStyleAutoScroll},
            {1002, K::Label, "Trans&mittertype:", 10, 20, 106, 10, 0},
            {1000, K::ValueText, "KV58-FT", 119, 20, 60, 10, kValue},
            {1001, K::DropDownList, "", 188, 18, 80, 61, kCombo, {"KV58-FT", "KV58-F", "KV58-FPT"}},
            {1032, K::Label, "Software Version:", 10, 34, 106, 10, 0},
            {1033, K::ValueText, "", 119, 34, 148, 10, kValue},
            {1034, K::Label, "Serial &Number:", 10, 48, 106, 10, 0},
            {1035, K::ValueText, "", 119, 48, 148, 10, kValue},
            {-1, K::GroupBox, "actual configuration", 7, 70, 177, 114, 0},
            {-1, K::GroupBox, "new configuration", 183, 70, 90, 114, 0},
            {1018, K::Label, "&Output Signal:", 10, 84, 106, 10, 0},
            {1020, K::ValueText, "0 - 10 V", 119, 84, 60, 10, kValue},
            {1022, K::DropDownList, "", 188, 82, 80, 61, kCombo,
             {"0 - 10 V", "0 - 5 V", "0 - 20 mA", "4 - 20 mA"}},
            {1003, K::Label, "T &unit:", 10, 98, 106, 10, 0},
            {1004, K::ValueText, "\xB0" "C", 119, 98, 60, 10, kValue},
            {1005, K::DropDownList, "", 188, 96, 80, 34, kCombo, {"\xB0" "C", "\xB0" "F"}},
            {1006, K::Label, "&T min:", 10, 112, 106, 10, 0},
            {1007, K::ValueText, "-20", 119, 112, 60, 10, kValue},
            {1008, K::Edit, "", 188, 110, 66, 12, kStyleTabStop | kStyleNumber},
            {1009, K::Label, "\xB0" "C", 256, 112, 12, 10, 0},
            {1010, K::Label, "T ma&x:", 10, 126, 106, 10, 0},
            {1012, K::ValueText, "80", 119, 126, 60, 10, kValue},
            {1014, K::Edit, "", 188, 124, 66, 12, kStyleTabStop | kStyleNumber},
            {1016, K::Label, "\xB0" "C", 256, 126, 12, 10, 0},
            {1023, K::Label, "&Display Reading:", 10, 140, 106, 10, 0},
            {1024, K::ValueText, "%RH", 119, 140, 60, 10, kValue},
            {1025, K::DropDownList, "", 188, 138, 80, 48, kCombo,
             {"%RH / \xB0" "C", "%RH", "\xB0" "C"}},
            {1026, K::Label, "&Alarm relay:", 10, 154, 106, 10, 0},
            {1027, K::ValueText, "No", 119, 154, 60, 10, kValue},
            {1028, K::DropDownList, "", 188, 152, 80, 34, kCombo, {"Yes", "No"}},
            {1029, K::Label, "Factory calibration:", 10, 169, 106, 10, 0},
            {1030, K::ValueText, "Yes", 119, 169, 60, 10, kValue},
            {1036, K::CheckBox, "&write program", 188, 169, 58, 10, kStyleTabStop},
            {1040, K::PushButton, "&last", 248, 167, 20, 12, kStyleTabStop},
        }};
    return dialog;
}

}  // namespace kv58
