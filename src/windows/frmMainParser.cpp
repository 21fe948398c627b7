// The main window's report parser: every report code the window knows, into its controls,
// the shared state and the windows it fills.
#include "windows/frmMain.h"

#include "link/ModuleState.h"
#include "link/ReportTable.h"
#include "link/RotatorSteps.h"
#include "link/Serial.h"
#include "platform/Dispatch.h"
#include "platform/UserPrompts.h"
#include "platform/Vb.h"
#include "link/ControlWindowHooks.h"
#include "platform/NamedControls.h"
#include "settings/OptionRows.h"
#include "windows/EditHold.h"
#include "windows/Forms.h"
#include "windows/WindowRules.h"
#include "windows/frmRotIndicator.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>

namespace {

using WindowRules::setSpin;
using WindowRules::skip;

void setBackColourRed(QPushButton *button, bool red)
{
    button->setStyleSheet(red ? QStringLiteral("background-color: rgb(255, 0, 0);") : QString());
}

void setTextColour(QLabel *label, QColor colour)
{
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
}

QString L1(const char *s)
{
    return QString::fromLatin1(s);
}

// The windows a report is read back into, as they stand when it arrives: the options window
// while it is open and the heater wizard. A failing write is skipped alone.
struct ReadBack
{
    bool settingsOpen = Module().link.SettingsWindowOpen;
    ControlSink *settings = settingsOpen ? ControlWindows().SettingsWindow : nullptr;
    ControlSink *wizard = Module().tools.HeaterWizardOpen ? ControlWindows().HeaterWizard : nullptr;

    template <typename W> void toSettings(W &&write) const
    {
        if (settings)
            skip([&] { write(*settings); });
    }
    template <typename W> void toWizard(W &&write) const
    {
        if (wizard)
            skip([&] { write(*wizard); });
    }
};

// The options window's read-back chain moves on; once it has ended, later reports (a
// client's or a tool's own request) leave it ended until the next read-back starts.
void chainReached(int32_t state)
{
    int32_t &current = Module().tools.DownloadState;
    if (current != 5)
        current = state;
}

QString temperatureText(double fahrenheit, const char *unitF, const char *unitC)
{
    if (Module().settings.Celcius != 0)
        return vb::Format(frmMain::FahrenheitToCelsius(fahrenheit), QStringLiteral("0.0")) + QLatin1String(unitC);
    return vb::Format(fahrenheit, QStringLiteral("0.0")) + QLatin1String(unitF);
}

} // namespace

double frmMain::FahrenheitToCelsius(double f)
{
    return (f - 32) * 5 / 9;
}

void frmMain::cm_MyEvent(const QString &s)
{
    if (!Module().tools.FlashInProgress)
        Handle_Received(s);
}

void frmMain::Handle_Received(const QString &data)
{
    m_reply.Handle_Received(data);
}

// Runs before each chunk's walk: the receive log line and the hold count.
void frmMain::logChunk(const QString &chunk)
{
    writeLog(ReceiveLog, QString::number(chunk.size()) + QStringLiteral(", ") + chunk + QStringLiteral("\r\n"));
    HoldCount = Holds->any() ? int16_t(HoldCount + 1) : int16_t(0);
    if (HoldCount > 1000) {
        Holds->clearAll();
        HoldCount = 0;
    }
}

void frmMain::restartTimer3()
{
    Timer3.setEnabled(false);
    Timer3.setEnabled(true);
}

void frmMain::showFocusError(const QString &text)
{
    if (FocusErrorShown)
        return;
    FocusErrorShown = true;
    Timer5.setEnabled(true);
    // While a box for the error stands, the same error opens no other.
    if (Module().settings.ErrorMessage == 1) {
        if (text == QLatin1String("1"))
            m_errorBoxes->postOnce(QStringLiteral("Error:  Excessive position error.  The focus position has been adjusted."), vbconst::vbOKOnly);
        else if (text == QLatin1String("2"))
            m_errorBoxes->postOnce(QStringLiteral("Error:  Excessive motor current detected.  The focus motor has been turned off."), vbconst::vbOKOnly);
        else if (text == QLatin1String("3"))
            m_errorBoxes->postOnce(QStringLiteral("Error:  Excessive motor driver temperature.  The focus motor has been turned off."), vbconst::vbOKOnly);
    }
    Timer1.setEnabled(false);
}

