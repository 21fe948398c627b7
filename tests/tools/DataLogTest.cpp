#include "ToolsBench.h"
#include "platform/DataFolder.h"
#include "platform/SystemTimer.h"
#include "platform/UpDown.h"
#include "platform/VbFiles.h"
#include "platform/Wait.h"
#include "support/DiskFullAt.h"
#include "support/WidgetInput.h"
#include "tools/DataLog.h"
#include "tools/frmLog.h"

#include <QCheckBox>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <csignal>
#include <optional>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class DataLogging : public ToolsBench
{
protected:
    void SetUp() override
    {
        ToolsBench::SetUp();
        ModuleState &m = Module();
        m.temperatures = {72.5, 70.25, 68, 45, 100};
        m.focuser.FocuserPosition = 12345;
        m.focuser.TempCompTemperature = 68.12f;
        QFile::remove(log);
    }

    void TearDown() override
    {
        stop();
        ToolsBench::TearDown();
    }

    static void stop()
    {
        ModuleState::Tools &t = Module().tools;
        t.LoggingActive = false;
        VbFiles::Close(t.LogFileNumber);
        if (t.LogTimerId != 0)
            SystemTimer::KillTimer(uint32_t(t.LogTimerId));
        t.LogTimerId = 0;
    }

    // Start Log on a fresh set-up window; true when it closed as started.
    bool start(const QString &interval, const QString &file, const QList<int> &unchecked = {})
    {
        frmLog setup;
        setup.txtInterval->setText(interval);
        setup.txtFileName->setText(file);
        for (int i : unchecked)
            setup.channelBoxes[i]->setChecked(false);
        setup.cmdStart_Click();
        return setup.result() == QDialog::Accepted;
    }

    const QString log = DataFolder::path() + QStringLiteral("/data.csv");
};

} // namespace

TEST_F(DataLogging, HeaderAndRecordsFollowTheChosenChannels)
{
    const QTime at(21, 4, 5);
    const QString time = DataLog::TimeOfDay(at);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9: APMapm]+$")).match(time).hasMatch()) << qPrintable(time);
    EXPECT_TRUE(time.contains(QStringLiteral("04:05"))) << qPrintable(time);
    for (const auto language : {QLocale::Japanese, QLocale::Arabic}) // a time that is not ASCII
        EXPECT_EQ((QLocale::setDefault(QLocale(language)), DataLog::TimeOfDay(at)), QStringLiteral("21:04:05")) << language;
    QLocale::setDefault(QLocale::system());

    struct Case { QList<int> unchecked; const char *header; QString record; };
    const Case cases[] = {
        {{}, "\"Time\",\"Ambient \",\"Primary \",\"Secondary \",\"Fan Power \",\"Secondary Power\",\"Focus Position\","
             "\"Focus Temperature\"\r\n",
         QStringLiteral("\"%1\",72.5,70.25,68,45,100,12345,68.12\r\n").arg(time)},
        {{0, 1, 2, 3, 4, 6}, "\"Time\",\"Focus Position\"\r\n", QStringLiteral("\"%1\",12345\r\n").arg(time)},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(start(QStringLiteral("30"), log, c.unchecked));
        EXPECT_EQ(contents(log), QByteArray(c.header));
        EXPECT_EQ(DataLog::RecordText(at), c.record);
        const QString empty(7 - c.unchecked.size(), QLatin1Char(',')); // nothing new from the controller
        EXPECT_EQ(DataLog::RecordText(at, false), QStringLiteral("\"%1\"%2\r\n").arg(time, empty));
        stop();
    }
}

TEST_F(DataLogging, StartRefusesBadSettingsAndStaysOpen)
{
    struct Case { QString interval; QString file; QList<int> unchecked; const char *message; };
    const Case cases[] = {
        {QString(), log, {}, "Invalid interval"},
        {QStringLiteral("0"), log, {}, "Invalid Interval"},
        {QStringLiteral("0.4"), log, {}, "Invalid Interval"}, // would round to no period
        {QStringLiteral("5"), log, {0, 1, 2, 3, 4, 5, 6}, "No parameters have selected for logging."},
        {QStringLiteral("5"), QString(), {}, "Error opening log file."},
        {QStringLiteral("5"), DataFolder::path() + QStringLiteral("/missing/x.csv"), {}, "Error opening log file."},
    };
    for (const Case &c : cases) {
        prompts.boxes.clear();
        EXPECT_FALSE(start(c.interval, c.file, c.unchecked)) << c.message;
        ASSERT_EQ(prompts.boxes.size(), 1) << c.message;
        EXPECT_EQ(prompts.boxes[0].prompt, QString::fromLatin1(c.message));
        EXPECT_EQ(prompts.boxes[0].buttons, vbconst::vbOKOnly);
        EXPECT_FALSE(Module().tools.LoggingActive);
        EXPECT_EQ(Module().tools.LogTimerId, 0);
    }
}

