// The port prompt: the small modal dialog that asks for the serial port when the settings
// file names none. The view only draws it (UserInterface::runPortPrompt); its rules live here.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/user_interface.h"

namespace kv58 {

struct PortChoice {
    std::string port;         // trimmed of blanks; may be empty if a view emptied the list
    bool setDefault = false;  // "&SET default": write the port back to the settings file
};

// What the prompt offers: its list items, and whether a name typed into its edit field that
// selects no item is taken.
struct PortPromptOffer {
    std::vector<std::string> items;
    bool typedNameCounts = false;
};

// The classic offer: "COM1" to "COM4", typed names not used.
PortPromptOffer classicPortPromptOffer();
// The offer on this platform: on Windows the classic one; elsewhere, where ports are not
// named COMn, the ports the system reports (`systemPorts`, sorted), and a typed name counts.
PortPromptOffer portPromptOffer(const std::vector<std::string>& systemPorts);

// The prompt's state at start: the offer's items, item 0 selected, box not ticked.
PortPromptState initialPortPromptState(const PortPromptOffer& offer = classicPortPromptOffer());

// Runs the prompt. After OK the chosen port is the selected item's text; with no item
// selected, the typed name where the offer takes one, else "COM1". std::nullopt after
// Cancel.
std::optional<PortChoice> RunPortPrompt(UserInterface& ui,
                                        const PortPromptOffer& offer = classicPortPromptOffer());

}  // namespace kv58