void frmMain::rotatorTarget(const Report &r)
{
    const auto steps = ReportValue::RotatorSteps(r);
    if (!steps)
        return;
    const double v = *steps;
    skip([&] { lblRot->setText(vb::Format(v / RotatorStepsPerDegree, QStringLiteral("#0.00"))); });
    if (WindowRules::PushRotatorTargetToTheSky(v, TheSkyUpdateHold))
        restartTimer3();
    skip([&] { Module().rotator.RotatorSetPosition = vb::CLng(v); });
}

void frmMain::rotatorActual(const Report &r)
{
    const auto steps = ReportValue::RotatorSteps(r);
    if (!steps)
        return;
    const double v = *steps;
    skip([&] { lblRotAct->setText(vb::Format(v / RotatorStepsPerDegree, QStringLiteral("#0.00"))); });
    const bool shown = Module().rotator.RotIndicatorShown;
    if (WindowRules::NoteRotatorActual(v)) {
        if (!shown)
            RotIndicatorForm()->showIndicator();
    } else if (shown) {
        if (frmRotIndicator *dial = RotIndicatorForm(false)) {
            dial->Timer1.setEnabled(false);
            dial->close();
        }
    }
}

void frmMain::rotatorWrap(const Report &r)
{
    ModuleState::Rotator &rot = Module().rotator;
    if (!r.numeric)
        return;
    try {
        rot.RotatorWrap = *ReportValue::Wrap(r);
    } catch (const std::exception &) {
        return; // the stop test needs the new wrap
    }
    skip([&] { lblWrap->setText(vb::Format(r.v / 200, QStringLiteral("#,##0.0"))); });
    if (WindowRules::StopAtWrapLimit(this, GetSerial.get(), WrapLimitStopped))
        Timer3.setEnabled(true);
    rot.LastWrap = rot.RotatorWrap;
}

void frmMain::rotatorHomeReport(const Report &r)
{
    if (!r.numeric)
        return;
    // Whether it is homed is read from the link's record where it matters.
    if (r.code == QLatin1String(":rh") || RecallRotatorPressed)
        return;
    const bool odd = WindowRules::RecallOn(r);
    chkRecalRotator->setChecked(odd);
    const bool recorded = ReportValue::RecallCode(r) == 8;
    setBackColourRed(cmdRecordRotator, recorded);
    cmdRecordRotator->setText(recorded ? QStringLiteral("RECORDED") : QStringLiteral("RECORD"));
}

// One heater debug item: a number and the separator, or at "*" the time stamp and the row end.
void frmMain::debugValue(const QString &text)
{
    if (text == QLatin1String("*")) {
        const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        writeLog(DebugFile, QLatin1Char('#') + stamp + QStringLiteral("#\r\n"));
    } else {
        writeLog(DebugFile, vb::CStr(vb::Val(text)) + QLatin1Char(','));
    }
}