TEST_F(DataLogging, TheIntervalSetsTheTimerToHalfOfIt)
{
    struct Case { const char *interval; int32_t seconds; uint32_t period; };
    for (const Case &c : {Case{"1", 1, 500}, Case{"2.5", 2, 1000}, Case{"3.5", 4, 2000}}) {
        ASSERT_TRUE(start(QString::fromLatin1(c.interval), log));
        const ModuleState::Tools &t = Module().tools;
        EXPECT_TRUE(t.LoggingActive);
        EXPECT_EQ(t.LogInterval, c.seconds) << c.interval;
        EXPECT_EQ(SystemTimer::Period(uint32_t(t.LogTimerId)), c.period) << c.interval;
        stop();
    }
}

TEST_F(DataLogging, TicksAlternateRequestAndRecordAndEndOnceStopped)
{
    ASSERT_TRUE(start(QStringLiteral("1"), log));
    ModuleState::Tools &t = Module().tools;
    const uint32_t id = uint32_t(t.LogTimerId);
    ASSERT_FALSE(t.LogPollPhase); // fresh state: the first tick asks
    for (int tick = 1; tick <= 10; ++tick) {
        DataLog::LogTimerProc(id);
        EXPECT_EQ(sent(), tick % 2 == 1 ? QStringLiteral(" T ") : QString()) << tick;
        EXPECT_EQ(contents(log).count('\n'), 1 + tick / 2) << tick;
        if (tick % 2 == 1) report(":t1 7250 ");
    }
    EXPECT_EQ(contents(log).count('\n'), 6);

    // Values only from what came since the last record, on an open port; the operator hears
    // once that they stopped, and again once they came back and stopped.
    struct Case { bool reports, open, values; size_t boxes; };
    for (const Case &c : {Case{false, true, false, 1}, Case{false, true, false, 1}, Case{true, true, true, 1},
                          Case{true, false, false, 2}, Case{false, true, false, 2}, Case{true, true, true, 2}}) {
        c.reports ? report(":t1 7250 ") : void(), sharedLink()->setConnected(c.open);
        DataLog::LogTimerProc(id), DataLog::LogTimerProc(id), Wait::For(1); // the box is posted
        EXPECT_EQ(contents(log).endsWith(",,,,,,,\r\n"), !c.values);
        ASSERT_EQ(prompts.boxes.size(), c.boxes);
        EXPECT_EQ(prompts.boxes.back().prompt, QString::fromLatin1(DataLog::SilenceMessage));
    }
    sent();

    // With the graph asking as often, the log does not ask.
    t.GraphRunning = true;
    t.GraphPeriod = 1;
    while (!t.LogPollPhase)
        DataLog::LogTimerProc(id);
    DataLog::LogTimerProc(id);
    DataLog::LogTimerProc(id);
    EXPECT_EQ(sent(), QString());
    t.GraphRunning = false;

    t.LoggingActive = false;
    DataLog::LogTimerProc(id);
    EXPECT_EQ(t.LogTimerId, 0);
    EXPECT_EQ(SystemTimer::Period(id), 0u);
}

