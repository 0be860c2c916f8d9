// Declarative dialog templates: every control with its id, kind, text, rectangle in dialog
// units and style, as the resource templates define them. The model initialises its controls
// from them; the desktop program builds its windows from them.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv58 {

enum class ControlKind {
    GroupBox,
    Label,      // static text, right-aligned unless a style says otherwise
    ValueText,  // centred static text in a sunken frame
    Edit,
    DropDownList,  // drop-down combo box
    SimpleCombo,   // edit field above an always-open list
    CheckBox,
    PushButton,
    DefaultButton,
    Icon,
    Bitmap,
};

// Style flags.
constexpr unsigned kStyleTabStop = 1u << 0;
constexpr unsigned kStyleUpperCase = 1u << 1;   // edit converts letters to upper case
constexpr unsigned kStyleAutoScroll = 1u << 2;  // edit scrolls horizontally
constexpr unsigned kStyleNumber = 1u << 3;      // edit takes a signed integer
constexpr unsigned kStyleCentered = 1u << 4;    // text centred (horizontally)
constexpr unsigned kStyleVCentered = 1u << 5;   // text centred vertically
constexpr unsigned kStyleNoPrefix = 1u << 6;    // "&" is shown, not a mnemonic
constexpr unsigned kStyleSorted = 1u << 7;      // list keeps its items sorted
constexpr unsigned kStyleLeft = 1u << 8;        // static text left-aligned
constexpr unsigned kStyleSunken = 1u << 9;      // sunken frame

// Window frame flags of a dialog.
constexpr unsigned kFrameSystemMenu = 1u << 0;   // caption with system menu (close box)
constexpr unsigned kFrameMinimizeBox = 1u << 1;  // caption with minimize box
constexpr unsigned kFrameTaskBar = 1u << 2;      // shown in the task bar (a top-level window)

struct ControlTemplate {
    int id;  // -1 for controls without an id
    ControlKind kind;
    // Windows-1252; "&" marks the mnemonic. Icons and bitmaps name their picture's resource
    // number ("128").
    const char* text;
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
    unsigned frame = kFrameSystemMenu;
};

// A menu: drop-down menus on a menu bar, each with command items and separators.
struct MenuItemTemplate {
    int commandId;     // 0 for a separator
    const char* text;  // Windows-1252; "&" marks the mnemonic
    bool isSeparator() const { return commandId == 0; }
};

struct PopupMenuTemplate {
    const char* text;
    std::vector<MenuItemTemplate> items;
};

struct MenuTemplate {
    int resourceId;
    std::vector<PopupMenuTemplate> popups;
};

// Template 102: the main dialog (its menu is 134).
const DialogTemplate& mainDialogTemplate();
// Menu 134: the main dialog's menu bar.
const MenuTemplate& mainMenuTemplate();
// Template 139: the port prompt, asked when the settings file names no serial port.
const DialogTemplate& portPromptTemplate();
// Template 131: the information window shown while the transmitter is being talked to.
const DialogTemplate& infoWindowTemplate();
// The information window's progress bar, in dialog units: not a control of template 131 (its
// only control is the text), it sits in the margin below the text.
struct DialogRect {
    int x, y, width, height;
};
constexpr DialogRect kInfoProgressBar{7, 29, 178, 5};
// Template 100: About, with the version line (1038) filled in when it opens.
const DialogTemplate& aboutTemplate();
// Template 137: Contact, with the mail (1041) and homepage (1042) buttons.
const DialogTemplate& contactTemplate();

// Picture resources named by icon and bitmap controls.
constexpr int kProgramIcon = 128;
constexpr int kContactBitmap = 136;

// Contact links (strings 156 and 158). The mail link keeps the blank after "mailto:" that
// the string table has; the opener drops it before handing the link over.
constexpr const char* kContactMailLink = "mailto: kv58-service@example.com";
constexpr const char* kContactHomepageLink = "https://www.example.com/kv58/";

// The link a Contact string names, as the desktop's opener takes it: without blanks around it
// and after the scheme's colon ("mailto: a@b" -> "mailto:a@b"), which a shell would pass on
// and a mail program or URL parser would take for part of the address.
std::string contactLinkTarget(std::string_view link);

}  // namespace kv58