void frmMain::dispatch(QStringView code, QStringView value)
{
    using M = frmMain;
    static const ReportTable<M> table{
        // focuser, motor and temperature compensation
        {":s", &M::focuserReport}, {":a", &M::focuserReport}, {":h", &M::focuserReport}, {":mc", &M::focuserReport},
        {":mo", &M::focuserReport}, {":mb", &M::focuserReport}, {":e", &M::focuserReport}, {":ims", &M::focuserReport},
        {":frp", &M::focusRecallReport},
        {":tc", &M::compensationReport}, {":tca", &M::compensationReport}, {":tcc", &M::compensationReport},
        {":tcm", &M::compensationReport}, {":sl1", &M::compensationReport}, {":of1", &M::compensationReport},
        // temperatures, fans and heaters
        {":t1", &M::temperatureReport}, {":t2", &M::temperatureReport}, {":t3", &M::temperatureReport},
        {":t7", &M::temperatureReport},
        {":fm", &M::fanHeaterReport}, {":sm", &M::fanHeaterReport}, {":fs", &M::fanHeaterReport},
        {":ss", &M::fanHeaterReport}, {":fg", &M::fanHeaterReport}, {":ft", &M::fanHeaterReport},
        {":st", &M::fanHeaterReport}, {":d1", &M::fanHeaterReport}, {":d2", &M::fanHeaterReport},
        // rotator
        {":rs", &M::rotatorTarget}, {":rt", &M::rotatorActual}, {":wr", &M::rotatorWrap},
        {":rh", &M::rotatorHomeReport}, {":rrp", &M::rotatorHomeReport},
        // the options window and the heater wizard
        {":t4", &M::settingsReport}, {":t5", &M::settingsReport}, {":t6", &M::settingsReport},
        {":p", &M::settingsReport}, {":r", &M::settingsReport}, {":i", &M::settingsReport},
        {":l", &M::settingsReport}, {":g", &M::settingsReport}, {":v", &M::settingsReport},
        {":c", &M::settingsReport}, {":ac", &M::settingsReport}, {":dbs", &M::settingsReport},
        {":eh", &M::settingsReport}, {":db", &M::settingsReport}, {":dbt", &M::settingsReport},
        {":ifo", &M::settingsReport}, {":ifa", &M::settingsReport}, {":ifs", &M::settingsReport},
        {":ifh", &M::settingsReport}, {":fo", &M::settingsReport}, {":fp", &M::settingsReport},
        {":sl2", &M::settingsReport}, {":sl3", &M::settingsReport}, {":sl4", &M::settingsReport},
        {":of2", &M::settingsReport}, {":of3", &M::settingsReport}, {":of4", &M::settingsReport},
        {":skp", &M::heaterGainsReport}, {":skd", &M::heaterGainsReport}, {":ski", &M::heaterGainsReport},
        {":sdi", &M::heaterGainsReport}, {":sil", &M::heaterGainsReport},
        {":S2SM", &M::stepperSettingsReport}, {":S3SM", &M::stepperSettingsReport},
        {":S4SM", &M::stepperSettingsReport}, {":S5SM", &M::stepperSettingsReport},
        {":S2M", &M::stepperSettingsReport}, {":S3M", &M::stepperSettingsReport},
        {":S4M", &M::stepperSettingsReport}, {":S5M", &M::stepperSettingsReport},
        {":S2C", &M::stepperSettingsReport}, {":S3C", &M::stepperSettingsReport},
        {":S4C", &M::stepperSettingsReport}, {":S5C", &M::stepperSettingsReport},
        // steppers and mirror cover
        {":S1", &M::stepperReport}, {":S2", &M::stepperReport}, {":S3", &M::stepperReport}, {":S4", &M::stepperReport},
        {":SW", &M::stepperReport}, {":SP", &M::stepperReport}, {":CS", &M::stepperReport},
        // link, boot loader and diagnostics
        {":!", &M::linkReport}, {":vr", &M::linkReport}, {":x", &M::linkReport}, {":d", &M::linkReport},
    };
    table.dispatch(*this, code, value);
}

