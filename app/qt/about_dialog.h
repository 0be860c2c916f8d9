// The About dialog: program icon, version line (1038) and OK.
#pragma once

#include <QDialog>
#include <QLabel>
#include <string>

namespace kv58::app {

class AboutDialog final : public QDialog {
    Q_OBJECT
public:
    // `versionLine` replaces the template's text of 1038 when the dialog opens.
    explicit AboutDialog(const std::string& versionLine, QWidget* parent = nullptr);

    QLabel* versionLabel() const { return version_; }

private:
    QLabel* version_;
};

}  // namespace kv58::app
