#include "MainWindowFixture.h"

#include "link/ControlWindowHooks.h"
#include "platform/NamedControls.h"

#include <QAbstractButton>
#include <cmath>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>

namespace {

QString textOf(QWidget *w)
{
    if (auto *label = qobject_cast<QLabel *>(w))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(w))
        return button->text();
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        return edit->text();
    return QStringLiteral("<no text>");
}

} // namespace

class MainWindowParser : public MainWindowFixture
{
protected:
    frmMain *form = nullptr;
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        form = openQuiet();
    }
    void feed(const QStringList &chunks)
    {
        for (const QString &c : chunks)
            form->Handle_Received(c);
    }
};

struct CaptionCase
{
    QStringList chunks;
    const char *control;
    const char *text;
};

TEST_F(MainWindowParser, ReportsBecomeCaptions)
{
    const CaptionCase cases[] = {
        {{":s 1234 "}, "lblSet", "1234"},
        {{":t1 7225 "}, "lblTemp_0", "72.3"},
        {{":t", "2 71", "50 "}, "lblTemp_1", "71.5"},
        {{":t3 ", "6840", " "}, "lblTemp_2", "68.4"},
        {{":wr 250000 "}, "lblWrap", "1,250.0"},
        {{":rs 18050 "}, "lblRot", "90.25"},
        {{":mc 0 "}, "lblMotorCurrent", "< 0.65"},
        {{":mc 1000 "}, "lblMotorCurrent", "0.88"},
        {{":mo 0 "}, "lblMotorStatus", "ON"},
        {{":mo 4 "}, "lblMotorStatus", "OFF"},
        {{":tc 1 "}, "cmdTempComp", "Temperature Compensation = AUTO"},
        {{":tc 0 "}, "cmdTempComp", "Temperature Compensation = OFF"},
        {{":t7 9050 "}, "Panel_1", "VKM Temp 90.5 F"},
        {{":S3 -250 "}, "lblStepperPosition_2", "-250"},
        {{":CS 7 "}, "lblPrimaryCoverStatus", "Open"},
        {{":CS 4 "}, "lblPrimaryCoverStatus", "Open"}, // unknown state: caption kept
        {{":SW 5 "}, "lblLimit1_1", "CLOSED"},
        {{":SW 5 "}, "lblLimit1_0", "CLOSED"},
        {{":SW 5 "}, "lblLimit2_1", "OPEN"},
        {{":frp 9 "}, "cmdRecordFocus", "RECORDED"},
        {{":frp 1 "}, "cmdRecordFocus", "RECORD"},
        {{":h 0 :a 500 "}, "lblIdealMirrorSpacing", "GO HOME"},
        {{":h 1 :ims 400 :a 500 "}, "lblIdealMirrorSpacing", "2.500"},
    };
    for (const CaptionCase &c : cases) {
        if (QLatin1String(c.control) == QLatin1String("lblIdealMirrorSpacing")) // the home shown is the link's record's
            sim.sendRaw(c.chunks.join(QString()).toLatin1());
        else
            feed(c.chunks);
        Wait::Until(2000, [&] { return textOf(control(QString::fromLatin1(c.control))) == QLatin1String(c.text); });
        EXPECT_EQ(textOf(control(QString::fromLatin1(c.control))), QString::fromLatin1(c.text))
            << c.chunks.join(QLatin1Char('|')).toStdString();
    }
    // The motor state's yellow and red read on its black ground (contrast 4.5 to 1 at least).
    const auto luminance = [](QColor c) {
        const auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    for (const char *report : {":mo 0 ", ":mo 4 "}) {
        feed({QLatin1String(report)});
        const QPalette p = control("lblMotorStatus")->palette();
        EXPECT_EQ(p.color(QPalette::WindowText).red(), 255) << report;
        EXPECT_GE((luminance(p.color(QPalette::WindowText)) + 0.05) / (luminance(p.color(QPalette::Window)) + 0.05), 4.5) << report;
    }
    EXPECT_EQ(Module().link.FirmwareVersion, QStringLiteral("Not Available"));
    feed({":vr 2.0", "7b "});
    EXPECT_EQ(Module().link.FirmwareVersion, QStringLiteral("2.07b"));
}

TEST_F(MainWindowParser, CelsiusDisplayKeepsFahrenheitState)
{
    Module().settings.Celcius = 1;
    feed({":t1 7250 "});
    EXPECT_EQ(textOf(control("lblTemp_0")), QStringLiteral("22.5"));
    EXPECT_DOUBLE_EQ(Module().temperatures.AmbientTemperature, 72.5);
    Module().focuser.TempCompSlope = 0.01f;
    feed({":tca 9050 "});
    EXPECT_EQ(textOf(control("Panel_2")), QStringLiteral("Amb Temp 32.5 C"));
}

struct SpinCase
{
    const char *chunk;
    const char *control;
    int value;
};

TEST_F(MainWindowParser, ReportsSetSpinnersWithTiesToEvenAndRangesKept)
{
    const SpinCase cases[] = {
        {":fg 25 ", "UpDown3", 2}, {":fg 35 ", "UpDown3", 4},  {":fg 1 ", "UpDown3", 4}, // 0 is out of range
        {":fs 150 ", "UpDown2", 100}, {":fs -5 ", "UpDown2", 100}, {":fs 40 ", "UpDown2", 40},
        {":ft 55 ", "UpDown1", 55},   {":ft 101 ", "UpDown1", 55}, {":st -15 ", "UpDown6", -15},
        {":d1 120 ", "udDew1_0", 100}, {":d2 35 ", "udDew1_1", 35}, {":ss 70 ", "UpDown5", 70},
    };
    for (const SpinCase &c : cases) {
        feed({QString::fromLatin1(c.chunk)});
        EXPECT_EQ(control<QSpinBox>(QString::fromLatin1(c.control))->value(), c.value) << c.chunk;
    }
    feed({":fs 150 "});
    EXPECT_EQ(Module().temperatures.FanSpeed, 100);
    feed({":fs -5 "});
    EXPECT_EQ(Module().temperatures.FanSpeed, 100);

    form->FanSpeedHold = true;
    feed({":fs 40 "});
    EXPECT_EQ(Module().temperatures.FanSpeed, 40);
    EXPECT_EQ(control<QSpinBox>("UpDown2")->value(), 100);

    feed({":fm 2 :sm 1 "});
    EXPECT_TRUE(control<QRadioButton>("optFan_0")->isChecked());
    EXPECT_TRUE(control<QRadioButton>("optSec_1")->isChecked());
}

TEST_F(MainWindowParser, SharedStateFromFocuserAndRotatorReports)
{
    ModuleState &m = Module();
    feed({":tcc 500 "});
    EXPECT_FALSE(m.focuser.TempCompCoefficientKnown);
    feed({":sl1 50000 :of1 100000 :tcc 500 :tcm 250 :tca 7000 "});
    EXPECT_FLOAT_EQ(m.focuser.TempCompSlope, 0.5f);
    EXPECT_FLOAT_EQ(m.focuser.TempCompCoefficient, 1.0f);
    EXPECT_EQ(m.focuser.TempCompThreshold, 100);
    EXPECT_FLOAT_EQ(m.focuser.TempCompTemperature, 3501.0f);
    feed({":a 4321 :mb 1 :rh 1 :x \x01 "});
    EXPECT_EQ(m.focuser.FocuserPosition, 4321);
    EXPECT_TRUE(m.focuser.ForceMotorOff);
    EXPECT_TRUE(control<QAbstractButton>("Check1")->isChecked());
    EXPECT_EQ(m.tools.FlashStatus, 1);
    EXPECT_FALSE(m.tools.FlashAckFlag); // outside an upload a ":x" holds nothing back

    feed({":rs 2000 :rt 1000 "});
    EXPECT_EQ(m.rotator.RotatorSetPosition, 2000);
    EXPECT_EQ(m.rotator.RotatorDirection, 1);
    EXPECT_TRUE(m.rotator.RotatorMoving);
    EXPECT_TRUE(m.rotator.RotIndicatorShown);
    feed({":rt 1000 "}); // stopped: the dial closes
    EXPECT_FALSE(m.rotator.RotIndicatorShown);
    feed({":rt 500 "});
    EXPECT_EQ(m.rotator.RotatorDirection, -1);
    EXPECT_TRUE(m.rotator.RotIndicatorShown);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_NE(RotIndicatorForm(false), nullptr);
    EXPECT_TRUE(RotIndicatorForm(false)->isVisible());

    feed({":rrp 9 :rrp 1 "});
    EXPECT_EQ(textOf(control("cmdRecordRotator")), QStringLiteral("RECORD"));

    feed({":S2M 1 :S5SM 2 :SP 10 "});
    EXPECT_EQ(form->PrimaryCoverMode, 1);
    EXPECT_EQ(m.tools.DownloadState, 4);
    EXPECT_FALSE(control("Frame3_0")->isHidden());
    EXPECT_FALSE(control("Frame3_1")->isHidden());
    EXPECT_TRUE(control("Frame3_2")->isHidden());
}

TEST_F(MainWindowParser, TheRestartNoticeIsAnswered)
{
    feed({":! ", "0 "});
    ASSERT_TRUE(flushTo(QStringLiteral("MARK ")));
    EXPECT_TRUE(sim.received().contains(QStringLiteral(" Q 1 MARK ")));
}

TEST_F(MainWindowParser, OptionsWindowAndHeaterWizardAreFilledOnlyWhileOpen)
{
    QWidget cal, wizard;
    for (const char *name : {"txtKP", "txtVelocity", "txtAcc", "txtPrimSlope", "lblSlope_1", "txtSKp", "txtSecKi", "lblTemp_5", "lblTemp_3"})
        (new QLineEdit(&cal))->setObjectName(QString::fromLatin1(name));
    for (int i = 0; i < 4; ++i) {
        auto *spin = new QSpinBox(&cal);
        spin->setObjectName(QStringLiteral("UpDown3_%1").arg(i));
        spin->setRange(0, 100);
        for (const char *name : {"cmbStepperMode", "cmbStepperStepMode"}) {
            auto *combo = new QComboBox(&cal);
            combo->setObjectName(QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(i));
            combo->addItems({"a", "b", "c", "d"});
        }
    }
    (new QLabel(&wizard))->setObjectName(QStringLiteral("lblKP_0"));
    NamedControls calSink(&cal), wizardSink(&wizard);
    ControlWindows().SettingsWindow = &calSink;
    ControlWindows().HeaterWizard = &wizardSink;
    auto text = [&](const char *name) { return cal.findChild<QLineEdit *>(QString::fromLatin1(name))->text(); };

    feed({":p 12.5x :sil 7 "});
    EXPECT_EQ(text("txtKP"), QString());
    EXPECT_EQ(Module().tools.DownloadState, 0);

    Module().link.SettingsWindowOpen = true;
    Module().tools.HeaterWizardOpen = true;
    feed({":p 12.5x :v 98304 :c 6554 :sl2 123.456789 :skp 250 :sil 7 :t4 512 :t6 300 "});
    EXPECT_EQ(text("txtKP"), QStringLiteral("12.5x"));
    EXPECT_EQ(text("txtVelocity"), QStringLiteral("1.5"));
    EXPECT_EQ(text("txtAcc"), QStringLiteral("0.1000"));
    EXPECT_EQ(text("txtPrimSlope"), QStringLiteral("123.45679"));
    EXPECT_EQ(text("lblSlope_1"), QStringLiteral("123.45679"));
    EXPECT_EQ(text("txtSKp"), QStringLiteral("2.5"));
    EXPECT_EQ(text("txtSecKi"), QStringLiteral("7"));
    EXPECT_EQ(text("lblTemp_5"), QStringLiteral("512"));
    EXPECT_EQ(text("lblTemp_3"), QStringLiteral("300"));
    EXPECT_EQ(wizard.findChild<QLabel *>(QStringLiteral("lblKP_0"))->text(), QStringLiteral("2.5"));
    EXPECT_EQ(Module().tools.DownloadState, 1);

    feed({":S4C 45 :S5C 50 :S2M 1 :S3M 0 :S4SM 3 :S1C 9 :S6C 9 "}); // channels 2 to 5 only
    EXPECT_EQ(cal.findChild<QSpinBox *>(QStringLiteral("UpDown3_0"))->value(), 0);
    EXPECT_EQ(cal.findChild<QSpinBox *>(QStringLiteral("UpDown3_2"))->value(), 45);
    EXPECT_EQ(cal.findChild<QSpinBox *>(QStringLiteral("UpDown3_3"))->value(), 50);
    EXPECT_EQ(cal.findChild<QComboBox *>(QStringLiteral("cmbStepperMode_1"))->currentIndex(), 1);
    EXPECT_EQ(cal.findChild<QComboBox *>(QStringLiteral("cmbStepperStepMode_2"))->currentIndex(), 3);

    ControlWindows().SettingsWindow = nullptr;
    ControlWindows().HeaterWizard = nullptr;
    Module().tools.DownloadState = 0;
    feed({":p 3 :sil 9 "}); // open flag but no window: only the state moves
    EXPECT_EQ(Module().tools.DownloadState, 1);
}

TEST_F(MainWindowParser, HoldsAreDroppedAfterMoreThanAThousandHeldChunks)
{
    form->HeaterModeHold = true;
    for (int i = 0; i < 1000; ++i)
        form->Handle_Received(QStringLiteral(":sm 1 "));
    EXPECT_TRUE(form->HeaterModeHold);
    EXPECT_FALSE(control<QRadioButton>("optSec_1")->isChecked());
    EXPECT_EQ(form->HoldCount, 1000);
    form->Handle_Received(QStringLiteral(":sm 1 "));
    EXPECT_FALSE(form->HeaterModeHold);
    EXPECT_EQ(form->HoldCount, 0);
    // The chunk that drops the holds is itself applied.
    EXPECT_TRUE(control<QRadioButton>("optSec_1")->isChecked());
    form->Handle_Received(QStringLiteral(":sm 0 "));
    EXPECT_EQ(form->HoldCount, 0);
}

TEST_F(MainWindowParser, APressHoldsTheControlAndTheReleaseTimerLetsGo)
{
    QSpinBox *gain = control<QSpinBox>("UpDown3");
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), gain->mapToGlobal(QPointF(2, 2)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(gain, &press);
    EXPECT_TRUE(form->FanGainHold);
    EXPECT_FALSE(form->Timer3.Enabled());
    feed({":fg 70 "});
    EXPECT_NE(gain->value(), 7);

    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), gain->mapToGlobal(QPointF(2, 2)), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(gain, &release);
    EXPECT_TRUE(form->Timer3.Enabled());
    ASSERT_TRUE(Wait::Until(3000, [&] { return !form->FanGainHold; }));
    feed({":fg 70 "});
    EXPECT_EQ(gain->value(), 7);
}