void frmMain::focuserReport(const Report &r)
{
    ModuleState &m = Module();
    const QString &code = r.code;
    const QString &text = r.text;
    if (code == L1(":s")) {
        if (!text.isEmpty())
            lblSet->setText(text);
    } else if (code == L1(":a")) {
        if (text.isEmpty())
            return;
        lblActual->setText(text);
        if (!r.numeric)
            return;
        skip([&] { m.focuser.FocuserPosition = vb::CLng(r.v); });
        skip([&] {
            if (!WindowRules::FocuserHomed(GetSerial.get(), false).value_or(false)) {
                lblIdealMirrorSpacing->setText(QStringLiteral("GO HOME"));
                return;
            }
            const double d = r.v - IdealSpacingPosition;
            const double shown = cmbMirrorSpacing->currentIndex() == 0 ? d * 0.025 : d * m.settings.StepSize * 0.0408;
            lblIdealMirrorSpacing->setText(vb::Format(shown, QStringLiteral("0.000")));
        });
    } else if (code == L1(":mc")) {
        if (r.numeric)
            lblMotorCurrent->setText(r.v == 0 ? QStringLiteral("< 0.65") : vb::Format(r.v * 0.000226 + 0.65, QStringLiteral("0.00")));
    } else if (code == L1(":mo")) {
        const bool on = !ReportValue::Flag(r);
        lblMotorStatus->setText(on ? QStringLiteral("ON") : QStringLiteral("OFF"));
        setTextColour(lblMotorStatus, on ? QColor(255, 255, 0) : QColor(255, 0, 0));
    } else if (code == L1(":mb")) {
        const bool off = ReportValue::Flag(r);
        Check1->setChecked(off);
        m.focuser.ForceMotorOff = off;
    } else if (code == L1(":e")) {
        showFocusError(text);
    } else if (code == L1(":ims")) {
        if (r.numeric)
            IdealSpacingPosition = vb::CLng(r.v);
    }
}

void frmMain::focusRecallReport(const Report &r)
{
    if (!r.numeric || RecallFocusPressed)
        return;
    const bool odd = WindowRules::RecallOn(r);
    chkRecallFocus->setChecked(odd);
    const bool recorded = ReportValue::RecallCode(r) == 8;
    setBackColourRed(cmdRecordFocus, recorded);
    cmdRecordFocus->setText(recorded ? QStringLiteral("RECORDED") : QStringLiteral("RECORD"));
}

void frmMain::compensationReport(const Report &r)
{
    ModuleState::Focuser &f = Module().focuser;
    if (!r.numeric)
        return;
    const QString &code = r.code;
    if (code == L1(":tcc")) {
        if (const auto c = ReportValue::TempCompCoefficient(r, f.TempCompSlope)) {
            f.TempCompCoefficient = *c;
            f.TempCompCoefficientKnown = true;
        }
    } else if (code == L1(":tcm")) {
        f.TempCompThreshold = std::clamp<int32_t>(vb::CLng(r.v), 0, 100);
        f.TempCompCoefficientKnown = true;
    } else if (code == L1(":tc")) {
        int16_t mode = 0;
        if (r.text == QLatin1String("1"))
            mode = 1;
        else if (r.text == QLatin1String("2"))
            mode = 2;
        static const char *const captions[] = {"Temperature Compensation = OFF", "Temperature Compensation = AUTO",
                                               "Temperature Compensation = MAN"};
        cmdTempComp->setText(L1(captions[mode]));
        f.TempCompMode = mode;
        cmdSynchTempComp->setEnabled(mode == 2);
    } else if (code == L1(":tca")) {
        f.TempCompTemperature = vb::CSng(r.v * f.TempCompSlope + f.TempCompOffset);
        StatusPanel[1]->setText(QStringLiteral("Amb Temp ") + temperatureText(f.TempCompTemperature, " F", " C"));
    } else if (code == L1(":sl1")) {
        f.TempCompSlope = *ReportValue::TempCompScale(r);
    } else if (code == L1(":of1")) {
        f.TempCompOffset = *ReportValue::TempCompScale(r);
    }
}

void frmMain::temperatureReport(const Report &r)
{
    ModuleState::Temperatures &t = Module().temperatures;
    const auto degrees = ReportValue::Temperature(r);
    if (!degrees)
        return;
    if (r.code == L1(":t7")) {
        StatusPanel[0]->setText(QStringLiteral("VKM Temp ") + temperatureText(*degrees, " F", " C"));
        return;
    }
    const int i = r.code.at(2).digitValue() - 1;
    double *stored[] = {&t.AmbientTemperature, &t.PrimaryTemperature, &t.SecondaryTemperature};
    lblTemp[i]->setText(temperatureText(*degrees, "", ""));
    *stored[i] = *degrees;
}

