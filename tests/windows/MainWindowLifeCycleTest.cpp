#include "MainWindowFixture.h"

#include "platform/Clock.h"
#include "platform/VbFiles.h"
#include "platform/Wait.h"
#include "settings/StoredPositionFile.h"
#include "settings/frmCal.h"
#include "drivers/Focuser.h"
#include "support/AsOrdinaryUser.h"
#include "support/WidgetInput.h"
#include "windows/frmConsole.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QtEndian>

namespace {

const QString FocusFile = QStringLiteral("ORVA.DAT");
const QString RotatorFile = QStringLiteral("RUDOdovovez.DAT");

void removeDataFile(const QString &name)
{
    QFile::remove(DataFolder::file(name));
}

// A record as the store writes it, byte by byte.
QByteArray record(const QByteArray &description, qint32 position, std::optional<float> temperature, int length)
{
    QByteArray bytes = description.leftJustified(50, ' ');
    char number[4];
    qToLittleEndian(position, number);
    bytes.append(number, 4);
    if (temperature) {
        qToLittleEndian(*temperature, number);
        bytes.append(number, 4);
    }
    return bytes.leftJustified(length, '\0');
}

void writeFile(const QString &name, const QByteArray &bytes)
{
    QFile file(DataFolder::path() + QLatin1Char('/') + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QStringList items(QComboBox *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->itemText(i);
    return out;
}

QAction *toolbarKey(const char *key)
{
    return MainForm(false)->findChild<QAction *>(QString::fromLatin1(key));
}

} // namespace

using MainWindowLifeCycle = MainWindowFixture;

TEST_F(MainWindowLifeCycle, FirstStartWithoutStoredPositionsCreatesEmptyFiles)
{
    removeDataFile(FocusFile);
    removeDataFile(RotatorFile);
    openQuiet();
    EXPECT_EQ(items(control<QComboBox>("Combo1")), QStringList{"<new>"});
    EXPECT_EQ(items(control<QComboBox>("cmbRotStore")), QStringList{"<new>"});
    EXPECT_EQ(Module().positions.FocusPositionCount, 1);
    EXPECT_EQ(Module().positions.RotatorPositionCount, 1);
    EXPECT_TRUE(QFile::exists(DataFolder::file(FocusFile)));
    EXPECT_TRUE(QFile::exists(DataFolder::file(RotatorFile)));
    EXPECT_TRUE(fileBytes(FocusFile).isEmpty());
    EXPECT_TRUE(fileBytes(RotatorFile).isEmpty());

    // The next start with the two empty files counts the same.
    closeMain();
    openQuiet();
    EXPECT_EQ(Module().positions.FocusPositionCount, 1);
    EXPECT_EQ(Module().positions.RotatorPositionCount, 1);
}

TEST_F(MainWindowLifeCycle, StoredRecordsAreListedAndCountedOncePlusOne)
{
    removeDataFile(FocusFile);
    removeDataFile(RotatorFile);
    // Lower-case names on disk: found whatever the spelling.
    writeFile(QStringLiteral("orva.dat"), record("Caf\xe9 focus", 12345, 68.5f, 108) + record("", 1, 1.0f, 108)
                                              + record("Second", -20, 40.25f, 108)
                                              + record("Third", 7, -3.5f, 108).left(58));
    writeFile(QStringLiteral("rudodovovez.dat"), record("East", 90, {}, 104) + record("West", 270, {}, 104)
                                                     + record("North", 0, {}, 104) + QByteArray(20, '\0'));
    // Read-only files are listed as writable ones; files that cannot be read list nothing and
    // one box names them.
    const QFile::Permissions readable = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    const QString unread = QStringLiteral("The file \"%1\" cannot be read (Permission denied).");
    for (const QFile::Permissions mode : {readable | QFile::WriteOwner, readable, QFile::Permissions()}) {
        SCOPED_TRACE(int(mode));
        for (const char *name : {"orva.dat", "rudodovovez.dat"})
            QFile::setPermissions(DataFolder::file(QString::fromLatin1(name)), mode);
        {
            const AsOrdinaryUser user;
            openQuiet();
        }
        Wait::Until(mode ? 50 : 2000, [&] { return !prompts.boxes.isEmpty(); }); // the box is posted
        for (const char *name : {"orva.dat", "rudodovovez.dat"})
            QFile::setPermissions(DataFolder::file(QString::fromLatin1(name)), readable | QFile::WriteOwner);
        const ModuleState::Positions &p = Module().positions;
        if (!mode) {
            EXPECT_EQ(prompts.takePrompts(), QStringList{unread.arg(DataFolder::file(RotatorFile)) + QLatin1Char('\n')
                                                         + unread.arg(DataFolder::file(FocusFile))});
            EXPECT_EQ(items(control<QComboBox>("Combo1")), QStringList{"<new>"});
            EXPECT_EQ(items(control<QComboBox>("cmbRotStore")), QStringList{"<new>"});
            EXPECT_TRUE(p.FocusPositionCount == 1 && p.RotatorPositionCount == 1);
            continue;
        }
        EXPECT_EQ(prompts.takePrompts(), QStringList());
        // A blank description is listed too: entry k stays record k.
        const QStringList focus = items(control<QComboBox>("Combo1"));
        ASSERT_EQ(focus.size(), 5);
        EXPECT_EQ(focus[1], QString::fromLatin1("Caf\xe9 focus").leftJustified(50));
        EXPECT_EQ(focus[2].trimmed(), QString());
        EXPECT_EQ(focus[3].trimmed(), QStringLiteral("Second"));
        EXPECT_EQ(p.FocusPositionCount, 5);
        EXPECT_EQ(p.FocusPositions[1].Position, 12345);
        EXPECT_EQ(p.FocusPositions[3].Position, -20);
        EXPECT_FLOAT_EQ(p.FocusTemperatures[1], 68.5f);
        EXPECT_FLOAT_EQ(p.FocusTemperatures[3], 40.25f);
        EXPECT_FLOAT_EQ(p.FocusTemperatures[4], -3.5f);
        EXPECT_EQ(items(control<QComboBox>("cmbRotStore")).size(), 4);
        EXPECT_EQ(p.RotatorPositionCount, 4);
        EXPECT_EQ(p.RotatorPositions[2].Position, 270);
        EXPECT_EQ(control<QComboBox>("cmbRotStore")->currentIndex(), 0);
        closeMain();
    }
}

TEST(StoredPositionFile, RecordBytes)
{
    FocusRecord f{QString::fromLatin1("Caf\xe9"), 258, 1.0f};
    const QByteArray bytes = StoredPositionFile::encode(f);
    ASSERT_EQ(bytes.size(), 58);
    EXPECT_EQ(bytes.left(50), QByteArray("Caf\xe9").leftJustified(50, ' '));
    EXPECT_EQ(bytes.mid(50), QByteArray::fromHex("020100000000803f"));
    EXPECT_EQ(StoredPositionFile::encode(RotatorRecord{QStringLiteral("x"), -1}).mid(50), QByteArray::fromHex("ffffffff"));
}

TEST_F(MainWindowLifeCycle, LoadSendsTheHandshakeThenTheQueriesInOrder)
{
    openQuiet();
    ASSERT_TRUE(flushTo(QStringLiteral("MARK ")));
    EXPECT_TRUE(sim.received().startsWith(QStringLiteral(" !  J  l  Q "))) << sim.received().toStdString();
    EXPECT_FALSE(toolbarKey("DialPhoneNumber")->isEnabled());
    EXPECT_TRUE(toolbarKey("HangUpPhone")->isEnabled());
    EXPECT_TRUE(Module().link.MainFormOpen);
    EXPECT_EQ(Module().link.FirmwareVersion, QStringLiteral("Not Available"));
}

TEST_F(MainWindowLifeCycle, AnAnsweredHandshakeAsksForVersionAndSettingsOnce)
{
    frmMain *form = open();
    ASSERT_TRUE(sim.waitForReceived(QStringLiteral(" V  l "), 3000));
    EXPECT_EQ(sim.received().count(QStringLiteral(" ! ")), 1);
    EXPECT_TRUE(sim.received().contains(QStringLiteral("1 ")));
    EXPECT_FALSE(form->Timer6.Enabled());
    EXPECT_TRUE(prompts.boxes.isEmpty());
}

TEST_F(MainWindowLifeCycle, ASilentControllerGetsFourTriesThenTheWarning)
{
    // What happens while the warning stands: nothing; the port opened anew; the answer comes late.
    enum Meanwhile { Nothing, Reopened, Answered };
    for (const Meanwhile meanwhile : {Nothing, Reopened, Answered}) {
        SCOPED_TRACE(int(meanwhile));
        frmMain *form = openQuiet();
        Serial &link = *Module().link.SharedSerial;
        prompts.answer = [&](const MessageBoxRequest &) {
            if (meanwhile == Reopened) {
                link.setConnected(false);
                link.setConnected(true);
            } else if (meanwhile == Answered) {
                sim.sendRaw(":! 1 ");
                EXPECT_TRUE(Wait::Until(1000, [&] { return link.Reports().Last(u":!"); }));
            }
            return int(vbconst::vbOK);
        };
        const int64_t start = Clock::Now();
        ASSERT_TRUE(Wait::Until(6000, [&] { return !prompts.boxes.isEmpty(); }));
        EXPECT_GE(Clock::Now() - start, 3500);
        EXPECT_EQ(prompts.boxes[0].prompt, QStringLiteral("Warning:  Unable to communicate with controller."));
        EXPECT_EQ(prompts.boxes[0].buttons, 0);
        EXPECT_EQ(sim.received().count(QStringLiteral(" ! ")), 4);
        // Only a port nothing touched while the box stood is closed; a late answer goes on as answered.
        EXPECT_EQ(link.Connected(), meanwhile != Nothing);
        EXPECT_EQ(form->mnuConnect->isEnabled(), meanwhile == Nothing);
        EXPECT_EQ(meanwhile == Answered, sim.waitForReceived(QStringLiteral(" V  l "), meanwhile == Answered ? 3000 : 0));
        if (meanwhile == Nothing) {
            EXPECT_EQ(form->HandshakeRetries, 0);
        }
        closeMain();
        prompts.boxes.clear();
        prompts.answer = nullptr;
        link.setConnected(false);
        sim.clearReceived();
    }
}

TEST_F(MainWindowLifeCycle, TheMenusFollowThePortWhoeverOpensOrClosesIt)
{
    frmMain *form = openQuiet();
    Serial &link = *Module().link.SharedSerial;
    // No log has started: only its start is offered.
    EXPECT_TRUE(form->mnuStartLog->isEnabled() && toolbarKey("Log")->isEnabled());
    EXPECT_FALSE(form->mnuStopLog->isEnabled() || toolbarKey("StopLog")->isEnabled());
    // Connected at load, closed and opened again by a client, the device removed.
    const std::pair<std::function<void()>, bool> rows[] = {
        {[] {}, true}, {[&] { link.setConnected(false); }, false}, {[&] { link.setConnected(true); }, true}, {[&] { sim.vanish(); }, false}};
    // A closed port leaves no readout of either window with a value from before; one that
    // closed on its own is said once, naming the device and the reason.
    ShowConsoleForm();
    const auto readouts = [&] {
        QStringList shown{form->lblSet->text(), form->lblActual->text(), form->lblMotorStatus->text(),
                          form->StatusPanel[0]->text(), ConsoleForm(false)->lblActual->text()};
        shown.removeAll(QString());
        return shown;
    };
    for (const auto &[act, on] : rows) {
        act();
        ASSERT_TRUE(Wait::Until(3000, [&] { return link.Connected() == on; })) << on;
        EXPECT_TRUE(form->mnuConnect->isEnabled() != on && form->mnuDisconnect->isEnabled() == on) << on;
        EXPECT_EQ(toolbarKey("DialPhoneNumber")->isEnabled(), !on) << on;
        if (on) {
            sim.sendRaw(":s 3000 :a 3000 :mo 0 :t7 8000 ");
            EXPECT_TRUE(Wait::Until(3000, [&] { return readouts().size() == 5; }));
        } else {
            EXPECT_EQ(readouts(), QStringList());
        }
    }
    Wait::For(50); // the box is posted
    EXPECT_EQ(prompts.takePrompts(), QStringList{"The port closed: " + sim.devicePath() + " (from VKM_COM1): no such device"});
    ConsoleForm(false)->close();
}

// A saved position that no screen shows (a monitor removed) opens on the primary screen,
// the size kept; one a screen shows is kept.
TEST_F(MainWindowLifeCycle, AWindowSavedOffEveryScreenOpensOnThePrimaryScreen)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    struct Case { QPoint saved; bool kept; };
    const Case cases[] = {{{3000, 40}, false}, {{40, 5000}, false}, {{-3000, -3000}, false}, {{40, 30}, true}};
    for (const Case &c : cases) {
        for (const char *name : {"MainPosX", "MiniPosX"})
            writeSetting(QString::fromLatin1(name), REG_DWORD, int32_t(c.saved.x()));
        for (const char *name : {"MainPosY", "MiniPosY"})
            writeSetting(QString::fromLatin1(name), REG_DWORD, int32_t(c.saved.y()));
        for (QWidget *window : {static_cast<QWidget *>(openQuiet()), static_cast<QWidget *>((ShowConsoleForm(), ConsoleForm(false)))}) {
            const QSize size = window->frameGeometry().size();
            if (c.kept)
                EXPECT_EQ(window->pos(), c.saved) << window->objectName().toStdString();
            else
                EXPECT_TRUE(screen.contains(QRect(window->pos(), size.boundedTo(screen.size()))))
                    << window->objectName().toStdString() << " at " << window->x() << "," << window->y();
        }
        ConsoleForm(false)->close();
        closeMain();
    }
}

TEST_F(MainWindowLifeCycle, ThePollAsksForTheVisibleTab)
{
    frmMain *form = open();
    ASSERT_TRUE(sim.waitForReceived(QStringLiteral(" V  l "), 3000)); // the handshake is done
    struct Case { int tab; const char *coverMode; const char *query; }; // coverMode: a client's, its query answered
    const Case cases[] = {{0, nullptr, " Q "}, {1, nullptr, " T "}, {2, nullptr, " R  d0 "}, {3, nullptr, "2 6 3 "}, {3, "1", "8 "}};
    for (const Case &c : cases) {
        form->SSTab1->setCurrentIndex(c.tab);
        if (c.coverMode) {
            sim.setValue(QStringLiteral(":S2M"), QString::fromLatin1(c.coverMode));
            Module().link.SharedSerial->Transmit(QStringLiteral("1 "));
        }
        sim.clearReceived();
        EXPECT_TRUE(sim.waitForReceived(QString::fromLatin1(c.query), 2000)) << c.tab << " " << sim.received().toStdString();
        EXPECT_EQ(control("pnlPrimaryCover")->isVisible(), c.coverMode != nullptr) << c.tab;
    }
    EXPECT_FALSE(Module().rotator.RotatorTabShown);

    // With the options window open the poll is quiet.
    Module().link.SettingsWindowOpen = true;
    form->SSTab1->setCurrentIndex(0);
    ASSERT_TRUE(flushTo(QStringLiteral("MARK ")));
    sim.clearReceived();
    int ticks = 0;
    QObject::connect(&form->Timer4, &VbTimer::Tick, [&] { ++ticks; });
    ASSERT_TRUE(Wait::Until(3000, [&] { return ticks >= 3; }));
    ASSERT_TRUE(flushTo(QStringLiteral("MARK ")));
    EXPECT_EQ(sim.received(), QStringLiteral("MARK "));
}

TEST_F(MainWindowLifeCycle, TheRotatorTabIsRememberedAndCoverPanelFollowsTheMode)
{
    frmMain *form = openQuiet();
    form->SSTab1->setCurrentIndex(2);
    EXPECT_TRUE(Module().rotator.RotatorTabShown);
    EXPECT_FALSE(control("cmdZELUtils")->isEnabled());
    form->PrimaryCoverMode = 1;
    form->SSTab1->setCurrentIndex(3);
    EXPECT_FALSE(Module().rotator.RotatorTabShown);
    EXPECT_FALSE(control("pnlPrimaryCover")->isHidden());
    Module().rotator.RotatorTabShown = true;
    closeMain();
    form = openQuiet();
    EXPECT_EQ(form->SSTab1->currentIndex(), 2);
}

TEST_F(MainWindowLifeCycle, UnloadWritesTheSevenSettings)
{
    frmMain *form = openQuiet();
    ModuleState::Settings &s = Module().settings;
    s.FocusStep = 2;
    s.RotateStep = 4;
    s.RotateStepOption = QStringLiteral("12.25");
    s.ZELLimit = 720;
    s.Celcius = 1;
    form->move(40, 30);
    control<QCheckBox>("Check1")->setChecked(true);
    closeMain();
    EXPECT_EQ(readSetting(QStringLiteral("FocusStep")), QVariant(int32_t(2)));
    EXPECT_EQ(readSetting(QStringLiteral("RotateStep")), QVariant(int32_t(4)));
    EXPECT_EQ(readSetting(QStringLiteral("RotateStepOption")), QVariant(QStringLiteral("12.25")));
    EXPECT_EQ(readSetting(QStringLiteral("ZELLimit")), QVariant(int32_t(720)));
    EXPECT_EQ(readSetting(QStringLiteral("Celcius")), QVariant(int32_t(1)));
    EXPECT_EQ(readSetting(QStringLiteral("MainPosX")), QVariant(int32_t(s.MainPosX)));
    EXPECT_EQ(readSetting(QStringLiteral("MainPosY")), QVariant(int32_t(s.MainPosY)));
    EXPECT_FALSE(Module().link.MainFormOpen);
    EXPECT_TRUE(Module().focuser.ForceMotorOff);
    EXPECT_EQ(Module().link.ClientCount, 1);
    EXPECT_EQ(MainForm(false), nullptr);
}

TEST_F(MainWindowLifeCycle, StoredValuesOutOfRangeAreClampedForDisplayAndTheLoadGoesOn)
{
    writeSetting(QStringLiteral("ZELLimit"), REG_DWORD, int32_t(5000));
    writeSetting(QStringLiteral("Celcius"), REG_DWORD, int32_t(7));
    // Logs that cannot be written (debug.txt a folder, a data folder that cannot be made):
    // the load goes on, and one box names them.
    const QByteArray home = qgetenv("VKM_HOME");
    const QString debug = DataFolder::file(QStringLiteral("debug.txt")), nowhere = DataFolder::file(FocusFile) + "/vkm";
    const QString box = QStringLiteral("The file \"%1\" cannot be written (Error number: 75 Path/File access error).");
    const std::pair<std::function<void()>, QString> cases[] = {
        {[] {}, QString()},
        {[&] { QFile::remove(debug), QDir().mkdir(debug); }, box.arg(debug)},
        {[&] { QDir().rmdir(debug), qputenv("VKM_HOME", nowhere.toLocal8Bit()); },
         box.arg(nowhere + "/log.log") + QLatin1Char('\n') + box.arg(nowhere + "/debug.txt")}};
    for (const auto &[spoil, message] : cases) {
        spoil(), openQuiet();
        Wait::Until(message.isEmpty() ? 50 : 2000, [&] { return !prompts.boxes.isEmpty(); }); // the box is posted
        EXPECT_EQ(control<QSpinBox>("udLimits")->value(), 1080);
        EXPECT_EQ(control<QCheckBox>("chkCelcius")->checkState(), Qt::PartiallyChecked);
        EXPECT_EQ(Module().settings.ZELLimit, 5000);
        EXPECT_EQ(control<QComboBox>("cmbStepSize_3")->count(), 4);
        EXPECT_EQ(prompts.boxes.size(), message.isEmpty() ? 0 : 1);
        EXPECT_EQ(prompts.boxes.value(0).prompt, message);
        prompts.boxes.clear(), closeMain();
    }
    qputenv("VKM_HOME", home);
    writeSetting(QStringLiteral("ZELLimit"), REG_DWORD, int32_t(540));
    writeSetting(QStringLiteral("Celcius"), REG_DWORD, int32_t(0));
    Module().settings.ZELLimit = 540;
    Module().settings.Celcius = 0;
}

TEST_F(MainWindowLifeCycle, ClosingWhileLoggingWithAClientAsks)
{
    struct Case { int answer; bool stays; bool loggingAfter; };
    const Case cases[] = {{vbconst::vbCancel, true, true}, {vbconst::vbYes, false, true}, {vbconst::vbNo, false, false}};
    for (const Case &c : cases) {
        openQuiet();
        Module().tools.LoggingActive = true;
        prompts.boxes.clear();
        prompts.answer = [&](const MessageBoxRequest &) { return c.answer; };
        MainForm(false)->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_EQ(prompts.boxes.size(), 1);
        EXPECT_TRUE(prompts.boxes[0].prompt.startsWith(QStringLiteral("Data logging is active and you are closing all VKM windows.")));
        EXPECT_EQ(prompts.boxes[0].buttons, vbconst::vbYesNoCancel | vbconst::vbQuestion);
        EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("VKM"));
        EXPECT_EQ(MainForm(false) != nullptr, c.stays) << c.answer;
        EXPECT_EQ(Module().tools.LoggingActive, c.loggingAfter) << c.answer;
        Module().tools.LoggingActive = false;
        closeMain();
    }
}