TEST_F(MainWindowParser, TheWrapLimitStopSendsOneStop)
{
    ModuleState &m = Module();
    m.settings.ZELLimit = 540;
    m.rotator.LastWrap = 107000;
    feed({":wr 108000 "});
    EXPECT_FALSE(form->WrapLimitStopped);
    feed({":wr 1080", "01 "});
    EXPECT_TRUE(form->WrapLimitStopped);
    ASSERT_NE(WrapMessageForm(false), nullptr);
    EXPECT_TRUE(WrapMessageForm(false)->isVisible());
    feed({":wr 108500 "});
    ASSERT_TRUE(flushTo(QStringLiteral("MARK ")));
    EXPECT_EQ(sim.received().count(QStringLiteral("q0 ")), 1);
    EXPECT_EQ(m.rotator.LastWrap, 108500);

    // Decreasing beyond the negative limit stops as well; the first report never does.
    form->WrapLimitStopped = false;
    m.rotator.LastWrap = 0;
    feed({":wr -200000 "});
    EXPECT_FALSE(form->WrapLimitStopped);
    feed({":wr -200001 "});
    EXPECT_TRUE(form->WrapLimitStopped);

    form->WrapLimitStopped = false; // a stop that cannot leave is said once the delivery has returned
    Module().link.SharedSerial->setConnected(false);
    feed({":wr -200002 "});
    EXPECT_TRUE(prompts.boxes.isEmpty());
    ASSERT_TRUE(Wait::Until(2000, [&] { return !prompts.boxes.isEmpty(); }));
    EXPECT_EQ(prompts.boxes[0].prompt, QStringLiteral("Error:  The communications port is not open."));
}

