// The port prompt: the small modal dialog that asks for the serial port when the settings
// file names none. The view only draws it (UserInterface::runPortPrompt); its rules live here.
#pragma once

#include <optional>
#include <string>

#include "base/user_interface.h"

namespace kv58 {

struct PortChoice {
    std::string port;         // trimmed of blanks; may be empty if a view emptied the list
    bool setDefault = false;  // "&SET default": write the port back to the settings file
};

// The prompt's state at start: items "COM1" to "COM4", item 0 selected, box not ticked.
PortPromptState initialPortPromptState();

// Runs the prompt. After OK the chosen port is the selected item's text, or "COM1" when no
// item is selected (text typed into the edit field that selects no item is not used).
// std::nullopt after Cancel.
std::optional<PortChoice> RunPortPrompt(UserInterface& ui);

}  // namespace kv58
