// The port prompt's window: draws a PortPromptState (items, selection, typed text, "SET
// default") and hands it back after OK. Its rules live in settings/port_prompt.
#pragma once

#include <QCheckBox>
#include <QDialog>

#include "base/user_interface.h"
#include "simple_combo_box.h"

namespace kv58::app {

class PortPromptDialog final : public QDialog {
    Q_OBJECT
public:
    explicit PortPromptDialog(const PortPromptState& state, QWidget* parent = nullptr);

    // The state as the user left it.
    PortPromptState state() const;

    SimpleComboBox* ports() const { return ports_; }
    QCheckBox* setDefaultBox() const { return setDefault_; }

private:
    PortPromptState initial_;
    SimpleComboBox* ports_;
    QCheckBox* setDefault_;
};

}  // namespace kv58::app
