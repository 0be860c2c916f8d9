#include "simple_combo_box.h"

#include <algorithm>
#include <QKeyEvent>
#include <QSignalBlocker>

namespace kv58::app {

SimpleComboBox::SimpleComboBox(int editHeight, QWidget* parent)
    : QWidget(parent),
      editHeight_(editHeight),
      edit_(new QLineEdit(this)),
      list_(new QListWidget(this)) {
    // The field holds the focus for the whole control, as one tab stop.
    list_->setFocusPolicy(Qt::NoFocus);
    setFocusProxy(edit_);
    setFocusPolicy(Qt::StrongFocus);
    edit_->installEventFilter(this);
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row < 0)
            return;
        const QSignalBlocker block(edit_);
        edit_->setText(list_->item(row)->text());
    });
    connect(edit_, &QLineEdit::textEdited, this, &SimpleComboBox::followTypedText);
}

void SimpleComboBox::setItems(const QStringList& items) {
    list_->clear();
    list_->addItems(items);
}

QStringList SimpleComboBox::items() const {
    QStringList texts;
    for (int i = 0; i < list_->count(); ++i)
        texts << list_->item(i)->text();
    return texts;
}

void SimpleComboBox::setSelected(int index) {
    if (index < 0 || index >= list_->count()) {
        list_->setCurrentRow(-1);
        list_->clearSelection();
        return;
    }
    list_->setCurrentRow(index);
}

int SimpleComboBox::selected() const {
    const QListWidgetItem* item = list_->currentItem();
    return item && item->isSelected() ? list_->row(item) : -1;
}

void SimpleComboBox::followTypedText(const QString& text) {
    if (!text.isEmpty()) {
        for (int i = 0; i < list_->count(); ++i) {
            if (list_->item(i)->text().startsWith(text, Qt::CaseInsensitive)) {
                const QSignalBlocker block(list_);  // keep what the user typed
                list_->setCurrentRow(i);
                return;
            }
        }
    }
    const QSignalBlocker block(list_);
    list_->setCurrentRow(-1);
    list_->clearSelection();
}

void SimpleComboBox::resizeEvent(QResizeEvent*) {
    edit_->setGeometry(0, 0, width(), editHeight_);
    list_->setGeometry(0, editHeight_, width(), std::max(0, height() - editHeight_));
}

bool SimpleComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Down || key == Qt::Key_Up) && list_->count() > 0) {
            const int step = key == Qt::Key_Down ? 1 : -1;
            const int from = selected() < 0 ? (step > 0 ? -1 : list_->count()) : selected();
            setSelected(std::clamp(from + step, 0, list_->count() - 1));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace kv58::app
