// The main window driven as a technician would, against the in-process simulated transmitter:
// the real widgets, menus and keys; only message boxes are answered from a script.
#include <memory>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "about_dialog.h"
#include "base/clock.h"
#include "core/dialog_ids.h"
#include "desktop_program.h"
#include "device/flows.h"
#include "sim/sim_port.h"
#include "support/scripted_messages.h"

using namespace kv58;
using namespace kv58::app;

namespace {

// -40 to 120 degC with at least 20 between T min and T max; -40 to 248 degF with 36.
constexpr const char* kLimitsKey = "702633303B642834323B622034303D762032303B642032313B622034303D66";

// A folder with a settings file for the program "KV58" in it, the password file of the
// simulated firmware, and the folder as the working directory.
class Bench {
public:
    explicit Bench(const QString& port) {
        QVERIFY(dir_.isValid());
        for (const char* name : {"KV58-PW.TXT", "PATCH.TXT"}) {
            QVERIFY(QFile::copy(QStringLiteral(KV58_SOURCE_DIR "/resources/shipped/") + name,
                                dir_.filePath(QString::fromLatin1(name))));
        }
        QString ini = QStringLiteral("[COM]\n");
        if (!port.isEmpty())
            ini += QStringLiteral("Port=") + port + u'\n';
        ini += QStringLiteral("Baud=9600\nParity=even\n[Program]\nKey01=") +
               QString::fromLatin1(kLimitsKey) + QStringLiteral("\n[PWfile]\nPW01=KV58-PW.TXT\n");
        QFile file(dir_.filePath(QStringLiteral("KV58.ini")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ini.toLatin1());
        QDir::setCurrent(dir_.path());
    }
    std::string programPath() const { return dir_.filePath(QStringLiteral("KV58")).toStdString(); }

private:
    QTemporaryDir dir_;
};

QString simPort(const char* label) {
    return QStringLiteral("sim:%1?serial=K58-TEST").arg(QString::fromLatin1(label));
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QtUserInterface> ui;
    std::unique_ptr<test::ScriptedMessages<QtUserInterface>> messages;
    std::unique_ptr<VirtualClock> clock;
    std::unique_ptr<DesktopProgram> program;

    // Starts the program on a transmitter of its own; true when the start-up succeeded.
    bool start(const Bench& bench) {
        program = std::make_unique<DesktopProgram>(*ui, *clock);
        return program->start(bench.programPath());
    }
    QString shown(int id) const {
        if (auto* label = qobject_cast<QLabel*>(program->window().control(id)))
            return label->text();
        if (auto* edit = qobject_cast<QLineEdit*>(program->window().control(id)))
            return edit->text();
        return {};
    }
    template <class W>
    W* widget(int id) {
        return qobject_cast<W*>(program->window().control(id));
    }
    void showActive() {
        MainWindow& window = program->window();
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }

private Q_SLOTS:
    void initTestCase() { sim::registerSimPortScheme(); }

    void init() {
        ui = std::make_unique<QtUserInterface>();
        messages = std::make_unique<test::ScriptedMessages<QtUserInterface>>(*ui);
        clock = std::make_unique<VirtualClock>();
    }

    void cleanup() {
        program.reset();
        messages.reset();
        ui.reset();
    }

    void startUpShowsTheTransmitterAndTheTitle() {
        Bench bench(simPort("startup"));
        QVERIFY(start(bench));
        QCOMPARE(program->window().windowTitle(),
                 QStringLiteral(
                     "KV58 Configurator     V2.08.000   (sim:startup?serial=K58-TEST,9600,8,1,e)"));
        QCOMPARE(shown(ids::kTypeText), QStringLiteral("KV58-FT"));
        QCOMPARE(shown(ids::kSerialText), QStringLiteral("K58-TEST"));
        QCOMPARE(shown(ids::kOutputText), QStringLiteral("0 - 10 V"));
        QCOMPARE(shown(ids::kTMinText), QStringLiteral("-20"));
        QCOMPARE(shown(ids::kTMaxEdit), QStringLiteral("80"));
        QCOMPARE(shown(ids::kTMinUnit), QString::fromUtf8("°C"));  // converted from Windows-1252
        QCOMPARE(widget<QComboBox>(ids::kOutputList)->currentText(), QStringLiteral("0 - 10 V"));
        QVERIFY(messages->shown.empty());
        QVERIFY(!ui->infoWindow());  // opened for the read and closed again
        // Hidden for the whole run, and the unit and relay lists closed to the user.
        for (int id : {ids::kProductCode, ids::kTypeList, ids::kWriteProgram, ids::kLastButton})
            QVERIFY(program->window().control(id)->isHidden());
        QVERIFY(!widget<QComboBox>(ids::kUnitList)->isEnabled());
        QVERIFY(!widget<QComboBox>(ids::kRelayList)->isEnabled());
    }

    void aChosenOutputIsWrittenAfterYes() {
        Bench bench(simPort("write"));
        QVERIFY(start(bench));
        QComboBox* outputs = widget<QComboBox>(ids::kOutputList);
        outputs->setCurrentIndex(outputs->findText(QStringLiteral("4 - 20 mA")));
        messages->answers = {MsgAnswer::Yes};
        program->window().menuAction(ids::kMenuWrite)->trigger();
        QTRY_COMPARE(shown(ids::kOutputText), QStringLiteral("4 - 20 mA"));
        QCOMPARE(messages->texts(), std::vector<std::string>{"write new configuration?"});
        QCOMPARE(messages->shown[0].buttons, MsgButtons::YesNo);

        // The transmitter keeps it: a new start reads it back.
        program.reset();
        QVERIFY(start(bench));
        QCOMPARE(shown(ids::kOutputText), QStringLiteral("4 - 20 mA"));
    }

    // The close box while a write is between its erase and its verified end: the window stays
    // until the write has ended, then closes.
    void theCloseBoxWaitsForTheEndOfAWrite() {
        // The first flash write loses power half-way: Segment A is erased when the error is
        // shown, and the next attempt writes it.
        Bench bench(QStringLiteral("sim:closebox?serial=K58-TEST&fault=power-loss:1"));
        QVERIFY(start(bench));
        showActive();
        QComboBox* outputs = widget<QComboBox>(ids::kOutputList);
        outputs->setCurrentIndex(outputs->findText(QStringLiteral("4 - 20 mA")));
        std::vector<std::string> texts;
        bool openAfterTheClose = false;
        ui->scriptedMessages = [&](const std::string& text, MsgIcon, MsgButtons buttons) {
            texts.push_back(text);
            if (text.rfind("ERROR", 0) == 0) {
                program->window().close();
                openAfterTheClose = program->window().isVisible();
            }
            return buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
        };
        program->window().menuAction(ids::kMenuWrite)->trigger();
        QTRY_VERIFY(!program->window().isVisible());
        QVERIFY(openAfterTheClose);
        QCOMPARE(texts.size(), size_t{2});  // the question and the failed attempt's error
        QCOMPARE(program->dialog().flows().lastWriteOutcome(), WriteOutcome::Confirmed);
    }

    void aDeclinedWriteLeavesTheTransmitterAlone() {
        Bench bench(simPort("declined"));
        QVERIFY(start(bench));
        QComboBox* outputs = widget<QComboBox>(ids::kOutputList);
        outputs->setCurrentIndex(outputs->findText(QStringLiteral("0 - 20 mA")));
        messages->answers = {MsgAnswer::No};
        program->window().menuAction(ids::kMenuWrite)->trigger();
        QTRY_COMPARE(messages->shown.size(), size_t{1});
        program->window().menuAction(ids::kMenuRead)->trigger();
        QTRY_VERIFY(ui->infoWindow() == nullptr);
        QCOMPARE(shown(ids::kOutputText), QStringLiteral("0 - 10 V"));
    }

    void leavingTMinCorrectsTheRangeAndSaysSo() {
        Bench bench(simPort("range"));
        QVERIFY(start(bench));
        showActive();
        QLineEdit* tMin = widget<QLineEdit>(ids::kTMinEdit);
        tMin->setFocus();
        QTRY_COMPARE(program->dialog().model().focused(), ids::kTMinEdit);
        tMin->selectAll();
        QTest::keyClicks(tMin, "-50");
        QTest::keyClick(tMin, Qt::Key_Tab);
        QTRY_COMPARE(messages->shown.size(), size_t{1});
        QCOMPARE(messages->shown[0].text,
                 std::string("Value invalid - will be corrected automatically!\n"
                             "\tmin. = -40 \xB0"
                             "C\n\tmax. = 120 \xB0"
                             "C\n\tdiff. = 20 \xB0"
                             "C"));
        QCOMPARE(messages->shown[0].icon, MsgIcon::Information);
        QCOMPARE(tMin->text(), QStringLiteral("-40"));
        QCOMPARE(QApplication::focusWidget(), program->window().control(ids::kTMaxEdit));
    }

    void enterInTMaxMovesOnAndNeverCloses() {
        Bench bench(simPort("enter"));
        QVERIFY(start(bench));
        showActive();
        QLineEdit* tMax = widget<QLineEdit>(ids::kTMaxEdit);
        tMax->setFocus();
        QTRY_COMPARE(program->dialog().model().focused(), ids::kTMaxEdit);
        QTest::keyClick(tMax, Qt::Key_Return);
        QTRY_COMPARE(QApplication::focusWidget(), program->window().control(ids::kDisplayList));
        QVERIFY(program->window().isVisible());
        // Enter on a list moves on as well, round to the first tab stop.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
        QTRY_COMPARE(QApplication::focusWidget(), program->window().control(ids::kOutputList));
        QVERIFY(program->window().isVisible());
        QVERIFY(messages->shown.empty());  // 80 and -20 lie within the limits
    }

    void enterIntoAnEditSelectsItsText() {
        Bench bench(simPort("select"));
        QVERIFY(start(bench));
        showActive();
        QComboBox* outputs = widget<QComboBox>(ids::kOutputList);
        outputs->setFocus();
        QTRY_COMPARE(program->dialog().model().focused(), ids::kOutputList);
        QTest::keyClick(outputs, Qt::Key_Return);  // past the disabled unit list to T min
        QLineEdit* tMin = widget<QLineEdit>(ids::kTMinEdit);
        QTRY_COMPARE(QApplication::focusWidget(), tMin);
        QCOMPARE(tMin->selectedText(), QStringLiteral("-20"));
        QTest::keyClicks(tMin, "5");
        QCOMPARE(tMin->text(), QStringLiteral("5"));
    }

    // The question box takes the focus from T min: the range check corrects first.
    void theRangeIsCheckedBeforeTheQuestionIsAsked() {
        Bench bench(simPort("ask"));
        QVERIFY(start(bench));
        showActive();
        QLineEdit* tMin = widget<QLineEdit>(ids::kTMinEdit);
        tMin->setFocus();
        QTRY_COMPARE(program->dialog().model().focused(), ids::kTMinEdit);
        tMin->selectAll();
        QTest::keyClicks(tMin, "-50");
        QString shownAtTheQuestion;
        messages->answers = {MsgAnswer::Ok, MsgAnswer::No};
        ui->scriptedMessages = [this, tMin, &shownAtTheQuestion, next = ui->scriptedMessages](
                                   const std::string& text, MsgIcon icon, MsgButtons buttons) {
            if (buttons == MsgButtons::YesNo)
                shownAtTheQuestion = tMin->text();
            return next(text, icon, buttons);
        };
        program->window().menuAction(ids::kMenuWrite)->trigger();
        QTRY_COMPARE(messages->shown.size(), size_t{2});
        QCOMPARE(messages->shown[0].text.rfind("Value invalid", 0), size_t{0});
        QCOMPARE(messages->shown[1].text, std::string("write new configuration?"));
        QCOMPARE(shownAtTheQuestion, QStringLiteral("-40"));
    }

    void theRangeIsCheckedBeforeAboutOpens() {
        Bench bench(simPort("about-range"));
        QVERIFY(start(bench));
        showActive();
        QLineEdit* tMax = widget<QLineEdit>(ids::kTMaxEdit);
        tMax->setFocus();
        QTRY_COMPARE(program->dialog().model().focused(), ids::kTMaxEdit);
        tMax->selectAll();
        QTest::keyClicks(tMax, "500");
        // The menu command is queued to the dialog: About opens later, and is closed once open.
        size_t messagesBeforeAbout = 0;
        QTimer closeAbout;
        QObject::connect(&closeAbout, &QTimer::timeout, [this, &messagesBeforeAbout, &closeAbout] {
            auto* about = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
            if (!about)
                return;
            messagesBeforeAbout = messages->shown.size();
            closeAbout.stop();
            about->accept();
        });
        closeAbout.start(10);
        program->window().menuAction(ids::kMenuAbout)->trigger();
        QTRY_COMPARE(tMax->text(), QStringLiteral("120"));
        QTRY_COMPARE(messagesBeforeAbout, size_t{1});
    }

    // A label's mnemonic goes on to the next enabled, visible tab stop, as in the dialog
    // manager: past the disabled unit and relay lists and the hidden type list.
    void mnemonicsSkipHiddenAndDisabledControls() {
        Bench bench(simPort("mnemonics"));
        QVERIFY(start(bench));
        showActive();
        const std::vector<std::pair<Qt::Key, int>> cases = {
            {Qt::Key_U, ids::kTMinEdit},      // T &unit: -> the disabled unit list
            {Qt::Key_A, ids::kOutputList},    // &Alarm relay: -> disabled, then round
            {Qt::Key_M, ids::kOutputList},    // Trans&mittertype: -> the hidden type list
            {Qt::Key_X, ids::kTMaxEdit},      // T ma&x: -> its own edit
            {Qt::Key_D, ids::kDisplayList}};  // &Display Reading:
        for (const auto& [key, target] : cases) {
            widget<QComboBox>(ids::kDisplayList)->setFocus();
            QTest::keyClick(&program->window(), key, Qt::AltModifier);
            QTRY_COMPARE(QApplication::focusWidget(), program->window().control(target));
        }
        // An edit reached by its mnemonic has its text selected.
        QTest::keyClick(&program->window(), Qt::Key_U, Qt::AltModifier);
        QTRY_COMPARE(widget<QLineEdit>(ids::kTMinEdit)->selectedText(), QStringLiteral("-20"));
    }

    void menuPopupsUseTheMenuBarsFont() {
        Bench bench(simPort("font"));
        QVERIFY(start(bench));
        auto* bar = program->window().findChild<QMenuBar*>();
        QVERIFY(bar);
        const QList<QAction*> popups = bar->actions();
        QCOMPARE(popups.size(), 2);
        for (QAction* popup : popups) {
            QVERIFY(popup->menu());
            QCOMPARE(popup->menu()->font(), bar->font());
        }
    }

    void runTogglesItsCheckMark() {
        Bench bench(simPort("run"));
        QVERIFY(start(bench));
        QAction* run = program->window().menuAction(ids::kMenuRun);
        QVERIFY(run && !run->isChecked());
        run->trigger();
        QVERIFY(run->isChecked());
        run->trigger();
        QVERIFY(!run->isChecked());
        QVERIFY(messages->shown.empty());
    }

    void escapeEndsTheProgram() {
        Bench bench(simPort("escape"));
        QVERIFY(start(bench));
        showActive();
        QSignalSpy finished(&program->window(), &QDialog::finished);
        QTest::keyClick(&program->window(), Qt::Key_Escape);
        QTRY_COMPARE(finished.size(), 1);
        QVERIFY(!program->window().isVisible());
        QCOMPARE(program->exitCode(), 0);
    }

    void aboutOpensFromTheInfoMenu() {
        Bench bench(simPort("about"));
        QVERIFY(start(bench));
        showActive();
        QString versionLine;
        QTimer::singleShot(0, [&versionLine] {
            auto* about = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
            if (!about)
                return;
            versionLine = about->versionLabel()->text();
            about->accept();
        });
        program->window().menuAction(ids::kMenuAbout)->trigger();
        QTRY_COMPARE(versionLine, QStringLiteral("KV58 Configurator   V2.08.000   (Build: 0046)"));
    }

    void aSettingsFailureEndsWithCode2BeforeAnyRead() {
        Bench bench{QString()};  // no port: the prompt asks, and is cancelled
        int prompts = 0;
        ui->scriptedPortPrompt = [&prompts](PortPromptState&) {
            ++prompts;
            return false;
        };
        QVERIFY(!start(bench));
        QCOMPARE(prompts, 1);
        QCOMPARE(program->exitCode(), 2);
        QCOMPARE(messages->texts(), (std::vector<std::string>{"ERROR reading INI-File\n[COM], Port",
                                                              "ERROR reading INI-File!"}));
        QCOMPARE(messages->shown[1].icon, MsgIcon::Exclamation);
        QVERIFY(!program->window().isVisible());
        QCOMPARE(shown(ids::kSerialText), QString());  // nothing was read
    }

    void aMissingTransmitterIsReportedAndTheWindowStays() {
        Bench bench(simPort("absent") + QStringLiteral("&fault=silent"));
        QVERIFY(start(bench));
        // The dialog's own message, then the cause once.
        const std::vector<std::string> texts = messages->texts();
        QVERIFY(texts.size() >= 2);
        QCOMPARE(texts[texts.size() - 2], std::string("ERROR reading data!"));
        QCOMPARE(texts.back(),
                 std::string("ERROR: Syncronization failed!\nDevice with boot loader connected?"));
        QCOMPARE(program->exitCode(), 0);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
