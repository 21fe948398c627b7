// The main window's report parser: every report code the window knows, into its controls,
// the shared state and the windows it fills.
#include "windows/frmMain.h"

#include "link/ModuleState.h"
#include "link/RotatorSteps.h"
#include "link/Serial.h"
#include "platform/Dispatch.h"
#include "platform/UserPrompts.h"
#include "platform/Vb.h"
#include "platform/VbFiles.h"
#include "link/ControlWindowHooks.h"
#include "platform/NamedControls.h"
#include "windows/EditHold.h"
#include "windows/Forms.h"
#include "windows/WindowRules.h"
#include "windows/frmRotIndicator.h"
#include "windows/frmWrapMessage.h"

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
    skip([&] { VbFiles::Print(ReceiveLogNumber, QString::number(chunk.size()) + QStringLiteral(", ") + chunk + QStringLiteral("\r\n")); });
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
    if (Module().settings.ErrorMessage == 1) {
        if (text == QLatin1String("1"))
            m_errorBoxes->post(QStringLiteral("Error:  Excessive position error.  The focus position has been adjusted."), vbconst::vbOKOnly);
        else if (text == QLatin1String("2"))
            m_errorBoxes->post(QStringLiteral("Error:  Excessive motor current detected.  The focus motor has been turned off."), vbconst::vbOKOnly);
        else if (text == QLatin1String("3"))
            m_errorBoxes->post(QStringLiteral("Error:  Excessive motor driver temperature.  The focus motor has been turned off."), vbconst::vbOKOnly);
    }
    Timer1.setEnabled(false);
}

void frmMain::rotatorTarget(double v)
{
    ModuleState &m = Module();
    skip([&] { lblRot->setText(vb::Format(v / 200, QStringLiteral("#0.00"))); });
    if (WindowRules::PushRotatorTargetToTheSky(v, TheSkyUpdateHold))
        restartTimer3();
    skip([&] { m.rotator.RotatorSetPosition = vb::CLng(v); });
}

