#include "OptionsBench.h"

#include "link/ModuleState.h"
#include "link/Serial.h"
#include "settings/OptionRows.h"
#include "support/DiskFullAt.h"
#include "support/FakeTheSky.h"
#include "support/OperatorInput.h"
#include "support/WidgetInput.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTimer>
#include <atomic>
#include <optional>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

std::string str(const QString &s)
{
    return s.toStdString();
}

// A port whose arrivals are stamped as they come, on a thread of its own, so that an
// upload that blocks the event loop can still be timed.
class StampedPort
{
public:
    StampedPort()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(m_master);
        unlockpt(m_master);
        path = QString::fromLatin1(ptsname(m_master));
        m_clock.start();
        m_reader = std::thread([this] { read(); });
    }
    ~StampedPort()
    {
        m_stop = true;
        m_reader.join();
        ::close(m_master);
    }

    // Milliseconds from `start` to the arrival of `text`'s last byte; -1 when it never came.
    qint64 arrival(const std::string &text, qint64 start) const
    {
        std::lock_guard lock(m_mutex);
        const size_t at = m_text.find(text);
        if (at == std::string::npos)
            return -1;
        return m_stamps[at + text.size() - 1] - start;
    }
    std::string text() const
    {
        std::lock_guard lock(m_mutex);
        return m_text;
    }
    qint64 now() const { return m_clock.elapsed(); }

    QString path;

private:
    void read()
    {
        while (!m_stop) {
            pollfd p{m_master, POLLIN, 0};
            if (poll(&p, 1, 5) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            const qint64 stamp = m_clock.elapsed();
            std::lock_guard lock(m_mutex);
            for (ssize_t i = 0; i < n; ++i) {
                m_text.push_back(buffer[i]);
                m_stamps.push_back(stamp);
            }
        }
    }

    int m_master = -1;
    QElapsedTimer m_clock;
    std::atomic<bool> m_stop = false;
    std::thread m_reader;
    mutable std::mutex m_mutex;
    std::string m_text;
    std::vector<qint64> m_stamps;
};

} // namespace

using OptionsWindow = OptionsBench;
using namespace OperatorInput;

TEST_F(OptionsWindow, OpeningStartsTheReadBackChain)
{
    frmCal &w = open();
    EXPECT_TRUE(Module().link.SettingsWindowOpen);
    EXPECT_NE(ControlWindows().SettingsWindow, nullptr);
    EXPECT_EQ(str(sent()), "l ");
    EXPECT_TRUE(w.Timer1.Enabled());
    EXPECT_EQ(w.Timer1.Interval(), 250);

    // Unanswered, the chain waits for the reports and its ticks send nothing more (the chain
    // on the controller's reports runs in the main window's wiring test).
    Wait::For(600);
    EXPECT_EQ(str(sent()), "");
    EXPECT_EQ(Module().tools.DownloadState, 0);
    EXPECT_TRUE(w.Timer1.Enabled());
    w.Command1->click(); // starts over at any time
    EXPECT_EQ(str(sent()), "l ");
    EXPECT_EQ(Module().tools.DownloadState, 0);

    w.close();
    EXPECT_FALSE(Module().link.SettingsWindowOpen);
    EXPECT_EQ(ControlWindows().SettingsWindow, nullptr);
    EXPECT_FALSE(w.Timer1.Enabled());
}

TEST_F(OptionsWindow, OpeningWithThePortClosedFillsTheLocalOptions)
{
    link->setConnected(false);
    ModuleState::Settings &s = Module().settings;
    s.StepSize = 0.125f;
    s.ErrorMessage = 1;
    s.CheckTelescope = true;
    s.AutoReverse = 1;
    frmCal &w = open();
    EXPECT_EQ(boxTexts(), QStringList{QStringLiteral("Error:  The communications port is not open.")});
    EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("ORVA"));
    EXPECT_FALSE(w.Timer1.Enabled());
    EXPECT_EQ(str(w.txtStepSize->text()), "0.13");
    EXPECT_TRUE(w.chkErrorComputer->isChecked());
    EXPECT_TRUE(w.chkTeleEastWest->isChecked());
    EXPECT_FALSE(w.chkPromptTheSky->isChecked());
    EXPECT_TRUE(w.chkZELLimit->isChecked());
    EXPECT_EQ(str(w.lblStepCurrent[0]->text()), "n/a");
    EXPECT_EQ(w.cmbStepperStepMode[3]->count(), 4);
    EXPECT_FALSE(w.cmdUploadVKM->isEnabled());
    EXPECT_FALSE(w.cmdCalibrate->isEnabled());
    EXPECT_FALSE(w.cmdCalUpload->isEnabled());
    for (bool f : w.ChangedFlags)
        EXPECT_FALSE(f);
    for (QSpinBox *spin : w.findChildren<QSpinBox *>()) // arrows only: the partner shows the value
        EXPECT_TRUE(qobject_cast<UpDown *>(spin) && spin->text().isEmpty()) << str(spin->objectName());
}

