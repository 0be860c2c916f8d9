// About, Contact, the port prompt and the information window, on their own.
#include <QLabel>
#include <QListWidget>
#include <QTimer>
#include <QtTest>

#include "about_dialog.h"
#include "contact_dialog.h"
#include "core/dialog_template.h"
#include "core/main_dialog.h"
#include "dialog_builder.h"
#include "info_window.h"
#include "port_prompt_dialog.h"
#include "qt_user_interface.h"
#include "settings/port_prompt.h"
#include "support/scripted_messages.h"

using namespace kv58;
using namespace kv58::app;

namespace {

// Counts the paint events a widget receives.
class PaintCounter final : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Runs `action` on the modal dialog that opens next.
void onNextModal(std::function<void(QWidget*)> action) {
    QTimer::singleShot(0, [action] {
        QWidget* modal = QApplication::activeModalWidget();
        QVERIFY(modal);
        action(modal);
    });
}

}  // namespace

class SmallDialogsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aboutShowsTheProgramVersionWhateverTheTemplateSays() {
        AboutDialog about(aboutVersionLine());
        QCOMPARE(about.versionLabel()->text(),
                 QStringLiteral("KV58 Configurator   V2.08.000   (Build: 0046)"));
        QCOMPARE(about.windowTitle(), QString::fromUtf8("Info über KV58 Configurator"));
        QCOMPARE(about.size(), templateSize(aboutTemplate()));
    }

    void contactLinksBecomeUrlsWithoutTheBlankAfterTheScheme() {
        QCOMPARE(contactUrl(kContactMailLink),
                 QUrl(QStringLiteral("mailto:kv58-service@example.com")));
        QCOMPARE(contactUrl(kContactHomepageLink),
                 QUrl(QStringLiteral("https://www.example.com/kv58/")));
        QCOMPARE(contactUrl("  mailto:   a@example.org "),
                 QUrl(QStringLiteral("mailto:a@example.org")));
    }

    void contactReportsALinkNoHandlerTookAndStaysOpen() {
        QtUserInterface ui;
        test::ScriptedMessages messages(ui);
        std::vector<QUrl> opened;
        bool handlerWorks = false;
        ContactDialog contact(ui, [&](const QUrl& url) {
            opened.push_back(url);
            return handlerWorks;
        });
        contact.show();

        QTest::mouseClick(contact.mailButton(), Qt::LeftButton);
        QCOMPARE(opened.size(), size_t{1});
        QCOMPARE(opened[0].scheme(), QStringLiteral("mailto"));
        QCOMPARE(messages.texts(), std::vector<std::string>{"ERROR sending eMail"});
        QCOMPARE(messages.shown[0].icon, MsgIcon::None);
        QVERIFY(contact.isVisible());

        QTest::mouseClick(contact.homepageButton(), Qt::LeftButton);
        QCOMPARE(messages.texts().back(), std::string("ERROR retrieving homepage"));

        handlerWorks = true;
        messages.shown.clear();
        QTest::mouseClick(contact.homepageButton(), Qt::LeftButton);
        QCOMPARE(opened.back(), QUrl(QStringLiteral("https://www.example.com/kv58/")));
        QVERIFY(messages.shown.empty());
        QVERIFY(contact.isVisible());
    }

    void portPromptStartsOnTheFirstPortAndHandsBackTheChoice() {
        PortPromptDialog prompt(initialPortPromptState());
        QCOMPARE(prompt.ports()->items(), (QStringList{"COM1", "COM2", "COM3", "COM4"}));
        QCOMPARE(prompt.ports()->selected(), 0);
        QCOMPARE(prompt.ports()->editText(), QStringLiteral("COM1"));
        QVERIFY(!prompt.setDefaultBox()->isChecked());

        QListWidget* list = prompt.ports()->list();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(2)).center());
        prompt.setDefaultBox()->setChecked(true);
        const PortPromptState state = prompt.state();
        QCOMPARE(state.selected, 2);
        QCOMPARE(state.editText, std::string("COM3"));
        QVERIFY(state.setDefault);
    }

    void typingInThePortFieldSelectsTheFirstItemItBegins() {
        PortPromptDialog prompt(initialPortPromptState());
        QLineEdit* edit = prompt.ports()->edit();
        edit->clear();
        QTest::keyClicks(edit, "com4");
        QCOMPARE(prompt.ports()->selected(), 3);
        QCOMPARE(edit->text(), QStringLiteral("com4"));  // what was typed stays
        edit->clear();
        QTest::keyClicks(edit, "COM9");
        QCOMPARE(prompt.ports()->selected(), -1);
        QTest::keyClick(edit, Qt::Key_Up);  // the arrows walk the list again
        QCOMPARE(prompt.ports()->selected(), 3);
    }

    void portPromptOkAndCancelThroughTheUserInterface() {
        QtUserInterface ui;
        onNextModal([](QWidget* modal) {
            auto* prompt = qobject_cast<PortPromptDialog*>(modal);
            QVERIFY(prompt);
            prompt->ports()->setSelected(1);
            QTest::keyClick(prompt->ports()->edit(), Qt::Key_Return);  // the OK button
        });
        std::optional<PortChoice> choice = RunPortPrompt(ui);
        QVERIFY(choice);
        QCOMPARE(choice->port, std::string("COM2"));

        onNextModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
        QVERIFY(!RunPortPrompt(ui));
    }

    void informationWindowPaintsEachTextAtOnce() {
        QWidget owner;
        owner.resize(600, 400);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        QtUserInterface ui;
        ui.infoOpen();
        InfoWindow* info = ui.infoWindow();
        QVERIFY(info && info->isVisible());
        QCOMPARE(info->windowTitle(), QStringLiteral("KV58 Configurator: Information..."));
        QCOMPARE(info->size(), templateSize(infoWindowTemplate()));

        auto* label = info->findChild<QLabel*>(QStringLiteral("1037"));
        QVERIFY(label);
        PaintCounter counter;
        label->installEventFilter(&counter);
        ui.infoSetText("reading data from KV58...");
        ui.infoSetText("rereading data...");
        // No event loop ran: the caller blocks the thread, so each text is painted at once.
        QCOMPARE(counter.paints, 2);
        QCOMPARE(info->text(), QStringLiteral("rereading data..."));
        label->removeEventFilter(&counter);

        ui.infoProgress(1024, 4096);
        QVERIFY(info->progressBar()->isVisible());
        QCOMPARE(info->progressBar()->value(), 250);
        ui.infoProgress(0, 0);
        QVERIFY(!info->progressBar()->isVisible());

        ui.infoClose();
        QVERIFY(!ui.infoWindow());
    }

    void informationWindowOpensCentredOverTheActiveWindow() {
        QWidget owner;
        owner.setGeometry(100, 80, 700, 500);
        owner.show();
        owner.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&owner));
        QtUserInterface ui;
        ui.infoOpen();
        const QPoint offset = ui.infoWindow()->geometry().center() - owner.frameGeometry().center();
        QVERIFY2(offset.manhattanLength() <= 2, "not centred over the active window");
        ui.infoClose();
    }
};

QTEST_MAIN(SmallDialogsTest)
#include "small_dialogs_test.moc"
