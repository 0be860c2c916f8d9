// The seam between the system's rules and the person in front of it.
//
// Everything the library wants to show or ask goes through this interface: message boxes, the
// information window, the RUN check mark, the focus, and the port prompt. The desktop program
// implements it with real widgets, kv58ctl with the terminal, the tests with a recorder that
// answers from a script and keeps every message. All texts are Windows-1252; the caption of a
// message box is the program file's base name, which the implementation knows.
//
// The seam sits in base/ (not in core/) because layers below the dialog model already talk to
// the user: the settings loader shows its errors and the port prompt, the segment writer and
// the backup show file errors, the product-code decoder shows its German messages.
#pragma once

#include <string>
#include <vector>

namespace kv58 {

enum class MsgIcon { None, Exclamation, Stop, Information, Question };
enum class MsgButtons { Ok, YesNo };
enum class MsgAnswer { Ok, Yes, No };

// The state of the port prompt (the small "COM-Port" dialog). Its rules live in
// settings/port_prompt; a view only shows the items, lets the user pick one or type into the
// edit field, and ticks the "SET default" box.
struct PortPromptState {
    std::vector<std::string> items;  // list items, sorted
    int selected = -1;               // index into items, -1 for none
    std::string editText;            // text of the edit field above the list
    bool setDefault = false;         // the "&SET default" check box
};

class UserInterface {
public:
    virtual ~UserInterface() = default;

    // A modal message box. Returns the button pressed (Ok for an Ok box).
    virtual MsgAnswer messageBox(const std::string& text, MsgIcon icon,
                                 MsgButtons buttons = MsgButtons::Ok) = 0;

    // The modeless information window: opened by a device operation, its single line of text
    // replaced as the operation proceeds, closed on every way out. A new text must become
    // visible at once although the caller blocks its thread.
    virtual void infoOpen() = 0;
    virtual void infoSetText(const std::string& text) = 0;
    // Progress of the current transfer, bytes done of bytes planned (0 of 0 hides it).
    virtual void infoProgress(long done, long total) = 0;
    virtual void infoClose() = 0;

    // The check mark of the menu item "RUN &start/stop".
    virtual void setRunChecked(bool on) = 0;

    // Moves the input focus to the control with this id of the main dialog.
    virtual void setFocus(int controlId) = 0;
    // Brings the main window to the foreground.
    virtual void bringToForeground() = 0;

    // Asks the program to end with this exit code once the current handler returns.
    virtual void requestQuit(int exitCode) = 0;

    // Runs the port prompt modally on `state`; true when it ended with OK.
    virtual bool runPortPrompt(PortPromptState& state) = 0;
};

}  // namespace kv58
