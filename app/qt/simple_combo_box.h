// The simple combo box: an edit field above a list that is always open. Choosing a list item
// puts its text into the field; typing selects the first item that begins with the typed text
// (letter case ignored), or none; the arrow keys in the field move through the list.
#pragma once

#include <QLineEdit>
#include <QListWidget>
#include <QStringList>
#include <QWidget>

namespace kv58::app {

class SimpleComboBox final : public QWidget {
    Q_OBJECT
public:
    // `editHeight` is the height of the field; the list fills the rest of the widget.
    SimpleComboBox(int editHeight, QWidget* parent = nullptr);

    void setItems(const QStringList& items);
    QStringList items() const;
    // Selects the item and shows its text in the field; -1 clears the selection.
    void setSelected(int index);
    int selected() const;
    QString editText() const { return edit_->text(); }

    QLineEdit* edit() const { return edit_; }
    QListWidget* list() const { return list_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void followTypedText(const QString& text);

    int editHeight_;
    QLineEdit* edit_;
    QListWidget* list_;
};

}  // namespace kv58::app
