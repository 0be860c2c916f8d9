// The Contact dialog: a picture and two buttons that hand the mail link and the homepage to
// the desktop's default handler. A link that cannot be opened is reported; the dialog stays.
#pragma once

#include <functional>
#include <QDialog>
#include <QPushButton>
#include <QUrl>

#include "base/user_interface.h"

namespace kv58::app {

// Opens a link with the desktop's default handler; false when none took it.
using UrlOpener = std::function<bool(const QUrl&)>;
UrlOpener desktopUrlOpener();

// The link a Contact string names, as a URL ("mailto: x@y" -> "mailto:x@y").
QUrl contactUrl(const std::string& link);

class ContactDialog final : public QDialog {
    Q_OBJECT
public:
    ContactDialog(UserInterface& ui, UrlOpener opener, QWidget* parent = nullptr);

    QPushButton* mailButton() const { return mail_; }
    QPushButton* homepageButton() const { return homepage_; }

private:
    void openLink(const char* link, const char* failure);

    UserInterface& ui_;
    UrlOpener opener_;
    QPushButton* mail_;
    QPushButton* homepage_;
};

}  // namespace kv58::app