class MainWindowEnd : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        GTEST_FLAG_SET(death_test_style, "threadsafe");
    }
};

TEST_F(MainWindowEnd, ClosingTheLastHolderEndsTheProcessWithTheLogsComplete)
{
    EXPECT_EXIT(
        {
            Module().link.ClientCount = 0;
            frmMain *form = openQuiet();
            Module().tools.LoggingActive = true; // only holder: logging stops without asking
            form->Handle_Received(QStringLiteral(":s 77 "));
            form->Handle_Received(QStringLiteral(":d 5 :d * "));
            form->close();
            std::_Exit(4);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_TRUE(fileBytes(QStringLiteral("log.log")).endsWith("6, :s 77 \r\n10, :d 5 :d * \r\n"));
    EXPECT_TRUE(fileBytes(QStringLiteral("debug.txt")).contains("\r\n5,#"));
}

TEST_F(MainWindowLifeCycle, HelpWithoutItsFileTellsTheOperatorWhichFileIsMissing)
{
    frmMain *form = openQuiet();
    form->findChild<QAction *>(QStringLiteral("mnuHelpTopics"))->trigger();
    ASSERT_EQ(prompts.boxes.size(), 1);
    EXPECT_EQ(prompts.boxes[0].prompt,
              QStringLiteral("The help file \"%1\" could not be opened.").arg(DataFolder::file(QStringLiteral("VKM Help.chm"))));
    EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("VKM"));
    EXPECT_EQ(prompts.boxes[0].icon(), vbconst::vbExclamation);
}

// However the main window goes, whatever it opened stays up, and the program keeps serving
// its clients. The modal windows are up when it goes (from a timer).
TEST_F(MainWindowLifeCycle, GoesWhileAWindowItOpenedIsUpAndTheProgramLivesOn)
{
    using Step = std::function<void(frmMain *)>;
    const auto menu = [](QAction *frmMain::*item) -> Step { return [item](frmMain *f) { (f->*item)->trigger(); }; };
    const auto key = [](const char *k) -> Step { return [k](frmMain *f) { f->tbrToolBar_ButtonClick(QString::fromLatin1(k)); }; };
    const auto press = [](const char *name) -> Step { return [name](frmMain *f) { WidgetInput::click(f, name); }; };
    const Step calculator = [](frmMain *f) { f->mnuTempCal->trigger(); WidgetInput::click(CalForm(false), "cmdCalc"); };
    const std::pair<Step, bool> windows[] = { // how it opens, modal
        {menu(&frmMain::mnuTempCal), false}, {key("Log"), true}, {menu(&frmMain::mnuPlot), false},
        {menu(&frmMain::mnuSecHeatWiz), false}, {press("cmdTempComp"), true}, {calculator, true},
        {key("Properties"), true}, {menu(&frmMain::mnuAbout), false}, {press("cmdStore"), true},
        {press("cmdRotStore"), true}, {press("cmdZELUtils"), true}};
    const std::pair<Step, bool> ways[] = { // how the main window goes, the console asked for
        {menu(&frmMain::mnuExit), false}, {[](frmMain *f) { f->close(); }, false}, {menu(&frmMain::mnuMiniConsole), true}};
    const auto shown = [] {
        QSet<QWidget *> up;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible())
                up.insert(w);
        return up;
    };
    Focuser client;
    sim.setFocuserPosition(4321);
    for (size_t w = 0; w < std::size(windows); ++w) {
        for (size_t way = 0; way < std::size(ways); ++way) {
            SCOPED_TRACE(testing::Message() << "window " << w << ", way " << way);
            frmMain *form = open();
            ASSERT_TRUE(sim.waitForReceived(QStringLiteral(" V  l "), 3000));
            form->cmdZELUtils->setEnabled(true);
            const auto goesUnder = [&](QWidget *window) {
                ways[way].first(MainForm(false));
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                EXPECT_EQ(MainForm(false), nullptr);
                EXPECT_TRUE(window->isVisible());
            };
            const QSet<QWidget *> before = shown();
            if (windows[w].second)
                WidgetInput::whenModal([&](QWidget *modal) { goesUnder(modal), modal->close(); });
            windows[w].first(form);
            if (!windows[w].second) {
                const QSet<QWidget *> opened = shown() - before;
                ASSERT_EQ(opened.size(), 1);
                goesUnder(*opened.begin());
            }
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            EXPECT_EQ(ConsoleForm(false) && ConsoleForm(false)->isVisible(), ways[way].second);
            EXPECT_EQ(client.Call(QStringLiteral("Position"), {}).toLong(), 4321);
            EXPECT_TRUE(prompts.boxes.isEmpty());
            for (QWidget *left : shown())
                left->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            prompts.boxes.clear();
        }
    }
}
