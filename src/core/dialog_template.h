// Declarative dialog templates: every control with its id, kind, text, rectangle in dialog
// units and style, as the resource templates define them. The model initialises its controls
// from them; the desktop program builds its windows from them.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace kv58 {

enum class ControlKind {
    GroupBox,
    Label,        // static text, right-aligned unless a style says otherwise
    ValueText,    // centred static text in a sunken frame
    Edit,
    DropDownList, // drop-down combo box
    SimpleCombo,  // edit field above an always-open list
    CheckBox,
    PushButton,
    DefaultButton,
    Icon,
    Bitmap,
};

// Style flags.
constexpr unsigned kStyleTabStop = 1u << 0;
constexpr unsigned kStyleUpperCase = 1u << 1;    // edit converts letters to upper case
constexpr unsigned kStyleAutoScroll = 1u << 2;   // edit scrolls horizontally
constexpr unsigned kStyleNumber = 1u << 3;       // edit takes a signed integer
constexpr unsigned kStyleCentered = 1u << 4;     // text centred (horizontally)
constexpr unsigned kStyleVCentered = 1u << 5;    // text centred vertically
constexpr unsigned kStyleNoPrefix = 1u << 6;     // "&" is shown, not a mnemonic
constexpr unsigned kStyleSorted = 1u << 7;       // list keeps its items sorted
constexpr unsigned kStyleLeft = 1u << 8;         // static text left-aligned
constexpr unsigned kStyleSunken = 1u << 9;       // sunken frame

struct ControlTemplate {
    int id;  // -1 for controls without an id
    ControlKind kind;
    const char* text;  // Windows-1252; "&" marks the mnemonic
    int x, y, width, height;  // dialog units
    unsigned style;
    std::vector<std::string> items = {};  // initial list items
};

struct DialogTemplate {
    int resourceId;
    const char* caption;
    int width, height;  // dialog units
    const char* fontName;
    int fontPoints;
    std::vector<ControlTemplate> controls;  // in tab order
};

// Template 102: the main dialog (its menu is 134).
const DialogTemplate& mainDialogTemplate();

}  // namespace kv58
