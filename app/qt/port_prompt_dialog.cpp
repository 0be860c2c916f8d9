#include "port_prompt_dialog.h"

#include <QPushButton>

#include "core/dialog_template.h"
#include "dialog_builder.h"
#include "pictures.h"
#include "qt_text.h"

namespace kv58::app {

namespace {
constexpr int kPortList = 1047;
constexpr int kSetDefault = 1048;
}  // namespace

PortPromptDialog::PortPromptDialog(const PortPromptState& state, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      initial_(state) {
    const DialogTemplate& dialog = portPromptTemplate();
    setWindowTitle(toQt(dialog.caption));
    setWindowIcon(programIcon());
    const BuiltDialog built = buildDialog(dialog, this);
    setFixedSize(built.clientSize);
    ports_ = built.as<SimpleComboBox>(kPortList);
    setDefault_ = built.as<QCheckBox>(kSetDefault);

    // The items are the state's, in its order (it keeps them sorted).
    QStringList items;
    for (const std::string& item : state.items)
        items << toQt(item);
    ports_->setItems(items);
    ports_->setSelected(state.selected);
    if (state.selected < 0)
        ports_->edit()->setText(toQt(state.editText));
    setDefault_->setChecked(state.setDefault);

    connect(built.as<QPushButton>(1), &QPushButton::clicked, this, &QDialog::accept);
    connect(built.as<QPushButton>(2), &QPushButton::clicked, this, &QDialog::reject);
    ports_->setFocus();
}

PortPromptState PortPromptDialog::state() const {
    PortPromptState state = initial_;
    state.selected = ports_->selected();
    state.editText = fromQt(ports_->editText());
    state.setDefault = setDefault_->isChecked();
    return state;
}

}  // namespace kv58::app
