#include "about_dialog.h"

#include <QPushButton>

#include "core/dialog_template.h"
#include "dialog_builder.h"
#include "pictures.h"
#include "qt_text.h"

namespace kv58::app {

namespace {
constexpr int kVersionLine = 1038;
}

AboutDialog::AboutDialog(const std::string& versionLine, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    const DialogTemplate& dialog = aboutTemplate();
    setWindowTitle(toQt(dialog.caption));
    setWindowIcon(programIcon());
    const BuiltDialog built = buildDialog(dialog, this);
    setFixedSize(built.clientSize);
    version_ = built.as<QLabel>(kVersionLine);
    version_->setText(toQt(versionLine));
    auto* ok = built.as<QPushButton>(1);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    ok->setFocus();
}

}  // namespace kv58::app
