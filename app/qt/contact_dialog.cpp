#include "contact_dialog.h"

#include <QDesktopServices>

#include "core/dialog_template.h"
#include "device/messages.h"
#include "dialog_builder.h"
#include "pictures.h"
#include "qt_text.h"

namespace kv58::app {

namespace {
constexpr int kMailButton = 1041;
constexpr int kHomepageButton = 1042;
}  // namespace

UrlOpener desktopUrlOpener() {
    return [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

QUrl contactUrl(const std::string& link) {
    return QUrl(toQt(contactLinkTarget(link)), QUrl::StrictMode);
}

ContactDialog::ContactDialog(UserInterface& ui, UrlOpener opener, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      ui_(ui),
      opener_(std::move(opener)) {
    const DialogTemplate& dialog = contactTemplate();
    setWindowTitle(toQt(dialog.caption));
    setWindowIcon(programIcon());
    const BuiltDialog built = buildDialog(dialog, this);
    setFixedSize(built.clientSize);
    mail_ = built.as<QPushButton>(kMailButton);
    homepage_ = built.as<QPushButton>(kHomepageButton);
    connect(mail_, &QPushButton::clicked, this,
            [this] { openLink(kContactMailLink, text::kErrorSendingMail); });
    connect(homepage_, &QPushButton::clicked, this,
            [this] { openLink(kContactHomepageLink, text::kErrorHomepage); });
    auto* ok = built.as<QPushButton>(1);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    ok->setFocus();
}

void ContactDialog::openLink(const char* link, const char* failure) {
    const QUrl url = contactUrl(link);
    if (!url.isValid() || !opener_ || !opener_(url))
        ui_.messageBox(failure, MsgIcon::None);
}

}  // namespace kv58::app