TEST_F(MainWindowParser, MotorErrorBoxOpensFromTheEventLoopOncePerLatchAndHoldsNoReport)
{
    Module().settings.ErrorMessage = 1;
    Module().settings.ZELLimit = 540;
    Module().rotator.LastWrap = 107000;
    QString setWhenShown;
    QString setWhileOpen;
    bool stopSentWhileOpen = false;
    prompts.answer = [&](const MessageBoxRequest &) {
        setWhenShown = control<QLabel>("lblSet")->text();
        for (int i = 0; i < 20; ++i) // while the box stands, the same error opens no other
            form->Timer5_Timer(), feed({QStringLiteral(":e 2 ")});
        // While the box is up, the link keeps delivering to this window.
        sim.sendRaw(":s 777 :wr 108001 ");
        stopSentWhileOpen = sim.waitForReceived(QStringLiteral("q0 "), 2000);
        Wait::Until(2000, [&] { return control<QLabel>("lblSet")->text() == QLatin1String("777"); });
        setWhileOpen = control<QLabel>("lblSet")->text();
        return int(vbconst::vbOK);
    };
    form->Timer1.setEnabled(true);
    sim.sendRaw(":e 2 :s 55 :e 2 "); // through the link's delivery
    ASSERT_TRUE(Wait::Until(2000, [&] { return !prompts.boxes.isEmpty(); }));
    Wait::For(30);
    EXPECT_FALSE(form->Timer1.Enabled());
    EXPECT_TRUE(form->Timer5.Enabled());
    ASSERT_EQ(prompts.boxes.size(), 1);
    EXPECT_EQ(prompts.boxes[0].prompt,
              QStringLiteral("Error:  Excessive motor current detected.  The focus motor has been turned off."));
    EXPECT_EQ(prompts.boxes[0].buttons, int(vbconst::vbOKOnly));
    EXPECT_EQ(setWhenShown, QStringLiteral("55"));
    EXPECT_EQ(setWhileOpen, QStringLiteral("777"));
    EXPECT_TRUE(stopSentWhileOpen);
    EXPECT_TRUE(form->WrapLimitStopped);
    feed({":e 1 "});
    Wait::For(30);
    EXPECT_EQ(prompts.boxes.size(), 1);
}

