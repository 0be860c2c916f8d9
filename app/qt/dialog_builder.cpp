#include "dialog_builder.h"

#include <algorithm>
#include <cstdlib>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <utility>
#include <vector>

#include "pictures.h"
#include "qt_text.h"
#include "simple_combo_box.h"

namespace kv58::app {

namespace {

constexpr int kEditHeightDlu = 12;  // height of a combo box's field

bool has(const ControlTemplate& t, unsigned style) {
    return (t.style & style) != 0;
}

// Windows shows "&&" as "&" and hides a single "&" even where no control takes the mnemonic.
QString withoutMnemonic(const QString& text) {
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i;
        shown += text[i];
    }
    return shown;
}

Qt::Alignment labelAlignment(const ControlTemplate& t) {
    Qt::Alignment align = has(t, kStyleVCentered) ? Qt::AlignVCenter : Qt::AlignTop;
    if (t.kind == ControlKind::ValueText)
        return Qt::AlignCenter;  // tidy in any font height
    if (has(t, kStyleCentered))
        return align | Qt::AlignHCenter;
    return align | (has(t, kStyleLeft) ? Qt::AlignLeft : Qt::AlignRight);
}

QLabel* makeLabel(const ControlTemplate& t, QWidget* client) {
    auto* label = new QLabel(client);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(labelAlignment(t));
    if (t.kind == ControlKind::ValueText || has(t, kStyleSunken)) {
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setLineWidth(1);
    }
    label->setText(toQt(t.text));
    return label;
}

QLineEdit* makeEdit(const ControlTemplate& t, QWidget* client) {
    auto* edit = new QLineEdit(toQt(t.text), client);
    if (has(t, kStyleNumber)) {
        static const QRegularExpression integer(QStringLiteral("[+-]?[0-9]{0,10}"));
        edit->setValidator(new QRegularExpressionValidator(integer, edit));
    }
    if (has(t, kStyleUpperCase)) {
        QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& text) {
            const QString upper = text.toUpper();
            if (upper == text)
                return;
            const int cursor = edit->cursorPosition();
            edit->setText(upper);
            edit->setCursorPosition(cursor);
        });
    }
    return edit;
}

QStringList itemsOf(const ControlTemplate& t) {
    QStringList items;
    for (const std::string& item : t.items)
        items << toQt(item);
    if (has(t, kStyleSorted))
        items.sort(Qt::CaseInsensitive);
    return items;
}

QComboBox* makeDropDown(const ControlTemplate& t, const BaseUnits& units, QWidget* client) {
    auto* combo = new QComboBox(client);
    combo->addItems(itemsOf(t));
    combo->setCurrentIndex(-1);
    // The template's height includes the open list; show as many items as fit in it.
    const int listPixels = dluToPixelsY(units, t.height - kEditHeightDlu);
    combo->setMaxVisibleItems(std::max(1, listPixels / std::max(1, units.y)));
    return combo;
}

