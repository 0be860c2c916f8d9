// The port prompt (template 139): the state's port names in the always-open list under the
// edit field, and the "SET default" box. Its rules live in settings/port_prompt; the dialog
// only shows the state and hands back what the user chose.
#pragma once

#include "base/user_interface.h"
#include "dialog_window.h"

namespace kv58::win32 {

class PortPromptDialog final : public DialogWindow {
public:
    explicit PortPromptDialog(PortPromptState state);

    // The state as the user left it (after OK).
    const PortPromptState& state() const { return state_; }

protected:
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void show();
    void take();

    PortPromptState state_;
};

}  // namespace kv58::win32