// The parser's writes mark nothing; the operator's hand marks its entry.
TEST_F(OptionsWindow, OnlyTheOperatorMarksChanges)
{
    frmCal &w = open();
    ControlSink &c = parser();
    c.setText(QStringLiteral("txtKP"), QStringLiteral("7"));
    c.setText(QStringLiteral("txtPrimSlope"), QStringLiteral("0.50000"));
    c.setValue(QStringLiteral("udIntFanSet"), 12);
    c.setValue(QStringLiteral("udDBSettle"), 36);
    c.setValue(QStringLiteral("UpDown3_2"), 45); // ":S4C 45 :S5C 0": each label its own spinner's
    c.setValue(QStringLiteral("UpDown3_3"), 0);
    c.setChecked(QStringLiteral("chkAutoCurrent"), true);
    c.selectOption(QStringLiteral("optIntFan_2"));
    c.setListIndex(QStringLiteral("cmbStepperMode_0"), 1);
    c.setListIndex(QStringLiteral("cmbStepperStepMode_3"), 2);
    for (bool f : w.ChangedFlags)
        EXPECT_FALSE(f);
    EXPECT_FALSE(w.cmdUploadVKM->isEnabled());
    EXPECT_EQ(str(w.txtIntFanSet->text()), "12");
    EXPECT_EQ(str(w.txtDeadbandSettle->text()), "1.8");
    EXPECT_EQ(str(w.lblStepCurrent[2]->text()), "0.50");
    EXPECT_EQ(str(w.lblStepCurrent[3]->text()), "0.00");
    EXPECT_EQ(w.cmbStepperMode[1]->currentIndex(), 0); // before the chain ends, channel 1 alone

    struct Case { const char *what; std::function<void()> act; int entry; bool enablesUpload; };
    const Case cases[] = {
        {"fan option", [&] { click(w.optIntFan[1]); }, 0, true},
        {"fan set point", [&] { release(w.udIntFanSet); }, 1, true},
        {"pulse power", [&] { key(w.UpDown2, Qt::Key_Up); }, 4, true},
        {"servo box", [&] { WidgetInput::type(w.txtKd, QStringLiteral("3")); }, 6, true},
        {"acceleration", [&] { WidgetInput::type(w.txtAcc, QStringLiteral("5")); }, 11, true},
        {"moving through a servo box", [&] { key(w.txtAcc, Qt::Key_Left); }, -1, false},
        {"coefficient dropped key", [&] { WidgetInput::type(w.txtPrimSlope, QStringLiteral("-")); }, 14, true},
        {"deadband box", [&] { click(w.chkDeadband); }, 22, true},
        {"heater box", [&] { WidgetInput::type(w.txtSDI, QStringLiteral("x")); }, 27, true},
        {"step size", [&] { WidgetInput::type(w.txtStepSize, QStringLiteral("5")); }, 30, false},
        {"east/west", [&] { click(w.chkTeleEastWest); }, 33, false},
        {"current", [&] { press(w.UpDown3[0]); }, 38, true},
        {"settling time", [&] { key(w.udDBSettle, Qt::Key_Up); }, 24, true},
    };
    for (const Case &k : cases) {
        w.ChangedFlags.fill(false);
        w.cmdUploadVKM->setEnabled(false);
        k.act();
        for (int i = 0; i < frmCal::FlagCount; ++i)
            EXPECT_EQ(w.ChangedFlags[i], i == k.entry) << k.what << " entry " << i;
        EXPECT_EQ(w.cmdUploadVKM->isEnabled(), k.enablesUpload) << k.what;
    }
    EXPECT_EQ(str(w.txtPrimSlope->text()), "0.50000"); // "-" into a filled box is dropped
    EXPECT_EQ(str(w.txtDeadbandSettle->text()), "1.9"); // 36 + 2 twentieths

    // Typing into an empty coefficient box: a leading minus, one point.
    w.txtAmbSlope->clear();
    WidgetInput::type(w.txtAmbSlope, QStringLiteral("-1.5.a"));
    EXPECT_EQ(str(w.txtAmbSlope->text()), "-1.5");

    // After the chain the stepper lists mark, and channel 1's cover takes the others along.
    Module().tools.DownloadState = 5;
    w.ChangedFlags.fill(false);
    w.cmbStepperMode[0]->setCurrentIndex(0);
    w.cmbStepperMode[0]->setCurrentIndex(1);
    EXPECT_TRUE(w.ChangedFlags[38]);
    for (int k = 1; k < 4; ++k)
        EXPECT_EQ(w.cmbStepperMode[k]->currentIndex(), 1);
}

