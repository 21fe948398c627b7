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

// A value of every channel, as the controller reports them, and the fields they give.
const QByteArray Everything = ":t1 7250 :t2 7025 :t3 6800 :fs 45 :ss 100 :a 12345 :tca 6812 ";
const char *const EverythingFields = ",72.5,70.25,68,45,100,12345,68.12";

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
        Module().focuser.TempCompSlope = 0.01f; // the focus temperature's sensor in hundredths
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
         QStringLiteral("\"%1\"%2\r\n").arg(time, QLatin1String(EverythingFields))},
        {{0, 1, 2, 3, 4, 6}, "\"Time\",\"Focus Position\"\r\n", QStringLiteral("\"%1\",12345\r\n").arg(time)},
    };
    report(Everything);
    for (const Case &c : cases) {
        ASSERT_TRUE(start(QStringLiteral("30"), log, c.unchecked));
        EXPECT_EQ(contents(log), QByteArray(c.header));
        EXPECT_EQ(DataLog::RecordText(at, DataLog::FreshValues(sharedLink().get(), ReportFreshness())), c.record);
        const QString empty(7 - c.unchecked.size(), QLatin1Char(',')); // nothing new from the controller
        EXPECT_EQ(DataLog::RecordText(at, DataLog::Values()), QStringLiteral("\"%1\"%2\r\n").arg(time, empty));
        stop();
    }
}

