#include "settings/port_prompt.h"

#include <algorithm>

#include "base/text.h"

namespace kv58 {

namespace {
constexpr const char* kFallbackPort = "COM1";
}

PortPromptOffer classicPortPromptOffer() {
    return {{"COM1", "COM2", "COM3", "COM4"}, false};
}

PortPromptOffer portPromptOffer(const std::vector<std::string>& systemPorts) {
#ifdef _WIN32
    static_cast<void>(systemPorts);
    return classicPortPromptOffer();
#else
    PortPromptOffer offer{systemPorts, true};
    std::sort(offer.items.begin(), offer.items.end());
    return offer;
#endif
}

PortPromptState initialPortPromptState(const PortPromptOffer& offer) {
    PortPromptState state;
    state.items = offer.items;
    state.selected = state.items.empty() ? -1 : 0;
    return state;
}

std::optional<PortChoice> RunPortPrompt(UserInterface& ui, const PortPromptOffer& offer) {
    PortPromptState state = initialPortPromptState(offer);
    if (!ui.runPortPrompt(state))
        return std::nullopt;
    const bool hasSelection =
        state.selected >= 0 && static_cast<size_t>(state.selected) < state.items.size();
    PortChoice choice;
    if (hasSelection)
        choice.port = trim(state.items[static_cast<size_t>(state.selected)]);
    else
        choice.port = trim(offer.typedNameCounts ? state.editText : std::string(kFallbackPort));
    choice.setDefault = state.setDefault;
    return choice;
}

}  // namespace kv58
