#include "core/dialog_template.h"

#include "base/text.h"

namespace kv58 {

// The templates are tables: one control a line, in the order of the template fields.
// clang-format off
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
        },
        kFrameSystemMenu | kFrameMinimizeBox | kFrameTaskBar};
    return dialog;
}

const MenuTemplate& mainMenuTemplate() {
    static const MenuTemplate menu{
        134,
        {
            {"&Program",
             {
                 {40001, "&read configuration"},
                 {40002, "set &new configuration"},
                 {0, ""},
                 {40006, "RUN &start/stop"},
                 {0, ""},
                 {57665, "E&xit"},
             }},
            {"&Info",
             {
                 {40004, "&Contact..."},
                 {57664, "&Info KV58 Configurator..."},
             }},
        }};
    return menu;
}

const DialogTemplate& portPromptTemplate() {
    using K = ControlKind;
    static const DialogTemplate dialog{
        139, "KV58   COM-Port", 185, 98, "MS Sans Serif", 8,
        {
            {-1, K::GroupBox, "Port", 7, 7, 112, 84, 0},
            {-1, K::Label, "&Port:", 12, 20, 40, 10, kStyleLeft},
            {1047, K::SimpleCombo, "", 55, 16, 60, 57, kStyleTabStop | kStyleSorted,
             {"COM1", "COM2", "COM3", "COM4"}},
            {1048, K::CheckBox, "&SET default", 55, 77, 60, 10, kStyleTabStop},
            {1, K::DefaultButton, "OK", 128, 60, 50, 14, kStyleTabStop},
            {2, K::PushButton, "Cancel", 128, 77, 50, 14, kStyleTabStop},
        }};
    return dialog;
}

const DialogTemplate& infoWindowTemplate() {
    using K = ControlKind;
    static const DialogTemplate dialog{
        131, "KV58 Configurator: Information...", 191, 36, "MS Sans Serif", 8,
        {
            {1037, K::Label, "", 7, 5, 178, 24,
             kStyleCentered | kStyleVCentered | kStyleNoPrefix},
        },
        0};  // caption bar without system menu: the window cannot be closed by the user
    return dialog;
}

const DialogTemplate& aboutTemplate() {
    using K = ControlKind;
    static const DialogTemplate dialog{
        100, "Info \xFC" "ber KV58 Configurator", 235, 60, "MS Sans Serif", 8,
        {
            {-1, K::Icon, "128", 11, 17, 20, 20, 0},
            {1038, K::Label, "KV58 Configurator   V1.00", 40, 10, 188, 8,
             kStyleLeft | kStyleNoPrefix},
            {-1, K::Label, "Reads and sets up KV58 humidity transmitters.", 40, 24, 188, 8,
             kStyleLeft},
            {1, K::DefaultButton, "OK", 178, 39, 50, 14, kStyleTabStop},
        }};
    return dialog;
}

const DialogTemplate& contactTemplate() {
    using K = ControlKind;
    static const DialogTemplate dialog{
        137, "Contact", 240, 170, "MS Sans Serif", 8,
        {
            {-1, K::Bitmap, "136", 7, 7, 226, 111, 0},
            {1041, K::PushButton, "mail to: kv58-service@example.com", 7, 119, 226, 12,
             kStyleTabStop},
            {1042, K::PushButton, "Homepage: https://www.example.com/kv58/", 7, 132, 226, 12,
             kStyleTabStop},
            {1, K::DefaultButton, "OK", 183, 149, 50, 14, kStyleTabStop},
        }};
    return dialog;
}

// clang-format on

std::string contactLinkTarget(std::string_view link) {
    const std::string_view text = trimView(link);
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return std::string(text);
    return std::string(text.substr(0, colon + 1)) + trim(text.substr(colon + 1));
}

}  // namespace kv58