TEST_F(DataLogging, StartRefusesBadSettingsAndStaysOpen)
{
    struct Case { QString interval; QString file; QList<int> unchecked; const char *message; bool full = false; };
    const Case cases[] = {
        {QString(), log, {}, "Invalid interval"},
        {QStringLiteral("0"), log, {}, "Invalid Interval"},
        {QStringLiteral("0.4"), log, {}, "Invalid Interval"}, // would round to no period
        {QStringLiteral("5"), log, {0, 1, 2, 3, 4, 5, 6}, "No parameters have selected for logging."},
        {QStringLiteral("5"), QString(), {}, "Error opening log file."},
        {QStringLiteral("5"), DataFolder::path() + QStringLiteral("/missing/x.csv"), {}, "Error opening log file."},
        {QStringLiteral("5"), log, {}, "Error opening log file.", true}, // no room for the header
    };
    for (const Case &c : cases) {
        prompts.boxes.clear();
        std::optional<DiskFullAt> full;
        c.full ? void(full.emplace(0)) : void();
        EXPECT_FALSE(start(c.interval, c.file, c.unchecked)) << c.message;
        EXPECT_EQ((full.reset(), VbFiles::FreeFile()), 1) << c.message; // nothing left open
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
    SystemTimer::KillTimer(id); // the test ticks it: the timer's own ticks stay out
    ASSERT_FALSE(t.LogPollPhase); // fresh state: the first tick asks
    for (int tick = 1; tick <= 10; ++tick) {
        DataLog::LogTimerProc(id);
        EXPECT_EQ(sent(), tick % 2 == 1 ? QStringLiteral(" T  Q ") : QString()) << tick; // the focus position is in " Q "'s answer
        EXPECT_EQ(contents(log).count('\n'), 1 + tick / 2) << tick;
        if (tick % 2 == 1) report(":t1 7250 ");
    }
    EXPECT_EQ(contents(log).count('\n'), 6);

    // A field holds a value only when that value came since the last record, on the port as
    // it is open (a pull and a reconnect to another controller leave none of the old
    // values); the operator hears once that none came, and again once some came and stopped,
    // or the cause changed: a closed port is named.
    enum Port { Closed, Open, Pulled };
    struct Case { const char *reports; Port port; const char *fields; size_t boxes; };
    const Case cases[] = {
        {"", Open, ",,,,,,,", 1}, {"", Open, ",,,,,,,", 1}, {":t1 7250 ", Open, ",72.5,,,,,,", 1},
        {":t1 7250 ", Closed, ",,,,,,,", 2}, {"", Open, ",,,,,,,", 3}, {":t1 7250 ", Open, ",72.5,,,,,,", 3},
        {":t2 7000 :fs 30 ", Open, ",,70,,30,,,", 3}, {Everything, Open, EverythingFields, 3},
        {Everything, Pulled, ",,,,,,,", 4}, {":! 0 :t1 6000 ", Open, ",60,,,,,,", 4},
    };
    const QString closed = "The port " + sim.devicePath() + " (from VKM_COM1) is closed: data log records are written without values until it is open again.";
    for (const Case &c : cases) {
        sharedLink()->Connected() ? void() : sharedLink()->setConnected(true), report(c.reports);
        c.port == Open ? void() : sharedLink()->setConnected(false);
        c.port == Pulled ? sharedLink()->setConnected(true) : void();
        DataLog::LogTimerProc(id), DataLog::LogTimerProc(id), Wait::For(1); // the box is posted
        EXPECT_TRUE(contents(log).endsWith(QByteArray(c.fields) + "\r\n")) << c.reports;
        ASSERT_EQ(prompts.boxes.size(), c.boxes);
        EXPECT_EQ(prompts.boxes.back().prompt, c.port == Closed ? closed : QString::fromLatin1(DataLog::SilenceMessage));
    }
    sent();

    // A value that a command sent after the log's query changed is not the controller's any
    // more: its field stays empty, and the next request asks afresh.
    DataLog::LogTimerProc(id);
    sharedLink()->Transmit(QStringLiteral("s40 "));
    report(":t1 7250 :fm 0 :fs 45 :sm 1 :ss 0 :a 12345 ");
    DataLog::LogTimerProc(id);
    EXPECT_TRUE(contents(log).endsWith(",72.5,,,45,,12345,\r\n")) << contents(log).right(40).constData();
    DataLog::LogTimerProc(id);
    EXPECT_EQ(sent(), QStringLiteral(" T  Q s40  T  Q "));

    // With the graph asking as often, the log does not ask.
    t.GraphRunning = true;
    t.GraphPeriod = 1;
    while (!t.LogPollPhase)
        DataLog::LogTimerProc(id);
    DataLog::LogTimerProc(id);
    DataLog::LogTimerProc(id);
    EXPECT_EQ(sent(), QStringLiteral(" Q ")); // the focus position it still asks for
    t.GraphRunning = false;

    // During an upload a tick neither asks, writes nor counts a record lost; the first after it asks.
    const qsizetype lines = contents(log).count('\n');
    t.FlashInProgress = true;
    DataLog::LogTimerProc(id), DataLog::LogTimerProc(id), DataLog::LogTimerProc(id);
    t.FlashInProgress = false;
    EXPECT_TRUE(contents(log).count('\n') == lines && t.LogLostRecords == 0);
    DataLog::LogTimerProc(id);
    EXPECT_EQ(sent(), QStringLiteral(" T  Q "));

    t.LoggingActive = false;
    DataLog::LogTimerProc(id);
    EXPECT_EQ(t.LogTimerId, 0);
    EXPECT_EQ(SystemTimer::Period(id), 0u);

    // Start, Stop, Start on one file, each stopped after a request: every record holds the temperatures.
    sim.setSilent(false);
    for (int run = 0; run < 2; ++run) {
        stop();
        ASSERT_TRUE(start(QStringLiteral("1"), log, {5, 6})); // the position and focus temperature are not in " T "'s answer
        for (int tick = 0; tick < 3; ++tick)
            DataLog::LogTimerProc(uint32_t(t.LogTimerId)), Wait::For(30);
        const QByteArray record = contents(log).split('\n').value(1); // the header, one record
        EXPECT_TRUE(contents(log).count('\n') == 2 && record.count(',') == 5 && !record.contains(",,") && record.endsWith("\r"))
            << record.constData();
    }
}

TEST_F(DataLogging, AFailingWriteShowsOneBoxWhileTheTimerRunsOn)
{
    // The box opens from the event loop: the log goes on while it stands, one box however
    // often the write fails (a closed file), records again once room returns (a full disk),
    // and then a box counts those lost.
    ModuleState::Tools &t = Module().tools;
    std::optional<DiskFullAt> full;
    for (const bool disk : {false, true}) {
        prompts.boxes.clear();
        ASSERT_TRUE(start(QStringLiteral("30"), log));
        disk ? void(full.emplace(contents(log).size())) : VbFiles::Close(t.LogFileNumber);
        int boxesWhileShown = -1;
        qsizetype written = 0;
        prompts.answer = [&](const MessageBoxRequest &) {
            if (boxesWhileShown < 0) {
                full.reset(), written = contents(log).count('\n');
                Wait::For(150); // fifteen periods pass while the box stands
                written = contents(log).count('\n') - written, boxesWhileShown = int(prompts.boxes.size());
                t.LoggingActive = false;
            }
            return int(vbconst::vbOK);
        };
        DataLog::StartLogTimer(10);
        ASSERT_TRUE(Wait::Until(1000, [&] { return t.LogTimerId == 0; }));
        EXPECT_EQ(boxesWhileShown, 1);
        EXPECT_EQ(written > 1, disk) << written;
        EXPECT_EQ(prompts.boxes[0].prompt, disk ? QStringLiteral("Error number: 61 Disk full") : QStringLiteral("Error number: 52 Bad file name or number"));
        EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("VKM"));
        EXPECT_EQ(prompts.boxes.value(1).prompt.startsWith(QStringLiteral("The data log lost ")), disk);
        prompts.answer = nullptr, stop();
    }

    // A file deleted under the log, or a disk that fills up in the middle of a record and then
    // has room again: each failed record is reported (the boxes answered at once), the file
    // holds whole records only.
    struct Gap { std::function<void()> fail; const char *box; const char *lost; int lines; };
    const Gap gaps[] = {{[&] { QFile::remove(log); }, "Error number: 75 Path/File access error", nullptr, 0},
                        {[&] { full.emplace(contents(log).size() + 30); }, "Error number: 61 Disk full",
                         "The data log lost 1 record: it could not be written.", 3}};
    for (const Gap &c : gaps) {
        prompts.boxes.clear();
        ASSERT_TRUE(start(QStringLiteral("1"), log));
        SystemTimer::KillTimer(uint32_t(t.LogTimerId)), t.LogPollPhase = false; // only these ticks, a request first
        const auto record = [&, id = uint32_t(t.LogTimerId)] {
            DataLog::LogTimerProc(id), report(Everything), DataLog::LogTimerProc(id);
        };
        record(), c.fail(), record(), full.reset(), record();
        Wait::Until(2000, [&] { return prompts.boxes.size() >= 2; }); // posted from the event loop
        ASSERT_EQ(prompts.boxes.size(), 2) << c.box;
        EXPECT_EQ(prompts.boxes[0].prompt, QString::fromLatin1(c.box));
        EXPECT_EQ(prompts.boxes[1].prompt, QString::fromLatin1(c.lost ? c.lost : c.box));
        EXPECT_EQ(contents(log).count('\n'), c.lines) << c.box;
        for (const QByteArray &line : contents(log).split('\n').mid(1, c.lines - 1))
            EXPECT_TRUE(line.count('"') == 2 && line.endsWith(QByteArray(EverythingFields) + "\r")) << line.constData();
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
                (DataLog::LogTimerProc(uint32_t(Module().tools.LogTimerId)), report(Everything));
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
    EXPECT_EQ(dialog.defaultSuffix, QStringLiteral("csv")); // the suffix the filter shows
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