TEST_F(DataLogging, AFailingWriteShowsOneBoxWhileTheTimerRunsOn)
{
    ASSERT_TRUE(start(QStringLiteral("30"), log));
    ModuleState::Tools &t = Module().tools;
    VbFiles::Close(t.LogFileNumber); // the file is gone from under the log
    int boxesWhileShown = -1;
    prompts.answer = [&](const MessageBoxRequest &) {
        if (boxesWhileShown < 0) {
            Wait::For(150); // ten periods pass while the box stands
            boxesWhileShown = int(prompts.boxes.size());
            t.LoggingActive = false;
        }
        return int(vbconst::vbOK);
    };
    DataLog::StartLogTimer(10);
    ASSERT_TRUE(Wait::Until(1000, [&] { return boxesWhileShown >= 0; }));
    EXPECT_EQ(boxesWhileShown, 1);
    EXPECT_EQ(prompts.boxes[0].prompt, QStringLiteral("Error number: 52 Bad file name or number"));
    EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("VKM"));
    ASSERT_TRUE(Wait::Until(1000, [&] { return t.LogTimerId == 0; }));

    // A file deleted under the log, or a disk that fills up in the middle of a record and then
    // has room again: each failed record is reported, the file holds whole records only.
    std::optional<DiskFullAt> full;
    struct Case { std::function<void()> fail; const char *box; size_t boxesAfter; int lines; };
    const Case cases[] = {{[&] { QFile::remove(log); }, "Error number: 75 Path/File access error", 2, 0},
                          {[&] { full.emplace(contents(log).size() + 30); }, "Error number: 61 Disk full", 1, 3}};
    for (const Case &c : cases) {
        prompts.boxes.clear();
        ASSERT_TRUE(start(QStringLiteral("1"), log));
        const auto record = [&, id = uint32_t(t.LogTimerId)] {
            DataLog::LogTimerProc(id), report(":t1 7250 "), DataLog::LogTimerProc(id);
        };
        record(), c.fail(), record(), full.reset(), record();
        ASSERT_EQ(prompts.boxes.size(), c.boxesAfter) << c.box;
        EXPECT_EQ(prompts.boxes[0].prompt, QString::fromLatin1(c.box));
        EXPECT_EQ(contents(log).count('\n'), c.lines) << c.box;
        for (const QByteArray &line : contents(log).split('\n').mid(1, c.lines - 1))
            EXPECT_TRUE(line.count('"') == 2 && line.endsWith(",72.5,70.25,68,45,100,12345,68.12\r")) << line.constData();
        stop();
    }
}

TEST_F(DataLogging, EveryFinishedRecordSurvivesAKill)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            if (!start(QStringLiteral("1"), log))
                std::_Exit(3);
            for (int tick = 0; tick < 6; ++tick)
                (DataLog::LogTimerProc(uint32_t(Module().tools.LogTimerId)), report(":t1 7250 "));
            std::raise(SIGKILL);
        },
        ::testing::KilledBySignal(SIGKILL), "");
    const QList<QByteArray> lines = contents(log).split('\n');
    ASSERT_EQ(lines.size(), 5); // header, three records, nothing after the last CR LF
    EXPECT_TRUE(lines[3].endsWith(",68.12\r"));
    EXPECT_TRUE(lines[4].isEmpty());
}

TEST_F(DataLogging, BrowseAsksItsOwnOverwriteQuestion)
{
    const QString existing = DataFolder::path() + QStringLiteral("/old.csv");
    QFile(existing).open(QIODevice::WriteOnly);
    frmLog setup;
    setup.txtFileName->setText(QStringLiteral("kept.csv"));
    prompts.chosenFile = existing;
    prompts.answer = [](const MessageBoxRequest &) { return int(vbconst::vbCancel); };
    setup.cmdBrowse_Click();
    ASSERT_EQ(prompts.fileDialogs.size(), 1);
    const FileDialogRequest &dialog = prompts.fileDialogs[0];
    EXPECT_FALSE(dialog.confirmOverwrite);
    EXPECT_EQ(dialog.defaultSuffix, QStringLiteral("txt"));
    EXPECT_EQ(dialog.filter, QStringLiteral("Text Files (*.csv)|*.csv|All Files (*.*)|*.*"));
    ASSERT_EQ(prompts.boxes.size(), 1);
    EXPECT_EQ(prompts.boxes[0].prompt, QStringLiteral("This file already exists.  Overwrite old file?"));
    EXPECT_EQ(prompts.boxes[0].buttons, vbconst::vbOKCancel | vbconst::vbQuestion);
    EXPECT_EQ(setup.txtFileName->text(), QStringLiteral("kept.csv"));

    prompts.answer = nullptr;
    setup.cmdBrowse_Click();
    EXPECT_EQ(setup.txtFileName->text(), existing);
    prompts.chosenFile.reset();
    setup.cmdBrowse_Click();
    EXPECT_EQ(setup.txtFileName->text(), existing);

    for (const auto &[typed, shown] : {std::pair{"\b\b1a.5-\b", "1."}, std::pair{"\b\b2\u0663\u06F47", "27"}}) {
        WidgetInput::type(setup.txtInterval, QString::fromUtf8(typed));
        EXPECT_EQ(setup.txtInterval->text(), QLatin1String(shown)) << typed;
    }

    // The arrows step the interval as typed, not a number of their own.
    setup.txtInterval->setText(QStringLiteral("45"));
    for (const auto &[key, shown] : {std::pair{Qt::Key_Up, "46"}, std::pair{Qt::Key_Down, "45"}, std::pair{Qt::Key_Down, "44"}}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(setup.UpDown1, &press);
        EXPECT_EQ(setup.txtInterval->text(), QLatin1String(shown));
    }
}