void frmMain::rotatorActual(double v)
{
    ModuleState::Rotator &r = Module().rotator;
    skip([&] { lblRotAct->setText(vb::Format(v / 200, QStringLiteral("#0.00"))); });
    const bool shown = r.RotIndicatorShown;
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

void frmMain::rotatorWrap(double v)
{
    ModuleState &m = Module();
    ModuleState::Rotator &r = m.rotator;
    try {
        r.RotatorWrap = vb::CLng(v);
    } catch (const std::exception &) {
        return; // the stop test needs the new wrap
    }
    skip([&] { lblWrap->setText(vb::Format(v / 200, QStringLiteral("#,##0.0"))); });
    if (!WrapLimitStopped && WindowRules::WrapLimitCrossed()) {
        // The transmit leaves at once; nothing is pumped inside the parser.
        if (GetSerial)
            GetSerial->Transmit(QStringLiteral("q0 "));
        WrapLimitStopped = true;
        WrapMessageForm()->show();
        Timer3.setEnabled(true);
    }
    r.LastWrap = r.RotatorWrap;
}

// One heater debug item: a number and the separator, or at "*" the time stamp and the row end.
void frmMain::debugValue(const QString &text)
{
    if (text == QLatin1String("*")) {
        const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        VbFiles::Print(DebugFileNumber, QLatin1Char('#') + stamp + QStringLiteral("#\r\n"));
    } else {
        VbFiles::Print(DebugFileNumber, vb::CStr(vb::Val(text)) + QLatin1Char(','));
    }
}

void frmMain::dispatch(QStringView codeView, QStringView valueView)
{
    ModuleState &m = Module();
    const QString code = codeView.toString();
    const QString text = valueView.toString();
    const bool numeric = vb::IsNumeric(text);
    const double v = numeric ? vb::CDbl(text) : 0.0;
    const bool settingsOpen = m.link.SettingsWindowOpen;
    ControlSink *cal = settingsOpen ? ControlWindows().SettingsWindow : nullptr;
    ControlSink *wizard = m.tools.HeaterWizardOpen ? ControlWindows().HeaterWizard : nullptr;
    auto toCal = [&](auto &&write) {
        if (cal)
            skip([&] { write(*cal); });
    };
    auto toWizard = [&](auto &&write) {
        if (wizard)
            skip([&] { write(*wizard); });
    };
    const auto F = [](const char *s) { return QString::fromLatin1(s); };

    // --- focuser, motor and temperature compensation ---
    if (code == F(":s")) {
        if (!text.isEmpty())
            lblSet->setText(text);
    } else if (code == F(":a")) {
        if (text.isEmpty())
            return;
        lblActual->setText(text);
        if (!numeric)
            return;
        skip([&] { m.focuser.FocuserPosition = vb::CLng(v); });
        skip([&] {
            if (!FocuserHomed) {
                lblIdealMirrorSpacing->setText(QStringLiteral("GO HOME"));
                return;
            }
            const double d = v - IdealSpacingPosition;
            const double shown = cmbMirrorSpacing->currentIndex() == 0 ? d * 0.025 : d * m.settings.StepSize * 0.0408;
            lblIdealMirrorSpacing->setText(vb::Format(shown, QStringLiteral("0.000")));
        });
    } else if (code == F(":h")) {
        if (numeric)
            FocuserHomed = v == 1;
    } else if (code == F(":mc")) {
        if (numeric)
            lblMotorCurrent->setText(v == 0 ? QStringLiteral("< 0.65") : vb::Format(v * 0.000226 + 0.65, QStringLiteral("0.00")));
    } else if (code == F(":mo")) {
        const bool on = vb::Val(text) == 0;
        lblMotorStatus->setText(on ? QStringLiteral("ON") : QStringLiteral("OFF"));
        setTextColour(lblMotorStatus, on ? QColor(255, 255, 0) : QColor(255, 0, 0));
    } else if (code == F(":mb")) {
        const bool off = vb::Val(text) != 0;
        Check1->setChecked(off);
        m.focuser.ForceMotorOff = off;
    } else if (code == F(":e")) {
        showFocusError(text);
    } else if (code == F(":frp")) {
        if (!numeric || RecallFocusPressed)
            return;
        const bool odd = v != 2.0 * vb::CLng(v / 2);
        chkRecallFocus->setChecked(odd);
        if (odd)
            FocuserHomed = true;
        const bool recorded = odd && v >= 8;
        setBackColourRed(cmdRecordFocus, recorded);
        cmdRecordFocus->setText(recorded ? QStringLiteral("RECORDED") : QStringLiteral("RECORD"));
    } else if (code == F(":ims")) {
        if (numeric)
            IdealSpacingPosition = vb::CLng(v);
    } else if (code == F(":tcc")) {
        if (numeric && m.focuser.TempCompSlope != 0) {
            m.focuser.TempCompCoefficient = vb::CSng(v / m.focuser.TempCompSlope / 1000);
            m.focuser.TempCompCoefficientKnown = true;
        }
    } else if (code == F(":tcm")) {
        if (numeric) {
            m.focuser.TempCompThreshold = std::clamp<int32_t>(vb::CLng(v), 0, 100);
            m.focuser.TempCompCoefficientKnown = true;
        }
    } else if (code == F(":tc")) {
        if (!numeric)
            return;
        int16_t mode = 0;
        if (text == QLatin1String("1"))
            mode = 1;
        else if (text == QLatin1String("2"))
            mode = 2;
        static const char *const captions[] = {"Temperature Compensation = OFF", "Temperature Compensation = AUTO",
                                               "Temperature Compensation = MAN"};
        cmdTempComp->setText(QString::fromLatin1(captions[mode]));
        m.focuser.TempCompMode = mode;
        cmdSynchTempComp->setEnabled(mode == 2);
    } else if (code == F(":tca")) {
        if (!numeric)
            return;
        m.focuser.TempCompTemperature = vb::CSng(v * m.focuser.TempCompSlope + m.focuser.TempCompOffset);
        StatusPanel[1]->setText(QStringLiteral("Amb Temp ") + temperatureText(m.focuser.TempCompTemperature, " F", " C"));
    } else if (code == F(":sl1")) {
        if (numeric)
            m.focuser.TempCompSlope = vb::CSng(v / 100000);
    } else if (code == F(":of1")) {
        if (numeric)
            m.focuser.TempCompOffset = vb::CSng(v / 100000);
    }
    // --- temperatures ---
    else if (code == F(":t1") || code == F(":t2") || code == F(":t3")) {
        if (!numeric)
            return;
        const int i = code.at(2).digitValue() - 1;
        double *stored[] = {&m.temperatures.AmbientTemperature, &m.temperatures.PrimaryTemperature,
                            &m.temperatures.SecondaryTemperature};
        lblTemp[i]->setText(temperatureText(v / 100, "", ""));
        *stored[i] = v / 100;
    } else if (code == F(":t7")) {
        if (numeric)
            StatusPanel[0]->setText(QStringLiteral("VKM Temp ") + temperatureText(v / 100, " F", " C"));
    } else if (code == F(":t4") || code == F(":t5") || code == F(":t6")) {
        if (numeric) {
            const int label = 9 - code.at(2).digitValue(); // :t4 -> 5, :t5 -> 4, :t6 -> 3
            toCal([&](ControlSink &c) { c.setText(QStringLiteral("lblTemp_%1").arg(label), text); });
        }
    }
    // --- fans and heaters ---
    else if (code == F(":fm") || code == F(":sm")) {
        const bool fan = code == F(":fm");
        if (!numeric || (fan ? FanModeHold : HeaterModeHold))
            return;
        auto &group = fan ? optFan : optSec;
        group[(v == 0 || v == 2) ? 0 : 1]->setChecked(true);
    } else if (code == F(":fs") || code == F(":ss")) {
        const auto power = numeric ? WindowRules::ReportedPower(v) : std::nullopt;
        if (!power)
            return;
        const bool fan = code == F(":fs");
        if (!(fan ? FanSpeedHold : HeaterPowerHold))
            setSpin(fan ? UpDown2 : UpDown5, *power);
        (fan ? m.temperatures.FanSpeed : m.temperatures.SecondaryHeaterPower) = int16_t(*power);
    } else if (code == F(":fg")) {
        if (numeric && !FanGainHold && v >= 1 && v <= 100)
            setSpin(UpDown3, vb::CInt(v / 10));
    } else if (code == F(":ft")) {
        if (numeric && !FanThresholdHold && v >= 0 && v <= 100)
            setSpin(UpDown1, vb::CLng(v));
    } else if (code == F(":st")) {
        if (numeric && !HeaterSetpointHold && v >= -100 && v <= 100)
            setSpin(UpDown6, vb::CLng(v));
    } else if (code == F(":d1") || code == F(":d2")) {
        const int zone = code == F(":d1") ? 0 : 1;
        const auto power = numeric ? WindowRules::ReportedPower(v) : std::nullopt;
        if (power && !(zone == 0 ? Dew1Hold : Dew2Hold))
            setSpin(udDew1[zone], *power);
    }
    // --- rotator ---
    else if (code == F(":rs")) {
        if (numeric)
            rotatorTarget(v);
    } else if (code == F(":rt")) {
        if (numeric)
            rotatorActual(v);
    } else if (code == F(":wr")) {
        if (numeric)
            rotatorWrap(v);
    } else if (code == F(":rh")) {
        if (numeric)
            m.rotator.RotatorHomed = v != 0;
    } else if (code == F(":rrp")) {
        if (!numeric || RecallRotatorPressed)
            return;
        const bool odd = v != 2.0 * vb::CLng(v / 2);
        chkRecalRotator->setChecked(odd);
        if (odd)
            m.rotator.RotatorHomed = true;
        const bool recorded = odd && v >= 8;
        setBackColourRed(cmdRecordRotator, recorded);
        cmdRecordRotator->setText(recorded ? QStringLiteral("RECORDED") : QStringLiteral("RECORD"));
        if (RotatorRecordPending)
            m.rotator.RotatorPositionRecorded = recorded;
        RotatorRecordPending = false;
    }
    // --- the options window and the heater wizard ---
    else if (code == F(":p") || code == F(":r") || code == F(":i") || code == F(":l") || code == F(":g")) {
        static const QHash<QString, QString> boxes{{F(":p"), F("txtKP")}, {F(":r"), F("txtKd")}, {F(":i"), F("txtki")},
                                                   {F(":l"), F("txtil")}, {F(":g"), F("txtDeriv")}};
        toCal([&](ControlSink &c) { c.setText(boxes.value(code), text); });
    } else if (code == F(":v")) {
        if (numeric)
            toCal([&](ControlSink &c) { c.setText(F("txtVelocity"), vb::CStr(v / 65536)); });
    } else if (code == F(":c")) {
        if (numeric)
            toCal([&](ControlSink &c) { c.setText(F("txtAcc"), vb::Format(v / 65536, F("0.0000"))); });
    } else if (code == F(":ac") || code == F(":dbs") || code == F(":eh")) {
        static const QHash<QString, QString> boxes{{F(":ac"), F("chkAutoCurrent")}, {F(":dbs"), F("chkDeadband")},
                                                   {F(":eh"), F("chkErrorHandheld")}};
        if (numeric)
            toCal([&](ControlSink &c) { c.setChecked(boxes.value(code), vb::Val(text) != 0); });
    } else if (code == F(":db") || code == F(":dbt")) {
        if (numeric)
            toCal([&](ControlSink &c) { c.setValue(code == F(":db") ? F("udDeadband") : F("udDBSettle"), vb::CLng(v)); });
    } else if (code == F(":ifo")) {
        if (numeric)
            toCal([&](ControlSink &c) { c.selectOption(vb::Val(text) == 0 ? F("optIntFan_0") : F("optIntFan_1")); });
    } else if (code == F(":ifa")) {
        if (numeric && vb::Val(text) != 0)
            toCal([&](ControlSink &c) { c.selectOption(F("optIntFan_2")); });
    } else if (code == F(":ifs") || code == F(":ifh")) {
        const double n = vb::Val(text);
        if (!numeric || n < 0 || n >= 31)
            return;
        const bool hyst = code == F(":ifh");
        toCal([&](ControlSink &c) { c.setValue(hyst ? F("udIntFanHyst") : F("udIntFanSet"), vb::CInt(n)); });
        if (hyst && settingsOpen)
            m.tools.DownloadState = 3;
    } else if (code == F(":fo") || code == F(":fp")) {
        if (!numeric)
            return;
        const bool fp = code == F(":fp");
        toCal([&](ControlSink &c) { c.setValue(fp ? F("UpDown2") : F("UpDown1"), vb::CInt(vb::Val(text))); });
        if (fp && settingsOpen)
            m.tools.DownloadState = 2;
    } else if (code == F(":sl2") || code == F(":sl3") || code == F(":sl4") || code == F(":of2") || code == F(":of3")
               || code == F(":of4")) {
        if (!numeric)
            return;
        struct Target { const char *label; const char *box; };
        static const QHash<QString, Target> targets{
            {F(":sl2"), {"lblSlope_1", "txtPrimSlope"}},   {F(":sl3"), {"lblSlope_2", "txtSecSlope"}},
            {F(":sl4"), {nullptr, "txtElectSlope"}},        {F(":of2"), {"lblInt_1", "txtPrimIntercept"}},
            {F(":of3"), {"lblInt_2", "txtSecIntercept"}},  {F(":of4"), {nullptr, "txtElectIntercept"}}};
        const Target t = targets.value(code);
        const QString shown = vb::Format(v, F("0.00000"));
        if (t.label)
            toCal([&](ControlSink &c) { c.setText(F(t.label), shown); });
        toCal([&](ControlSink &c) { c.setText(F(t.box), shown); });
    } else if (code == F(":skp") || code == F(":skd") || code == F(":ski")) {
        if (!numeric)
            return;
        static const QHash<QString, std::pair<const char *, const char *>> targets{
            {F(":skp"), {"txtSKp", "lblKP_0"}}, {F(":skd"), {"txtSKd", "lblKD_0"}}, {F(":ski"), {"txtSKi", "lblKI_0"}}};
        const auto t = targets.value(code);
        toCal([&](ControlSink &c) { c.setText(F(t.first), vb::CStr(v / 100)); });
        toWizard([&](ControlSink &c) { c.setText(F(t.second), vb::CStr(v / 100)); });
    } else if (code == F(":sdi")) {
        if (!numeric)
            return;
        toCal([&](ControlSink &c) { c.setText(F("txtSDI"), text); });
        toWizard([&](ControlSink &c) { c.setText(F("lblDerT_0"), text); });
    } else if (code == F(":sil")) {
        if (!numeric)
            return;
        toCal([&](ControlSink &c) { c.setText(F("txtSecKi"), text); });
        if (settingsOpen)
            m.tools.DownloadState = 1;
        toWizard([&](ControlSink &c) { c.setText(F("lblIL_0"), text); });
    } else if (code.size() == 5 && code.startsWith(F(":S")) && code.endsWith(F("SM"))) {
        const int channel = code.at(2).digitValue();
        if (text.isEmpty() || channel < 2 || channel > 5)
            return;
        toCal([&](ControlSink &c) { c.setListIndex(QStringLiteral("cmbStepperStepMode_%1").arg(channel - 2), vb::CInt(text)); });
        if (channel == 5)
            m.tools.DownloadState = 4;
    } else if (code.size() == 4 && code.startsWith(F(":S")) && code.back() == u'M') {
        const int channel = code.at(2).digitValue();
        if (text.isEmpty() || channel < 2 || channel > 5)
            return;
        const QString combo = QStringLiteral("cmbStepperMode_%1").arg(channel - 2);
        toCal([&](ControlSink &c) { c.setListIndex(combo, vb::CInt(text)); });
        if (channel == 2) {
            skip([&] { PrimaryCoverMode = vb::CInt(text); });
        } else {
            toCal([&](ControlSink &c) {
                if (c.listIndex(F("cmbStepperMode_0")) == 1)
                    c.setListIndex(combo, 1);
            });
        }
    } else if (code.size() == 4 && code.startsWith(F(":S")) && code.back() == u'C') {
        const int channel = code.at(2).digitValue();
        if (!text.isEmpty() && numeric && channel >= 2 && channel <= 5)
            toCal([&](ControlSink &c) { c.setValue(QStringLiteral("UpDown3_%1").arg(channel - 2), vb::CLng(v)); });
    }
    // --- steppers and mirror cover ---
    else if (code.size() == 3 && code.startsWith(F(":S")) && code.at(2) >= u'1' && code.at(2) <= u'4') {
        if (!text.isEmpty())
            lblStepperPosition[code.at(2).digitValue() - 1]->setText(text);
    } else if (code == F(":SW")) {
        if (!numeric)
            return;
        const int32_t bits = vb::CLng(v);
        const std::pair<int, QLabel *> switches[] = {{1, lblLimit1[1]}, {2, lblLimit2[1]}, {4, lblLimit1[0]},
                                                     {8, lblLimit2[0]}, {64, lblLimit1[2]}, {128, lblLimit2[2]},
                                                     {16, lblLimit1[3]}, {32, lblLimit2[3]}};
        for (const auto &[bit, label] : switches)
            label->setText((bits & bit) ? QStringLiteral("CLOSED") : QStringLiteral("OPEN"));
    } else if (code == F(":SP")) {
        if (!numeric)
            return;
        const int32_t bits = vb::CLng(v);
        const int panelBits[] = {8, 2, 128, 32};
        for (int i = 0; i < 4; ++i)
            Frame3[i]->setVisible(bits & panelBits[i]);
    } else if (code == F(":CS")) {
        static const QHash<QString, QString> states{{F("0"), F("Closed")},          {F("2"), F("Phase 1 Opening")},
                                                    {F("3"), F("Phase 2 Opening")}, {F("5"), F("Phase 1 Closing")},
                                                    {F("6"), F("Phase 2 Closing")}, {F("7"), F("Open")},
                                                    {F("8"), F("Undefined")},       {F("9"), F("Unplugged")}};
        if (states.contains(text))
            lblPrimaryCoverStatus->setText(states.value(text));
        skip([&] { CoverState = vb::CInt(text); });
    }
    // --- link, boot loader and diagnostics ---
    else if (code == F(":!")) {
        ControllerRestarted = true;
        if (GetSerial)
            GetSerial->Transmit(QStringLiteral("1 "));
    } else if (code == F(":vr")) {
        m.link.FirmwareVersion = text;
    } else if (code == F(":x")) {
        if (text.isEmpty())
            return;
        m.tools.FlashStatus = int16_t(text.at(0).unicode() & 0xFF);
        if (!m.tools.FlashIgnoreAck)
            m.tools.FlashAckFlag = true;
    } else if (code == F(":d")) {
        debugValue(text);
    }
}
