#include "settings/port_prompt.h"

#include "base/text.h"

namespace kv58 {

namespace {
constexpr const char* kFallbackPort = "COM1";
}

PortPromptState initialPortPromptState() {
    PortPromptState state;
    state.items = {"COM1", "COM2", "COM3", "COM4"};
    state.selected = 0;
    return state;
}

std::optional<PortChoice> RunPortPrompt(UserInterface& ui) {
    PortPromptState state = initialPortPromptState();
    if (!ui.runPortPrompt(state))
        return std::nullopt;
    const bool hasSelection =
        state.selected >= 0 && static_cast<size_t>(state.selected) < state.items.size();
    PortChoice choice;
    choice.port = trim(hasSelection ? state.items[static_cast<size_t>(state.selected)]
                                    : std::string(kFallbackPort));
    choice.setDefault = state.setDefault;
    return choice;
}

}  // namespace kv58