TEST_F(MainWindowParser, ReceiveLogAndDebugRows)
{
    feed({":s 1234 ", ":d 12 :d 3.5 :d", " * "});
    EXPECT_EQ(fileBytes(QStringLiteral("log.log")), QByteArray("start\r\n8, :s 1234 \r\n15, :d 12 :d 3.5 :d\r\n3,  * \r\n"));
    const QByteArray debug = fileBytes(QStringLiteral("debug.txt"));
    const QByteArray header = "\"cse\",\"sKi\",\"sKp\",\"sKd\",\"sdi\",\"t6\",\"sd1\",\"ss\",\"t4\",\"ce\",\"si\",\"sil\",\"dt\",\"sp\",\"time\"\r\n";
    ASSERT_TRUE(debug.startsWith(header));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^12,3\\.5,#\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d#\\r\\n$"))
                    .match(QString::fromLatin1(debug.mid(header.size())))
                    .hasMatch())
        << debug.mid(header.size()).toStdString();

    // Deleted while the window is open, each is opened afresh under its name; one that cannot
    // be is told once, however many lines it loses.
    const QString logPath = DataFolder::file(QStringLiteral("log.log"));
    QFile::remove(logPath), QFile::remove(DataFolder::file(QStringLiteral("debug.txt")));
    feed({":s 5 ", ":d 7 :d * "});
    EXPECT_EQ(fileBytes(QStringLiteral("log.log")), QByteArray("start\r\n5, :s 5 \r\n10, :d 7 :d * \r\n"));
    EXPECT_TRUE(fileBytes(QStringLiteral("debug.txt")).startsWith(header + "7,#"));
    QFile::remove(logPath), QDir().mkdir(logPath), feed({":s 6 ", ":s 7 "});
    Wait::Until(2000, [&] { return !prompts.boxes.isEmpty(); }); // posted from the event loop
    QDir().rmdir(logPath);
    ASSERT_EQ(prompts.boxes.size(), 1);
    EXPECT_EQ(prompts.boxes[0].prompt,
              QStringLiteral("The file \"%1\" cannot be written (Error number: 75 Path/File access error).").arg(logPath));
}