// Values typed into a spinner's box and pasted texts are the operator's too: filtered as
// typing is, marked and uploaded; the spinner takes the typed number within its range.
TEST_F(OptionsWindow, TypedAndPastedValuesAreMarkedAndUploaded)
{
    frmCal &w = open();
    sent();
    const auto paste = [](QLineEdit *box, const QString &text) {
        QGuiApplication::clipboard()->setText(text);
        QKeyEvent ctrlV(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
        QCoreApplication::sendEvent(box, &ctrlV);
    };
    const auto enter = [](QLineEdit *box, const QString &text) {
        WidgetInput::type(box, text);
        key(box, Qt::Key_Return);
    };
    struct Case { const char *what; std::function<void()> act; int entry; QLineEdit *box; const char *shown; };
    const Case cases[] = {
        {"typed threshold", [&] { enter(w.txtFanThreshold, QStringLiteral("50")); }, 3, w.txtFanThreshold, "50"},
        {"beyond the range", [&] { enter(w.txtFanPulsePower, QStringLiteral("250")); }, 4, w.txtFanPulsePower, "0250"},
        {"no number", [&] { enter(w.txtIntFanSet, QStringLiteral("x")); }, 1, w.txtIntFanSet, "0"},
        {"a file's text", [&] { w.txtDeadband->setText(QStringLiteral("3.5")); key(w.txtDeadband, Qt::Key_Return); }, -1, w.txtDeadband, "3.5"},
        {"pasted coefficient", [&] { paste(w.txtPrimSlope, QStringLiteral("abc 1")); }, 14, w.txtPrimSlope, "1"},
        {"pasted heater", [&] { paste(w.txtSKp, QStringLiteral("0.5")); }, 25, w.txtSKp, "0.5"},
        {"other digits", [&] { WidgetInput::type(w.txtAmbSlope, QString::fromUtf8("\u0661\u0662")); }, -1, w.txtAmbSlope, ""},
        {"pasted other digits", [&] { paste(w.txtAmbSlope, QString::fromUtf8("\u0661.")); }, 12, w.txtAmbSlope, "."},
    };
    for (const Case &c : cases) {
        w.ChangedFlags.fill(false);
        c.act();
        for (int i = 0; i < frmCal::FlagCount; ++i)
            EXPECT_EQ(w.ChangedFlags[i], i == c.entry) << c.what << " entry " << i;
        EXPECT_EQ(str(c.box->text()), c.shown) << c.what;
    }
    enter(w.txtFanThreshold, QStringLiteral("\b\b55"));
    paste(w.txtSKp, QStringLiteral("1"));
    w.cmdUploadVKM_Click();
    EXPECT_EQ(str(sent()), "@55 L51 ");

    // A deadband typed and the window closed without leaving the box: the spinner's number.
    // One beyond the spinner stays as typed when the box is left, and the upload refuses it.
    struct Deadband { const char *typed; const char *command; const char *refused = ""; };
    const Deadband deadbands[] = {{"7", ""}, {"2.5", "Y3 "}, {"1e0", "Y1 "}, {"x", ""},
                                  {"9", "", "The deadband \"9\" is outside 0 to 5; nothing was uploaded."}};
    for (const auto &[typed, command, refused] : deadbands) {
        w.showWindow(), parser().setValue(QStringLiteral("udDeadband"), 3), sent(), prompts.boxes.clear();
        w.txtDeadband->clear();
        WidgetInput::type(w.txtDeadband, QString::fromLatin1(typed));
        if (*refused)
            leave(w.txtDeadband), w.cmdUploadVKM_Click();
        EXPECT_EQ(str(boxTexts().value(boxTexts().size() - 1)), refused) << typed;
        w.close();
        EXPECT_EQ(str(sent()), command) << typed;
    }
}

// The window is reused: an opening shows what a first one shows, the calibration points and
// coefficients kept.
TEST_F(OptionsWindow, ReopeningShowsNothingOfTheLastOpening)
{
    frmCal &w = open();
    ControlSink &c = parser();
    for (const char *name : {"lblTemp_5", "lblTemp_4", "lblTemp_3", "txtKP", "lblSlope_1"})
        c.setText(QString::fromLatin1(name), QStringLiteral("100"));
    c.setValue(QStringLiteral("udIntFanSet"), 12);
    c.setValue(QStringLiteral("UpDown3_1"), 45); // its label goes back to "n/a"
    c.setChecked(QStringLiteral("chkAutoCurrent"), true);
    c.selectOption(QStringLiteral("optIntFan_2"));
    w.txtRefTemp->setText(QStringLiteral("20"));
    w.cmdCalMark->click();
    w.SSTab1->setCurrentIndex(3);
    w.close();
    ASSERT_TRUE(prompts.boxes.isEmpty());

    w.showWindow();
    for (QLabel *label : {w.lblTemp[5], w.lblTemp[4], w.lblTemp[3], w.lblSlope[1]})
        EXPECT_EQ(str(label->text()), "");
    EXPECT_EQ(str(w.txtKP->text() + w.txtRefTemp->text()), "");
    EXPECT_EQ(str(w.txtIntFanSet->text()), "0");
    EXPECT_EQ(str(w.lblStepCurrent[1]->text()), "n/a");
    EXPECT_FALSE(w.chkAutoCurrent->isChecked());
    EXPECT_FALSE(w.optIntFan[0]->isChecked() || w.optIntFan[1]->isChecked() || w.optIntFan[2]->isChecked());
    EXPECT_EQ(str(w.lblCalPoints->text()), "0");
    EXPECT_EQ(w.SSTab1->currentIndex(), 0);
    // The placeholder shows in the indicator list, but is no entry to choose.
    EXPECT_EQ(w.Combo1->count(), 0);
    EXPECT_EQ(str(w.Combo1->placeholderText()), "Combo1");
    EXPECT_EQ(w.CalPoints[0][0], 100);
    for (bool f : w.ChangedFlags)
        EXPECT_FALSE(f);

    // Mark before any reading has arrived: the general error box, no point.
    w.txtRefTemp->setText(QStringLiteral("20"));
    w.cmdCalMark->click();
    EXPECT_EQ(boxTexts(), QStringList{QStringLiteral("Error number: 13 Type mismatch")});
    EXPECT_EQ(w.CalPointCount, 0);
}

// One upload with every row marked: the whole command vocabulary in order.
TEST_F(OptionsWindow, UploadSendsEachMarkedRowThenTheStepperBlock)
{
    frmCal &w = open();
    sent();
    Module().tools.DownloadState = 5;
    w.optIntFan[2]->setChecked(true);
    w.udIntFanSet->setValue(12);
    w.udIntFanHyst->setValue(3);
    w.UpDown1->setValue(40);
    w.UpDown2->setValue(85);
    w.txtKP->setText(QStringLiteral("12.5"));
    w.txtKd->setText(QString());
    w.txtDeriv->setText(QStringLiteral("4"));
    w.txtki->setText(QStringLiteral("0.1"));
    w.txtil->setText(QStringLiteral("100"));
    w.txtVelocity->setText(QStringLiteral("1.5"));
    w.txtAcc->setText(QStringLiteral("0.25"));
    frmCal::SetCheckValue(w.chkAutoCurrent, 2);
    frmCal::SetCheckValue(w.chkErrorHandheld, 0);
    frmCal::SetCheckValue(w.chkDeadband, 1);
    w.txtDeadband->clear(); // the bare letter, as rows 5 to 9
    w.udDBSettle->setValue(36);
    w.txtSKp->setText(QStringLiteral("0.125"));
    w.txtSKd->setText(QStringLiteral("0.375"));
    w.txtSDI->setText(QStringLiteral("3"));
    w.txtSKi->clear(); // an emptied heater box sends nothing
    w.txtSecKi->setText(QStringLiteral("20"));
    const int currents[] = {90, 45, 1, 0};
    // The controller answers a "1 " of its own with these (the record holds them) and the
    // parser writes them into the window.
    const auto readBack = [&](const std::array<int, 4> &m, const std::array<int, 4> &c, const std::array<int, 4> &f) {
        const std::pair<const char *, const std::array<int, 4> *> codes[] = {{"SM", &m}, {"C", &c}, {"M", &f}};
        for (int k = 0; k < 4; ++k)
            for (const auto &[code, values] : codes)
                sim.setValue(QStringLiteral(":S%1%2").arg(k + 2).arg(QLatin1String(code)), QString::number((*values)[k]));
        sim.setSilent(false);
        link->Transmit(QStringLiteral("1 "));
        EXPECT_TRUE(Wait::Until(2000, [&] { return link->Reports().Holds(u":S5SM") && link->Reports().Holds(u":S2M"); }));
        sim.setSilent(true);
        for (int k = 0; k < 4; ++k) {
            parser().setListIndex(QStringLiteral("cmbStepperStepMode_%1").arg(k), m[k]);
            parser().setValue(QStringLiteral("UpDown3_%1").arg(k), c[k]);
            parser().setListIndex(QStringLiteral("cmbStepperMode_%1").arg(k), f[k]);
        }
        sent();
    };
    readBack({0, 1, 2, 3}, {90, 45, 1, 0}, {0, 1, 0, 1});
    main.coverMode = 1;
    w.ChangedFlags.fill(true);
    w.cmdUploadVKM->setEnabled(true);
    w.cmdUploadVKM_Click();

    EXPECT_EQ(str(sent()), "}255 [12 ]3 @40 z85 p12.5 d e4 i0.1 j100 v98304 a16384  N255  K0  X255 Y W36 L12 ^38 ?3 ~20 "
                           "D4 D9 D14 D19 960 994 9129 9192 04112 u");
    EXPECT_EQ(boxTexts(), QStringList{QStringLiteral("Upload changes to VKM?")});
    EXPECT_EQ(prompts.boxes[0].buttons, vbconst::vbOKCancel | vbconst::vbQuestion);
    for (int i = 0; i < frmCal::FlagCount; ++i)
        EXPECT_EQ(w.ChangedFlags[i], i >= 31 && i <= 37) << i;
    EXPECT_FALSE(w.cmdUploadVKM->isEnabled());
    EXPECT_EQ(main.coverMode, 0);
    for (int k = 0; k < 4; ++k) // the controller reports each current as it was uploaded
        EXPECT_EQ(sim.value(QStringLiteral(":S%1C").arg(k + 2)).toInt(), currents[k]) << k;

    // After a reconnect only what the operator chose and what this controller reports now go
    // back: the first port's values stay unsent, and a function that needs them is refused.
    // A value read back that a later command (a client's) changed is no longer the
    // operator's to send; one the operator changed keeps the operator's value through
    // another sender's answers.
    link->setConnected(false), link->setConnected(true), sent();
    const auto client = [&](const char *commands) { link->Transmit(QLatin1String(commands)), sent(); };
    struct Step { const char *what; std::function<void()> act; const char *sent; const char *box; int coverMode; };
    const Step steps[] = {
        {"current", [&] { w.UpDown3[1]->setValue(60); }, "9104 ", nullptr, 0},
        {"function alone", [&] { w.cmbStepperMode[1]->setCurrentIndex(0); }, "",
         "The function of Stepper 1, Stepper 3 and Stepper 4 was not read back from the VKM in use since it last changed; "
         "nothing was uploaded.", 0},
        {"functions read back, the operator's kept", [&] { readBack({0, 1, 2, 3}, {90, 45, 1, 0}, {1, 1, 1, 1}); w.cmbStepperMode[3]->setCurrentIndex(0); },
         "D4 D9 D14 D19 960 994 9129 9192 0257 ", nullptr, 1},
        {"a client's changes not read back", [&] { readBack({0, 0, 0, 0}, {45, 90, 45, 90}, {0, 0, 0, 0}), client("9143 D9 01 "), w.UpDown3[0]->setValue(60); },
         "940 ", nullptr, 1},
        {"a client's changes read back", [&] { readBack({0, 1, 0, 0}, {45, 90, 22, 90}, {1, 0, 0, 0}), w.UpDown3[0]->setValue(30); },
         "D4 D9 D12 D16 920 9124 9143 9252 01 ", nullptr, 1},
        {"a function after a client's", [&] { client("00 "), w.cmbStepperMode[2]->setCurrentIndex(1); }, "",
         "The function of Stepper 1, Stepper 2 and Stepper 4 was not read back from the VKM in use since it last changed; "
         "nothing was uploaded.", 1},
        {"typed values through other answers", [&] {
             w.ChangedFlags.fill(false), client("00 ");
             w.txtKP->clear(), WidgetInput::type(w.txtKP, QStringLiteral("77")), w.cmbStepperStepMode[2]->setCurrentIndex(3);
             readBack({0, 0, 0, 0}, {45, 90, 45, 90}, {0, 0, 0, 0}), parser().setText(QStringLiteral("txtKP"), QStringLiteral("10"));
             EXPECT_EQ(std::pair(str(w.txtKP->text()), w.cmbStepperStepMode[2]->currentIndex()), std::pair(std::string("77"), 3));
         },
         "p77 D4 D8 D15 D16 930 9124 9158 9252 0256 u", nullptr, 0},
    };
    for (const Step &step : steps) {
        prompts.boxes.clear(), step.act(), w.ChangedFlags[38] = true;
        w.cmdUploadVKM_Click();
        EXPECT_EQ(std::tuple(str(sent()), str(boxTexts().last()), main.coverMode),
                  std::tuple(std::string(step.sent), std::string(step.box ? step.box : "Upload changes to VKM?"), step.coverMode))
            << step.what;
    }
}

// The servo rows go out at least 51 ms apart without serving events, "u" last.
TEST_F(OptionsWindow, UploadIsPacedWithoutServingEvents)
{
    StampedPort port;
    qputenv("VKM_COM2", port.path.toLocal8Bit());
    auto timed = std::make_shared<Serial>();
    timed->setPort(2);
    timed->setConnected(true);
    ASSERT_TRUE(timed->Connected());
    frmCal &w = open();
    main.serial = timed;
    w.txtKP->setText(QStringLiteral("12.5"));
    w.txtKd->setText(QStringLiteral("3"));
    w.txtil->setText(QStringLiteral("100"));
    w.ChangedFlags[5] = w.ChangedFlags[6] = w.ChangedFlags[9] = true;
    w.SkipUploadPrompt = true;
    bool served = false;
    QTimer::singleShot(0, [&] { served = true; });

    const qint64 start = port.now();
    w.cmdUploadVKM_Click();
    EXPECT_FALSE(served);
    ASSERT_TRUE(Wait::Until(1000, [&] { return port.arrival("u", start) >= 0; }));
    EXPECT_EQ(port.text(), "p12.5 d3 j100 u");
    const qint64 p = port.arrival("p12.5 ", start), d = port.arrival("d3 ", start), j = port.arrival("j100 ", start);
    // The reader may wake late for one arrival on a busy machine, which shortens that gap
    // alone; the span from the first row to "u" shows the pacing whole.
    const qint64 jitter = 30;
    EXPECT_GE(d - p, 51 - jitter);
    EXPECT_GE(j - d, 3 * 51 - jitter);
    EXPECT_GE(port.arrival("u", start) - p, 26 * 51 - jitter);
    EXPECT_GE(port.arrival("u", start), 31 * 51);
    timed->setConnected(false);
}

TEST_F(OptionsWindow, UploadRefusalsLeaveTheirMarks)
{
    frmCal &w = open();
    sent();
    w.optIntFan[1]->setChecked(true);
    w.ChangedFlags[0] = true;
    w.cmdUploadVKM->setEnabled(true);

    prompts.answer = [](const MessageBoxRequest &) { return int(vbconst::vbCancel); };
    w.cmdUploadVKM_Click();
    EXPECT_EQ(str(sent()), "");
    EXPECT_TRUE(w.ChangedFlags[0]);

    prompts.answer = nullptr;
    link->setConnected(false);
    w.cmdUploadVKM_Click();
    EXPECT_TRUE(w.ChangedFlags[0]);
    link->setConnected(true);

    Module().tools.FlashInProgress = true; // the firmware upload would drop every value unsaid
    w.cmdUploadVKM_Click();
    Module().tools.FlashInProgress = false;
    EXPECT_TRUE(w.ChangedFlags[0]);
    EXPECT_EQ(boxTexts(), (QStringList{QStringLiteral("Upload changes to VKM?"), QStringLiteral("Upload changes to VKM?"),
                                       QStringLiteral("Error:  The communications port is not open."),
                                       QStringLiteral("Upload changes to VKM?"),
                                       QStringLiteral("Error:  A firmware upload is in progress.")}));

    // A text in any numeric row that is no plain number, or beyond what the controller
    // takes, or beyond its spinner's range: the box names the row and its text, nothing at
    // all is sent, every mark stays.
    w.SkipUploadPrompt = true;
    for (const OptionRow &row : OptionRows::all()) {
        auto *box = w.findChild<QLineEdit *>(QString::fromLatin1(row.box ? row.box : row.control));
        const bool scaled = row.kind == RowKind::FixedPoint || row.kind == RowKind::Hundredths; // others send 1e12 as it stands
        const auto *spin = row.box ? w.findChild<UpDown *>(QString::fromLatin1(row.control)) : nullptr;
        for (const char *text : {"1,000", "&H10", "&O17", "1D2", "+5", "abc", "1 2", " 5", "1e12", "-1", "99999"}) {
            const bool beyond = QByteArray(text) == "1e12";
            const bool outside = QByteArray(text) == "-1" || QByteArray(text) == "99999";
            if (!row.letter || !box || (beyond && !scaled) || (outside && !spin))
                continue;
            prompts.boxes.clear();
            w.ChangedFlags.fill(false);
            w.ChangedFlags[0] = w.ChangedFlags[row.entry] = true;
            box->setText(QString::fromLatin1(text));
            w.cmdUploadVKM_Click();
            EXPECT_EQ(str(sent()), "") << row.name << " " << text;
            const QString why = outside ? QStringLiteral("outside 0 to %1").arg(spin->maximum()) : QLatin1String(beyond ? "beyond what the controller takes" : "no number");
            EXPECT_EQ(boxTexts(), QStringList{QStringLiteral("The %1 \"%2\" is %3; nothing was uploaded.").arg(QLatin1String(row.name), QLatin1String(text), why)});
            EXPECT_TRUE(w.ChangedFlags[0] && w.ChangedFlags[row.entry] && w.cmdUploadVKM->isEnabled()) << row.name;
            box->clear();
        }
    }

    // The port gone under the upload: the first row that did not leave is named, and no
    // success is claimed.
    w.txtKP->setText(QStringLiteral("5"));
    w.ChangedFlags.fill(false);
    w.ChangedFlags[0] = w.ChangedFlags[5] = true;
    w.SkipUploadPrompt = false;
    prompts.boxes.clear();
    prompts.answer = [&](const MessageBoxRequest &box) {
        return box.prompt == QStringLiteral("Upload changes to VKM?") ? (sim.vanish(), int(vbconst::vbOK)) : int(vbconst::vbOK);
    };
    w.cmdUploadVKM_Click();
    EXPECT_EQ(boxTexts(), (QStringList{QStringLiteral("Upload changes to VKM?"),
                                       QStringLiteral("Error:  The upload stopped at the cooling-fan mode: it and what "
                                                      "follows it did not reach the VKM.")}));
    EXPECT_TRUE(w.ChangedFlags[0] && w.ChangedFlags[5] && w.cmdUploadVKM->isEnabled());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// With nothing marked the close stores the slew option alone; marks and OK store theirs.
TEST_F(OptionsWindow, ClosingStoresTheRegistryOptions)
{
    const auto stored = [](const char *name) { return DriverKey::stored(QString::fromLatin1(name)); };
    frmCal &w = open();
    w.IsLoading = true;
    w.chkTeleEastWest->setChecked(true);
    w.IsLoading = false;
    w.chkEnableSlew->setChecked(true);
    w.SkipUploadPrompt = true;
    w.close();
    EXPECT_TRUE(prompts.boxes.isEmpty());
    EXPECT_EQ(stored("EnableSlew").toInt(), 1);
    EXPECT_EQ(stored("CheckTelescope").toInt(), 0);

    w.showWindow();
    EXPECT_FALSE(w.SkipUploadPrompt);
    click(w.chkTeleEastWest);
    EXPECT_TRUE(w.ChangedFlags[33]);
    EXPECT_FALSE(w.cmdUploadVKM->isEnabled());
    prompts.answer = [](const MessageBoxRequest &) { return int(vbconst::vbCancel); };
    w.close();
    EXPECT_EQ(boxTexts(), QStringList{QStringLiteral("One or more items have changed.  Would you like to upload changed to the VKM?")});
    EXPECT_EQ(stored("CheckTelescope").toInt(), 0);

    w.showWindow();
    prompts.answer = nullptr;
    click(w.chkTeleEastWest);
    ASSERT_TRUE(w.chkTeleEastWest->isChecked());
    w.close(); // OK: the upload asks no question of its own
    EXPECT_EQ(prompts.boxes.size(), 2);
    EXPECT_EQ(stored("CheckTelescope").toInt(), 1);
    EXPECT_TRUE(Module().settings.CheckTelescope);

    // A step size that is no number is refused alone: the other marked options are stored.
    w.showWindow();
    prompts.boxes.clear();
    w.txtStepSize->clear();
    WidgetInput::type(w.txtStepSize, QStringLiteral("0.25x"));
    click(w.chkZELLimit);
    click(w.chkTeleEastWest);
    w.close();
    EXPECT_EQ(boxTexts(), (QStringList{QStringLiteral("One or more items have changed.  Would you like to upload changed to the VKM?"),
                                       QStringLiteral("Error number: 13 Type mismatch")}));
    EXPECT_EQ(stored("AutoReverse").toInt(), 1);
    EXPECT_EQ(stored("CheckTelescope").toInt(), 0);
    EXPECT_FALSE(stored("StepSize").isValid());

    // A save that fails is said and the option in use stays the one on disk.
    w.showWindow();
    click(w.chkTeleEastWest);
    std::optional<DiskFullAt> full(100);
    w.close();
    full.reset();
    EXPECT_TRUE(prompts.boxes.last().prompt.startsWith(QStringLiteral("Unable to save CheckTelescope (")));
    EXPECT_FALSE(Module().settings.CheckTelescope || stored("CheckTelescope").toInt());
}

TEST_F(OptionsWindow, IndicatorListComesFromTheSkyInItsOwnOrder)
{
    struct Case { const char *detector; const char *chosen; const char *box; bool marked; };
    const Case cases[] = {
        {"Camera", "Camera", nullptr, false},
        {"Missing", "Guider", "The current FOVI was not identified in TheSky.  The FOVI will default to first in list", true},
        {"", "Guider", nullptr, true},
    };
    const auto sky = FakeTheSky::Install();
    sky->fovis[QStringLiteral("Guider")] = FakeTheSky::Fovi();
    sky->fovis[QStringLiteral("Camera")] = FakeTheSky::Fovi();
    frmCal &w = open();
    for (const Case &c : cases) {
        Module().settings.Detector = QString::fromLatin1(c.detector);
        w.ChangedFlags[37] = false;
        prompts.boxes.clear();
        click(w.cmdCheckTS);
        QStringList entries;
        for (int i = 0; i < w.Combo1->count(); ++i)
            entries << w.Combo1->itemText(i);
        EXPECT_EQ(entries, (QStringList{"Guider", "Camera"})) << c.detector;
        EXPECT_EQ(w.Combo1->currentText(), QString::fromLatin1(c.chosen)) << c.detector;
        EXPECT_EQ(Module().settings.Detector, QString::fromLatin1(c.chosen));
        EXPECT_EQ(boxTexts(), c.box ? QStringList{QString::fromLatin1(c.box)} : QStringList()) << c.detector;
        EXPECT_EQ(bool(w.ChangedFlags[37]), c.marked) << c.detector;
    }
    sky->failCreation(QStringLiteral("TheSky6.MyFOVS"), VbError(429, QStringLiteral("ActiveX component can't create object")));
    prompts.boxes.clear();
    click(w.cmdCheckTS);
    const QStringList failure{QStringLiteral("Error retrieving FOVI list from TheSky6.  Make sure the correct version of TheSky is installed.")};
    EXPECT_EQ(boxTexts(), failure);
    // Visits of the tab say so once per opening of the window.
    for (int opening = 0; opening < 2; ++opening) {
        w.close(), w.showWindow(), prompts.boxes.clear();
        for (int tab : {2, 0, 2})
            w.SSTab1->setCurrentIndex(tab);
        EXPECT_EQ(boxTexts(), failure) << opening;
    }
    FakeTheSky::Uninstall();
}

