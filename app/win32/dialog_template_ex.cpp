#include "dialog_template_ex.h"

#include <cstdlib>
#include <string_view>

#include "wide_text.h"

namespace kv58::win32 {

namespace {

constexpr WORD kOrdinal = 0xFFFF;  // an ordinal instead of a text follows
constexpr WORD kFontWeight = FW_NORMAL;

bool has(const ControlTemplate& c, unsigned style) {
    return (c.style & style) != 0;
}

DWORD staticTextStyle(const ControlTemplate& c) {
    DWORD style = SS_RIGHT;
    if (has(c, kStyleCentered)) {
        style = SS_CENTER;
    } else if (has(c, kStyleLeft)) {
        style = SS_LEFT;
    }
    if (has(c, kStyleVCentered))
        style |= SS_CENTERIMAGE;
    if (has(c, kStyleNoPrefix))
        style |= SS_NOPREFIX;
    if (has(c, kStyleSunken))
        style |= SS_SUNKEN;
    return style;
}

DWORD editStyle(const ControlTemplate& c) {
    DWORD style = ES_LEFT;
    if (has(c, kStyleAutoScroll))
        style |= ES_AUTOHSCROLL;
    if (has(c, kStyleUpperCase))
        style |= ES_UPPERCASE;
    return style;
}

DWORD comboStyle(const ControlTemplate& c, DWORD kind) {
    return kind | WS_VSCROLL | (has(c, kStyleSorted) ? CBS_SORT : 0);
}

// Appends the parts of a template: words, double words, texts and ordinals.
class TemplateWriter {
public:
    void word(WORD value) { words_.push_back(value); }
    void dword(DWORD value) {
        word(LOWORD(value));
        word(HIWORD(value));
    }
    void coordinate(int value) { word(static_cast<WORD>(static_cast<short>(value))); }
    void text(std::string_view cp1252) {
        for (wchar_t c : toWide(cp1252))
            word(static_cast<WORD>(c));
        word(0);
    }
    void ordinal(WORD value) {
        word(kOrdinal);
        word(value);
    }
    void alignToDword() {
        if (words_.size() % 2 != 0)
            word(0);
    }
    std::vector<WORD> take() { return std::move(words_); }

private:
    std::vector<WORD> words_;
};

void writeControl(TemplateWriter& out, const ControlTemplate& c) {
    const ControlStyle s = controlStyle(c);
    out.alignToDword();
    out.dword(0);  // help id
    out.dword(s.exStyle);
    out.dword(s.style);
    out.coordinate(c.x);
    out.coordinate(c.y);
    out.coordinate(c.width);
    out.coordinate(c.height);
    out.dword(static_cast<DWORD>(c.id));  // -1 becomes 0xFFFFFFFF, as resource compilers write it
    out.ordinal(s.classAtom);
    if (c.kind == ControlKind::Icon || c.kind == ControlKind::Bitmap) {
        out.ordinal(static_cast<WORD>(std::atoi(c.text)));  // the picture's resource number
    } else {
        out.text(c.text);
    }
    out.word(0);  // no creation data
}

}  // namespace

ControlStyle controlStyle(const ControlTemplate& c) {
    using K = ControlKind;
    DWORD style = WS_CHILD | WS_VISIBLE | (has(c, kStyleTabStop) ? WS_TABSTOP : 0);
    switch (c.kind) {
        case K::GroupBox:
            return {kButtonClass, style | BS_GROUPBOX, 0};
        case K::Label:
        case K::ValueText:
            return {kStaticClass, style | staticTextStyle(c), 0};
        case K::Edit:
            return {kEditClass, style | editStyle(c), WS_EX_CLIENTEDGE};
        case K::DropDownList:
            return {kComboBoxClass, style | comboStyle(c, CBS_DROPDOWNLIST), 0};
        case K::SimpleCombo:
            return {kComboBoxClass, style | comboStyle(c, CBS_SIMPLE), 0};
        case K::CheckBox:
            // BS_NOTIFY: the dialog hears when the box gets the focus, as with edits and lists.
            return {kButtonClass, style | BS_AUTOCHECKBOX | BS_NOTIFY, 0};
        case K::PushButton:
            return {kButtonClass, style | BS_PUSHBUTTON, 0};
        case K::DefaultButton:
            return {kButtonClass, style | BS_DEFPUSHBUTTON, 0};
        case K::Icon:
            return {kStaticClass, style | SS_ICON, 0};
        case K::Bitmap:
            // Centred, at its own size: the control keeps the template's rectangle.
            return {kStaticClass, style | SS_BITMAP | SS_CENTERIMAGE, 0};
    }
    return {kStaticClass, style, 0};
}

DWORD dialogStyle(const DialogTemplate& dialog) {
    DWORD style = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | DS_3DLOOK;
    if (dialog.frame & kFrameSystemMenu)
        style |= WS_SYSMENU | WS_VISIBLE;
    if (dialog.frame & kFrameMinimizeBox)
        style |= WS_MINIMIZEBOX;
    return style;
}

DWORD dialogExStyle(const DialogTemplate& dialog) {
    return (dialog.frame & kFrameTaskBar) ? WS_EX_APPWINDOW : 0;
}

std::vector<WORD> dialogTemplateEx(const DialogTemplate& dialog, DWORD extraStyle) {
    TemplateWriter out;
    out.word(1);         // version of the extended template
    out.word(kOrdinal);  // its signature
    out.dword(0);        // help id
    out.dword(dialogExStyle(dialog));
    out.dword(dialogStyle(dialog) | extraStyle);
    out.word(static_cast<WORD>(dialog.controls.size()));
    out.coordinate(0);
    out.coordinate(0);
    out.coordinate(dialog.width);
    out.coordinate(dialog.height);
    out.word(0);  // no menu: the main dialog's is built in memory and attached when it opens
    out.word(0);  // the system's dialog class
    out.text(dialog.caption);
    out.word(static_cast<WORD>(dialog.fontPoints));
    out.word(kFontWeight);
    out.word(MAKEWORD(FALSE, DEFAULT_CHARSET));  // not italic; the font's own character set
    out.text(dialog.fontName);
    for (const ControlTemplate& c : dialog.controls)
        writeControl(out, c);
    return out.take();
}

}  // namespace kv58::win32
