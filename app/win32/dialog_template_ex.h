// Declarative dialog templates (src/core/dialog_template) as the system's own dialog
// templates: an extended dialog template (DLGTEMPLATEEX) in memory, with the template's font,
// each control's class, id, style and rectangle in dialog units, and its text in UTF-16. The
// dialog manager then lays the window out as it lays out any dialog of that font.
#pragma once

#include <windows.h>

#include <vector>

#include "core/dialog_template.h"

namespace kv58::win32 {

// Atoms of the predefined control classes, as a dialog template names them.
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kEditClass = 0x0081;
constexpr WORD kStaticClass = 0x0082;
constexpr WORD kComboBoxClass = 0x0085;

struct ControlStyle {
    WORD classAtom;
    DWORD style;
    DWORD exStyle;
};

// Class and styles of one template row. Labels are right-aligned static texts unless the row
// says otherwise, value texts centred in a sunken frame; a drop-down list's height is that of
// its open list, as in any dialog template.
ControlStyle controlStyle(const ControlTemplate& control);

// Window styles of a dialog: a caption and a modal frame, the template's font, and the
// system menu, minimize box and task-bar button its frame flags ask for. Only a dialog with a
// system menu is visible from the start (the information window is shown when it is opened).
DWORD dialogStyle(const DialogTemplate& dialog);
DWORD dialogExStyle(const DialogTemplate& dialog);

// The whole template, DWORD-aligned as the system wants it (the vector's storage is).
// `extraStyle` is added to the dialog's style (DS_CENTER for the modal dialogs).
std::vector<WORD> dialogTemplateEx(const DialogTemplate& dialog, DWORD extraStyle = 0);

}  // namespace kv58::win32