void frmMain::fanHeaterReport(const Report &r)
{
    ModuleState::Temperatures &t = Module().temperatures;
    const QString &code = r.code;
    const double v = r.v;
    if (code == L1(":fm") || code == L1(":sm")) {
        const bool fan = code == L1(":fm");
        if (!r.numeric || (fan ? FanModeHold : HeaterModeHold))
            return;
        auto &group = fan ? optFan : optSec;
        group[(v == 0 || v == 2) ? 0 : 1]->setChecked(true);
    } else if (code == L1(":fs") || code == L1(":ss")) {
        const auto power = ReportValue::Power(r);
        if (!power)
            return;
        const bool fan = code == L1(":fs");
        if (!(fan ? FanSpeedHold : HeaterPowerHold))
            setSpin(fan ? UpDown2 : UpDown5, *power);
        (fan ? t.FanSpeed : t.SecondaryHeaterPower) = int16_t(*power);
    } else if (code == L1(":fg")) {
        if (r.numeric && !FanGainHold && v >= 1 && v <= 100)
            setSpin(UpDown3, vb::CInt(v / 10));
    } else if (code == L1(":ft")) {
        if (r.numeric && !FanThresholdHold && v >= 0 && v <= 100)
            setSpin(UpDown1, vb::CLng(v));
    } else if (code == L1(":st")) {
        if (r.numeric && !HeaterSetpointHold && v >= -100 && v <= 100)
            setSpin(UpDown6, vb::CLng(v));
    } else if (code == L1(":d1") || code == L1(":d2")) {
        const int zone = code == L1(":d1") ? 0 : 1;
        const auto power = ReportValue::Power(r);
        if (power && !(zone == 0 ? Dew1Hold : Dew2Hold))
            setSpin(udDew1[zone], *power);
    }
}

void frmMain::settingsReport(const Report &r)
{
    const ReadBack back;
    const QString &code = r.code;
    const QString &text = r.text;
    const double v = r.v;
    if (code == L1(":t4") || code == L1(":t5") || code == L1(":t6")) {
        if (r.numeric) {
            const int label = 9 - code.at(2).digitValue(); // :t4 -> 5, :t5 -> 4, :t6 -> 3
            back.toSettings([&](ControlSink &c) { c.setText(QStringLiteral("lblTemp_%1").arg(label), text); });
        }
        return;
    }
    // The options window's rows, as their one description reads them back.
    back.toSettings([&](ControlSink &c) { OptionRows::readBack(code, text, c); });
    if (!r.numeric)
        return;
    if (code == L1(":ifh")) {
        if (back.settingsOpen && v >= 0 && v < 31)
            chainReached(3);
    } else if (code == L1(":fp")) {
        if (back.settingsOpen)
            chainReached(2);
    } else {
        // The current coefficients of the calibration frame.
        static const QHash<QString, const char *> labels{{L1(":sl2"), "lblSlope_1"}, {L1(":sl3"), "lblSlope_2"},
                                                         {L1(":of2"), "lblInt_1"},   {L1(":of3"), "lblInt_2"}};
        if (const char *label = labels.value(code))
            back.toSettings([&](ControlSink &c) { c.setText(L1(label), vb::Format(v, L1("0.00000"))); });
    }
}

void frmMain::heaterGainsReport(const Report &r)
{
    const ReadBack back;
    if (!r.numeric)
        return;
    const QString &code = r.code;
    const QString &text = r.text;
    back.toSettings([&](ControlSink &c) { OptionRows::readBack(code, text, c); });
    if (code == L1(":sdi")) {
        back.toWizard([&](ControlSink &c) { c.setText(L1("lblDerT_0"), text); });
    } else if (code == L1(":sil")) {
        if (back.settingsOpen)
            chainReached(1);
        back.toWizard([&](ControlSink &c) { c.setText(L1("lblIL_0"), text); });
    } else {
        static const QHash<QString, const char *> targets{{L1(":skp"), "lblKP_0"}, {L1(":skd"), "lblKD_0"}, {L1(":ski"), "lblKI_0"}};
        back.toWizard([&](ControlSink &c) { c.setText(L1(targets.value(code)), vb::CStr(r.v / 100)); });
    }
}

