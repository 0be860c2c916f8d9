// Windows built from templates: dialog units, sizes and places, texts, mnemonics, tab order,
// and the main window's menu.
#include "dialog_builder.h"

#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QtTest>

#include "core/dialog_ids.h"
#include "core/dialog_model.h"
#include "core/dialog_template.h"
#include "main_window.h"
#include "qt_user_interface.h"

using namespace kv58;
using namespace kv58::app;

Q_DECLARE_METATYPE(const kv58::DialogTemplate*)

class DialogBuilderTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dialogUnitsRoundToTheNearestPixel() {
        const BaseUnits units{6, 13};  // the template font on its home platform
        QCOMPARE(mapDialogRect(units, 7, 7, 266, 58), QRect(11, 11, 399, 94));
        QCOMPARE(mapDialogRect(units, 1, 3, 5, 1), QRect(2, 5, 8, 2));
        QCOMPARE(mapDialogRect({6, 12}, 10, 169, 106, 10), QRect(15, 254, 159, 15));
    }

    void theFontUsedIsTheFontMeasured() {
        const QFont font = dialogFont("MS Sans Serif", 8);
        QCOMPARE(QFontInfo(font).family(), font.family());
        QCOMPARE(font.pointSize(), 8);
        const QFont missing = dialogFont("No Such Dialog Font", 8);
        QCOMPARE(QFontInfo(missing).family(), missing.family());
        const BaseUnits units = baseUnitsOf(font);
        QVERIFY(units.x >= 4 && units.x <= 9);  // a small dialog font, not a fallback bitmap
        QVERIFY(units.y >= 10 && units.y <= 17);
    }

    void everyTemplateKeepsItsSizeAndPlaces_data() {
        QTest::addColumn<const DialogTemplate*>("dialog");
        QTest::newRow("main 102") << &mainDialogTemplate();
        QTest::newRow("port prompt 139") << &portPromptTemplate();
        QTest::newRow("information 131") << &infoWindowTemplate();
        QTest::newRow("about 100") << &aboutTemplate();
        QTest::newRow("contact 137") << &contactTemplate();
    }
    void everyTemplateKeepsItsSizeAndPlaces() {
        QFETCH(const DialogTemplate*, dialog);
        QWidget client;
        const BuiltDialog built = buildDialog(*dialog, &client);
        const QFontMetrics metrics(client.font());
        const int avg = (metrics.horizontalAdvance(QStringLiteral(
                             "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) +
                         26) /
                        52;
        QCOMPARE(built.units.x, avg);
        QCOMPARE(built.units.y, metrics.height());
        QCOMPARE(client.size(), QSize(dluToPixelsX(built.units, dialog->width),
                                      dluToPixelsY(built.units, dialog->height)));
        for (const ControlTemplate& row : dialog->controls) {
            if (row.id < 0)
                continue;
            QWidget* widget = built.widget(row.id);
            QVERIFY(widget);
            const QRect expected = mapDialogRect(built.units, row.x, row.y, row.width, row.height);
            QCOMPARE(widget->geometry().topLeft(), expected.topLeft());
            QCOMPARE(widget->width(), expected.width());
            if (row.kind == ControlKind::DropDownList) {
                QVERIFY(widget->height() <= expected.height());  // the rest is the open list
            } else {
                QCOMPARE(widget->height(), expected.height());
            }
        }
    }

    void textsMnemonicsAndDegreeSigns() {
        QWidget client;
        const BuiltDialog built = buildDialog(mainDialogTemplate(), &client);
        auto* output = built.as<QLabel>(ids::kOutputLabel);
        QCOMPARE(output->text(), QStringLiteral("&Output Signal:"));
        QCOMPARE(output->buddy(), built.widget(ids::kOutputList));
        QCOMPARE(built.as<QLabel>(ids::kSerialLabel)->buddy(), built.widget(ids::kOutputList));
        QCOMPARE(built.as<QLabel>(ids::kTMinUnit)->text(), QString::fromUtf8("°C"));
        QCOMPARE(built.as<QLabel>(ids::kTMinLabel)->alignment() & Qt::AlignHorizontal_Mask,
                 Qt::AlignRight);
        auto* display = built.as<QComboBox>(ids::kDisplayList);
        QCOMPARE(display->itemText(0), QString::fromUtf8("%RH / °C"));
        QCOMPARE(display->currentIndex(), -1);  // no selection until a type is applied

        QWidget about;
        const BuiltDialog aboutBuilt = buildDialog(aboutTemplate(), &about);
        // The second line has no control to take a mnemonic: shown without the marker.
        bool sawSecondLine = false;
        for (QLabel* label : about.findChildren<QLabel*>()) {
            if (label->text().startsWith(QStringLiteral("Reads"))) {
                sawSecondLine = true;
                QVERIFY(!label->text().contains(u'&'));
            }
        }
        QVERIFY(sawSecondLine);
        QVERIFY(!aboutBuilt.as<QLabel>(1038)->buddy());
    }

    void tabOrderIsTheTemplatesAndTheModels() {
        QWidget client;
        const BuiltDialog built = buildDialog(mainDialogTemplate(), &client);
        std::vector<int> chain;
        QWidget* widget = built.widget(ids::kProductCode);
        for (int guard = 0; guard < 100; ++guard) {
            const auto it = std::find_if(built.controls.begin(), built.controls.end(),
                                         [widget](const auto& c) { return c.second == widget; });
            if (it != built.controls.end() && widget->focusPolicy() & Qt::TabFocus) {
                if (!chain.empty() && it->first == chain.front())
                    break;
                chain.push_back(it->first);
            }
            widget = widget->nextInFocusChain();
        }
        QCOMPARE(chain, DialogModel::tabOrder());
    }

    void mainMenuCarriesTheCommandsAndRunIsCheckable() {
        QtUserInterface ui;
        MainWindow window(ui);
        QStringList menus;
        for (QAction* action : window.findChild<QMenuBar*>()->actions())
            menus << action->text();
        QCOMPARE(menus, (QStringList{"&Program", "&Info"}));
        const std::pair<int, const char*> items[] = {
            {ids::kMenuRead, "&read configuration"},
            {ids::kMenuWrite, "set &new configuration"},
            {ids::kMenuRun, "RUN &start/stop"},
            {ids::kMenuExit, "E&xit"},
            {ids::kMenuContact, "&Contact..."},
            {ids::kMenuAbout, "&Info KV58 Configurator..."}};
        for (const auto& [id, text] : items) {
            QAction* action = window.menuAction(id);
            QVERIFY2(action, text);
            QCOMPARE(action->text(), QString::fromLatin1(text));
        }
        QVERIFY(window.menuAction(ids::kMenuRun)->isCheckable());
        QVERIFY(!window.menuAction(ids::kMenuRun)->isChecked());
    }
};

QTEST_MAIN(DialogBuilderTest)
#include "dialog_builder_test.moc"
