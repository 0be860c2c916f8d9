// Builds a window's controls from its declarative template: one widget per template row, at
// the row's rectangle converted from dialog units, in the template's tab order, with the
// template's texts, mnemonics and styles.
#pragma once

#include <map>
#include <QFont>
#include <QSize>
#include <QWidget>

#include "core/dialog_template.h"
#include "dialog_units.h"

namespace kv58::app {

struct BuiltDialog {
    QFont font;
    BaseUnits units;
    QSize clientSize;                  // the template's size in pixels
    std::map<int, QWidget*> controls;  // by control id (rows with an id only)

    QWidget* widget(int id) const;
    template <class W>
    W* as(int id) const {
        return qobject_cast<W*>(widget(id));
    }
};

// Creates the controls of `dialog` as children of `client`, gives `client` the template's
// font and fixes its size to the template's. Widgets by kind: group boxes QGroupBox, labels
// and value texts QLabel (a label's mnemonic moves the focus to the next tab stop after it),
// edits QLineEdit, drop-down lists QComboBox, the simple combo box SimpleComboBox, check
// boxes QCheckBox, buttons QPushButton, icons and bitmaps QLabel with the picture.
BuiltDialog buildDialog(const DialogTemplate& dialog, QWidget* client);

// The size of `dialog` in pixels with the font it gets.
QSize templateSize(const DialogTemplate& dialog);

}  // namespace kv58::app