QWidget* makePicture(const ControlTemplate& t, const QRect& rect, QWidget* client) {
    auto* label = new QLabel(client);
    QPixmap picture = templatePicture(std::atoi(t.text));
    if (t.kind == ControlKind::Bitmap && !picture.isNull())
        picture = picture.scaled(rect.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    label->setPixmap(picture);
    // An icon sits at its corner; a bitmap is centred in its rectangle whatever the font.
    label->setAlignment(t.kind == ControlKind::Bitmap ? Qt::AlignCenter
                                                      : Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QWidget* makeControl(const ControlTemplate& t, const BaseUnits& units, const QRect& rect,
                     QWidget* client) {
    using K = ControlKind;
    switch (t.kind) {
        case K::GroupBox:
            return new QGroupBox(toQt(t.text), client);
        case K::Label:
        case K::ValueText:
            return makeLabel(t, client);
        case K::Edit:
            return makeEdit(t, client);
        case K::DropDownList:
            return makeDropDown(t, units, client);
        case K::SimpleCombo: {
            auto* combo = new SimpleComboBox(dluToPixelsY(units, kEditHeightDlu), client);
            combo->setItems(itemsOf(t));
            return combo;
        }
        case K::CheckBox:
            return new QCheckBox(toQt(t.text), client);
        case K::PushButton:
        case K::DefaultButton: {
            auto* button = new QPushButton(toQt(t.text), client);
            button->setDefault(t.kind == K::DefaultButton);
            return button;
        }
        case K::Icon:
        case K::Bitmap:
            return makePicture(t, rect, client);
    }
    return new QWidget(client);
}

// A drop-down list is as tall as its field; the rest of its rectangle is the open list.
QRect placedRect(const ControlTemplate& t, const BaseUnits& units, QWidget* widget) {
    QRect rect = mapDialogRect(units, t.x, t.y, t.width, t.height);
    if (t.kind == ControlKind::DropDownList) {
        const int field =
            std::max(dluToPixelsY(units, kEditHeightDlu + 1), widget->sizeHint().height());
        rect.setHeight(std::min(rect.height(), field));
    }
    return rect;
}

// A label's mnemonic moves the focus as the dialog manager moves it: to the first tab stop
// after the label, in template order and round again, that is visible and enabled. (A Qt
// buddy alone would do nothing when the control right after the label is hidden or disabled.)
class MnemonicFocus final : public QObject {
public:
    MnemonicFocus(const DialogTemplate& dialog, std::vector<QWidget*> widgets, QObject* parent)
        : QObject(parent), widgets_(std::move(widgets)) {
        for (const ControlTemplate& row : dialog.controls)
            tabStops_.push_back(has(row, kStyleTabStop));
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Shortcut)
            return false;
        const auto at = std::find(widgets_.begin(), widgets_.end(), watched);
        if (at == widgets_.end())
            return false;
        if (QWidget* target = nextUsableTabStop(size_t(at - widgets_.begin())))
            target->setFocus(Qt::ShortcutFocusReason);  // an edit's text is then selected
        return true;
    }

private:
    QWidget* nextUsableTabStop(size_t label) const {
        for (size_t k = 1; k < widgets_.size(); ++k) {
            const size_t i = (label + k) % widgets_.size();
            if (tabStops_[i] && widgets_[i]->isEnabled() && !widgets_[i]->isHidden())
                return widgets_[i];
        }
        return nullptr;
    }

    std::vector<QWidget*> widgets_;
    std::vector<bool> tabStops_;
};

// A label's mnemonic goes to the next tab stop after it, as in a Windows dialog.
void setBuddies(const DialogTemplate& dialog, const std::vector<QWidget*>& widgets,
                QWidget* client) {
    const auto& rows = dialog.controls;
    auto* mnemonics = new MnemonicFocus(dialog, widgets, client);
    for (size_t i = 0; i < rows.size(); ++i) {
        auto* label = qobject_cast<QLabel*>(widgets[i]);
        if (!label || rows[i].kind != ControlKind::Label || has(rows[i], kStyleNoPrefix))
            continue;
        QWidget* buddy = nullptr;
        for (size_t j = i + 1; j < rows.size() && !buddy; ++j) {
            if (has(rows[j], kStyleTabStop))
                buddy = widgets[j];
        }
        if (buddy && label->text().contains(u'&')) {
            label->setBuddy(buddy);
            label->installEventFilter(mnemonics);
        } else {
            label->setText(withoutMnemonic(label->text()));
        }
    }
}

void setTabOrder(const DialogTemplate& dialog, const std::vector<QWidget*>& widgets) {
    QWidget* previous = nullptr;
    for (size_t i = 0; i < widgets.size(); ++i) {
        if (!has(dialog.controls[i], kStyleTabStop)) {
            if (!qobject_cast<QLabel*>(widgets[i]) && !qobject_cast<QGroupBox*>(widgets[i]))
                widgets[i]->setFocusPolicy(Qt::ClickFocus);
            continue;
        }
        widgets[i]->setFocusPolicy(Qt::StrongFocus);
        if (previous)
            QWidget::setTabOrder(previous, widgets[i]);
        previous = widgets[i];
    }
}

}  // namespace

QWidget* BuiltDialog::widget(int id) const {
    const auto it = controls.find(id);
    return it == controls.end() ? nullptr : it->second;
}

QSize templateSize(const DialogTemplate& dialog) {
    const BaseUnits units = baseUnitsOf(dialogFont(dialog.fontName, dialog.fontPoints));
    return {dluToPixelsX(units, dialog.width), dluToPixelsY(units, dialog.height)};
}

BuiltDialog buildDialog(const DialogTemplate& dialog, QWidget* client) {
    BuiltDialog built;
    built.font = dialogFont(dialog.fontName, dialog.fontPoints);
    built.units = baseUnitsOf(built.font);
    built.clientSize = {dluToPixelsX(built.units, dialog.width),
                        dluToPixelsY(built.units, dialog.height)};
    client->setFont(built.font);
    client->setFixedSize(built.clientSize);

    std::vector<QWidget*> widgets;
    for (const ControlTemplate& t : dialog.controls) {
        const QRect rect = mapDialogRect(built.units, t.x, t.y, t.width, t.height);
        QWidget* widget = makeControl(t, built.units, rect, client);
        widget->setGeometry(placedRect(t, built.units, widget));
        if (t.id >= 0) {
            widget->setObjectName(QString::number(t.id));
            built.controls[t.id] = widget;
        }
        widgets.push_back(widget);
    }
    setBuddies(dialog, widgets, client);
    setTabOrder(dialog, widgets);
    return built;
}

}  // namespace kv58::app