void frmMain::stepperSettingsReport(const Report &r)
{
    const ReadBack back;
    const QString &code = r.code;
    const QString &text = r.text;
    const int channel = code.at(2).digitValue(); // 2 to 5
    if (code.endsWith(L1("SM"))) {
        if (text.isEmpty())
            return;
        back.toSettings([&](ControlSink &c) { c.setListIndex(QStringLiteral("cmbStepperStepMode_%1").arg(channel - 2), vb::CInt(text)); });
        if (channel == 5)
            chainReached(4);
    } else if (code.back() == u'M') {
        if (text.isEmpty())
            return;
        const QString combo = QStringLiteral("cmbStepperMode_%1").arg(channel - 2);
        back.toSettings([&](ControlSink &c) { c.setListIndex(combo, vb::CInt(text)); });
        if (channel == 2) {
            skip([&] { setPrimaryCoverMode(vb::CInt(text)); });
        } else {
            back.toSettings([&](ControlSink &c) {
                if (c.listIndex(L1("cmbStepperMode_0")) == 1)
                    c.setListIndex(combo, 1);
            });
        }
    } else if (!text.isEmpty() && r.numeric) {
        back.toSettings([&](ControlSink &c) { c.setValue(QStringLiteral("UpDown3_%1").arg(channel - 2), vb::CLng(r.v)); });
    }
}

void frmMain::stepperReport(const Report &r)
{
    const QString &code = r.code;
    const QString &text = r.text;
    if (code == L1(":SW")) {
        if (!r.numeric)
            return;
        const int32_t bits = vb::CLng(r.v);
        const std::pair<int, QLabel *> switches[] = {{1, lblLimit1[1]}, {2, lblLimit2[1]}, {4, lblLimit1[0]},
                                                     {8, lblLimit2[0]}, {64, lblLimit1[2]}, {128, lblLimit2[2]},
                                                     {16, lblLimit1[3]}, {32, lblLimit2[3]}};
        for (const auto &[bit, label] : switches)
            label->setText((bits & bit) ? QStringLiteral("CLOSED") : QStringLiteral("OPEN"));
    } else if (code == L1(":SP")) {
        if (!r.numeric)
            return;
        const int32_t bits = vb::CLng(r.v);
        const int panelBits[] = {8, 2, 128, 32};
        for (int i = 0; i < 4; ++i)
            Frame3[i]->setVisible(bits & panelBits[i]);
    } else if (code == L1(":CS")) {
        static const QHash<QString, QString> states{{L1("0"), L1("Closed")},          {L1("2"), L1("Phase 1 Opening")},
                                                    {L1("3"), L1("Phase 2 Opening")}, {L1("5"), L1("Phase 1 Closing")},
                                                    {L1("6"), L1("Phase 2 Closing")}, {L1("7"), L1("Open")},
                                                    {L1("8"), L1("Undefined")},       {L1("9"), L1("Unplugged")}};
        if (states.contains(text))
            lblPrimaryCoverStatus->setText(states.value(text));
    } else if (!text.isEmpty()) {
        // the positions ":S1" to ":S4"
        lblStepperPosition[code.at(2).digitValue() - 1]->setText(text);
    }
}

void frmMain::linkReport(const Report &r)
{
    ModuleState &m = Module();
    if (r.code == L1(":!")) {
        if (GetSerial)
            GetSerial->Transmit(QStringLiteral("1 "));
    } else if (r.code == L1(":vr")) {
        m.link.FirmwareVersion = r.text;
    } else if (r.code == L1(":x")) {
        m.tools.FlashStatusReport(r.text);
    } else if (r.code == L1(":d")) {
        debugValue(r.text);
    }
}

