// The options window's controls, under the names the main window's parser writes to.
#include "settings/frmCal.h"

#include "platform/Controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

QString element(const char *name, int index)
{
    return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index);
}

template <typename W, typename... Args>
W *NewElement(QWidget *form, const char *name, int index, Args &&...args)
{
    auto *control = new W(std::forward<Args>(args)..., form);
    control->setObjectName(element(name, index));
    return control;
}

QLabel *caption(const char *text)
{
    return new QLabel(QString::fromLatin1(text));
}

// Arrows of the window's design range beside the partner that shows their value.
UpDown *spinner(QWidget *form, const char *name, int maximum, int step)
{
    auto *spin = NewControl<UpDown>(form, name);
    spin->setRange(0, maximum);
    spin->setSingleStep(step);
    return spin;
}

QHBoxLayout *pair(QWidget *box, QWidget *spin)
{
    auto *row = new QHBoxLayout;
    row->addWidget(box);
    row->addWidget(spin);
    return row;
}

} // namespace

void frmCal::buildLayout()
{
    setObjectName(QStringLiteral("frmCal"));
    setWindowTitle(QStringLiteral("Options"));
    SSTab1 = NewControl<QTabWidget>(this, "SSTab1");

    // General
    auto *general = new QWidget;
    auto *intFan = new QGroupBox(QStringLiteral("Electonics cooling fan"));
    const char *fanModes[] = {"Off", "On", "Auto"};
    auto *intFanGrid = new QGridLayout(intFan);
    for (int i = 0; i < 3; ++i) {
        optIntFan[i] = NewElement<QRadioButton>(this, "optIntFan", i, QString::fromLatin1(fanModes[i]));
        intFanGrid->addWidget(optIntFan[i], 0, i);
    }
    udIntFanSet = spinner(this, "udIntFanSet", 30, 1);
    txtIntFanSet = NewControl<QLineEdit>(this, "txtIntFanSet");
    udIntFanHyst = spinner(this, "udIntFanHyst", 30, 1);
    txtintfanhyst = NewControl<QLineEdit>(this, "txtintfanhyst");
    intFanGrid->addWidget(caption("Set Temp (Ambient +)"), 1, 0);
    intFanGrid->addLayout(pair(txtIntFanSet, udIntFanSet), 1, 1, 1, 2);
    intFanGrid->addWidget(caption("Hysteresis"), 2, 0);
    intFanGrid->addLayout(pair(txtintfanhyst, udIntFanHyst), 2, 1, 1, 2);

    auto *teleFan = new QGroupBox(QStringLiteral("Telescope cooling fan"));
    UpDown1 = spinner(this, "UpDown1", 100, 5);
    txtFanThreshold = NewControl<QLineEdit>(this, "txtFanThreshold");
    UpDown2 = spinner(this, "UpDown2", 100, 5);
    txtFanPulsePower = NewControl<QLineEdit>(this, "txtFanPulsePower");
    auto *teleFanGrid = new QGridLayout(teleFan);
    teleFanGrid->addWidget(caption("Fan Threshold (%)"), 0, 0);
    teleFanGrid->addLayout(pair(txtFanThreshold, UpDown1), 0, 1);
    teleFanGrid->addWidget(caption("Fan Pulse Power (%)"), 1, 0);
    teleFanGrid->addLayout(pair(txtFanPulsePower, UpDown2), 1, 1);

    auto *coefficients = new QGroupBox(QStringLiteral("Temperature coefficients"));
    auto *coefGrid = new QGridLayout(coefficients);
    coefGrid->addWidget(caption("Slope"), 0, 1);
    coefGrid->addWidget(caption("Intercept"), 0, 2);
    struct Row { const char *caption; QLineEdit **slope; const char *slopeName; QLineEdit **intercept; const char *interceptName; };
    const Row rows[] = {{"Electronics:", &txtElectSlope, "txtElectSlope", &txtElectIntercept, "txtElectIntercept"},
                        {"Ambient:", &txtAmbSlope, "txtAmbSlope", &txtAmbIntercept, "txtAmbIntercept"},
                        {"Primary:", &txtPrimSlope, "txtPrimSlope", &txtPrimIntercept, "txtPrimIntercept"},
                        {"Secondary:", &txtSecSlope, "txtSecSlope", &txtSecIntercept, "txtSecIntercept"}};
    for (int r = 0; r < 4; ++r) {
        *rows[r].slope = NewControl<QLineEdit>(this, rows[r].slopeName);
        *rows[r].intercept = NewControl<QLineEdit>(this, rows[r].interceptName);
        coefGrid->addWidget(caption(rows[r].caption), r + 1, 0);
        coefGrid->addWidget(*rows[r].slope, r + 1, 1);
        coefGrid->addWidget(*rows[r].intercept, r + 1, 2);
    }
    auto *generalColumn = new QVBoxLayout(general);
    generalColumn->addWidget(intFan);
    generalColumn->addWidget(teleFan);
    generalColumn->addWidget(coefficients);

    // Focus
    auto *focus = new QWidget;
    auto *servo = new QGroupBox(QStringLiteral("Servo PID coefficients"));
    auto *servoGrid = new QGridLayout(servo);
    struct Box { const char *caption; QLineEdit **box; const char *name; };
    const Box servoBoxes[] = {{"Proportionality", &txtKP, "txtKP"}, {"Derivative", &txtKd, "txtKd"},
                              {"Deriv. Interval", &txtDeriv, "txtDeriv"}, {"Integral", &txtki, "txtki"},
                              {"Integral Limit", &txtil, "txtil"},    {"Velocity", &txtVelocity, "txtVelocity"},
                              {"Acceleration", &txtAcc, "txtAcc"}};
    int row = 0;
    for (const Box &b : servoBoxes) {
        *b.box = NewControl<QLineEdit>(this, b.name);
        servoGrid->addWidget(caption(b.caption), row, 0);
        servoGrid->addWidget(*b.box, row++, 1);
    }
    chkAutoCurrent = NewControl<QCheckBox>(this, "chkAutoCurrent", QStringLiteral("Shut off motor for overcurrent"));
    chkDeadband = NewControl<QCheckBox>(this, "chkDeadband", QStringLiteral("Turn off motor when within deadband"));
    chkErrorHandheld = NewControl<QCheckBox>(this, "chkErrorHandheld",
                                             QStringLiteral("Display position error messages on hand controller"));
    chkErrorComputer = NewControl<QCheckBox>(this, "chkErrorComputer",
                                             QStringLiteral("Display position error messages on computer"));
    udDeadband = spinner(this, "udDeadband", 5, 1);
    txtDeadband = NewControl<QLineEdit>(this, "txtDeadband");
    udDBSettle = spinner(this, "udDBSettle", 100, 2);
    txtDeadbandSettle = NewControl<QLineEdit>(this, "txtDeadbandSettle");
    txtDeadbandSettle->setReadOnly(true); // seconds shown for the arrows' twentieths; typing would be lost
    txtStepSize = NewControl<QLineEdit>(this, "txtStepSize");
    cmdCalc = NewControl<QPushButton>(this, "cmdCalc", QStringLiteral("Calculate"));
    auto *focusGrid = new QGridLayout(focus);
    focusGrid->addWidget(servo, 0, 0, 1, 3);
    focusGrid->addWidget(chkAutoCurrent, 1, 0, 1, 3);
    focusGrid->addWidget(chkDeadband, 2, 0, 1, 3);
    focusGrid->addWidget(chkErrorHandheld, 3, 0, 1, 3);
    focusGrid->addWidget(caption("Deadband (+/- counts from target)"), 4, 0);
    focusGrid->addLayout(pair(txtDeadband, udDeadband), 4, 1);
    focusGrid->addWidget(caption("Deadband settling time (secs)"), 5, 0);
    focusGrid->addLayout(pair(txtDeadbandSettle, udDBSettle), 5, 1);
    focusGrid->addWidget(chkErrorComputer, 6, 0, 1, 3);
    focusGrid->addWidget(caption("Focuser step size (0.001\"):"), 7, 0);
    focusGrid->addWidget(txtStepSize, 7, 1);
    focusGrid->addWidget(cmdCalc, 7, 2);

    // Sec. Heater/Rotator
    auto *heaterRotator = new QWidget;
    auto *heater = new QGroupBox(QStringLiteral("Secondary heater PID coefficients"));
    auto *heaterGrid = new QGridLayout(heater);
    const Box heaterBoxes[] = {{"Proportionality", &txtSKp, "txtSKp"}, {"Derivative", &txtSKd, "txtSKd"},
                               {"Integral", &txtSKi, "txtSKi"},         {"Deriv. Interval", &txtSDI, "txtSDI"},
                               {"Integral Limit", &txtSecKi, "txtSecKi"}};
    row = 0;
    for (const Box &b : heaterBoxes) {
        *b.box = NewControl<QLineEdit>(this, b.name);
        heaterGrid->addWidget(caption(b.caption), row, 0);
        heaterGrid->addWidget(*b.box, row++, 1);
    }
    auto *rotator = new QGroupBox(QStringLiteral("Instrument Rotator"));
    chkEnableSlew = NewControl<QCheckBox>(this, "chkEnableSlew", QStringLiteral("Enable slew from FOV indicator"));
    chkZELLimit = NewControl<QCheckBox>(this, "chkZELLimit",
                                        QStringLiteral("Automatically reverse slew when wrap limit exceeded"));
    chkPromptTheSky = NewControl<QCheckBox>(this, "chkPromptTheSky",
                                            QStringLiteral("Prompt for TheSky induced ZEL rotation."));
    chkTeleEastWest = NewControl<QCheckBox>(this, "chkTeleEastWest", QStringLiteral("Check telescope East/West position"));
    auto *rotatorColumn = new QVBoxLayout(rotator);
    for (QWidget *w : {chkEnableSlew, chkZELLimit, chkPromptTheSky, chkTeleEastWest})
        rotatorColumn->addWidget(w);
    auto *fovi = new QGroupBox(QStringLiteral("TheSky Field of View Indicators"));
    cmdCheckTS = NewControl<QPushButton>(this, "cmdCheckTS", QStringLiteral("Update FOVI List from TheSky6"));
    Combo1 = NewControl<QComboBox>(this, "Combo1");
    Combo1->setPlaceholderText(QStringLiteral("Combo1")); // shown, never a choice
    auto *foviColumn = new QVBoxLayout(fovi);
    foviColumn->addWidget(cmdCheckTS);
    foviColumn->addWidget(Combo1);
    auto *heaterColumn = new QVBoxLayout(heaterRotator);
    heaterColumn->addWidget(heater);
    heaterColumn->addWidget(rotator);
    heaterColumn->addWidget(fovi);

    // Steppers
    auto *steppers = new QWidget;
    auto *stepperGrid = new QGridLayout(steppers);
    for (int k = 0; k < 4; ++k) {
        auto *frame = NewElement<QGroupBox>(this, "Frame10", k, QStringLiteral("Stepper %1").arg(k + 1));
        cmbStepperMode[k] = NewElement<QComboBox>(this, "cmbStepperMode", k);
        cmbStepperStepMode[k] = NewElement<QComboBox>(this, "cmbStepperStepMode", k);
        UpDown3[k] = NewElement<UpDown>(this, "UpDown3", k);
        UpDown3[k]->setRange(0, 90);
        lblStepCurrent[k] = NewElement<QLabel>(this, "lblStepCurrent", k);
        auto *grid = new QGridLayout(frame);
        grid->addWidget(caption("Function:"), 0, 0);
        grid->addWidget(cmbStepperMode[k], 0, 1);
        grid->addWidget(caption("Mode:"), 1, 0);
        grid->addWidget(cmbStepperStepMode[k], 1, 1);
        grid->addWidget(caption("Current:"), 2, 0);
        grid->addLayout(pair(lblStepCurrent[k], UpDown3[k]), 2, 1);
        stepperGrid->addWidget(frame, k / 2, k % 2);
    }

    SSTab1->addTab(general, QStringLiteral("General"));
    SSTab1->addTab(focus, QStringLiteral("Focus"));
    SSTab1->addTab(heaterRotator, QStringLiteral("&Sec. Heater/Rotator"));
    SSTab1->addTab(steppers, QStringLiteral("Steppers"));

    // Calibration
    auto *calTemp = NewControl<QGroupBox>(this, "frmCalTemp");
    txtRefTemp = NewControl<QLineEdit>(this, "txtRefTemp");
    for (int i = 3; i <= 5; ++i)
        lblTemp[i] = NewElement<QLabel>(this, "lblTemp", i);
    lblCalPoints = NewControl<QLabel>(this, "lblCalPoints", QStringLiteral("0"));
    cmdCalMark = NewControl<QPushButton>(this, "cmdCalMark", QStringLiteral("Mark"));
    cmdCalibrate = NewControl<QPushButton>(this, "cmdCalibrate", QStringLiteral("Calibrate"));
    cmdCalUpload = NewControl<QPushButton>(this, "cmdCalUpload", QStringLiteral("Upload"));
    auto *calGrid = new QGridLayout(calTemp);
    calGrid->addWidget(caption("Reference:"), 0, 0);
    calGrid->addWidget(txtRefTemp, 0, 1);
    const char *sensors[] = {"Ambient:", "Primary:", "Secondary:"};
    for (int s = 0; s < 3; ++s) {
        calGrid->addWidget(caption(sensors[s]), s + 1, 0);
        calGrid->addWidget(lblTemp[5 - s], s + 1, 1);
    }
    calGrid->addWidget(caption("Points Selected:"), 4, 0);
    calGrid->addWidget(lblCalPoints, 4, 1);
    calGrid->addLayout(ButtonRow({cmdCalMark, cmdCalibrate, cmdCalUpload}), 5, 0, 1, 2);

    auto *current = NewControl<QGroupBox>(this, "Frame1", QStringLiteral("Current Coefficients"));
    cmdRetrieveCoef = NewControl<QPushButton>(this, "cmdRetrieveCoef", QStringLiteral("Retrieve"));
    cmdSaveCoef = NewControl<QPushButton>(this, "cmdSaveCoef", QStringLiteral("Save to File"));
    auto *results = NewControl<QGroupBox>(this, "Frame2", QStringLiteral("Results"));
    cmdLoad = NewControl<QPushButton>(this, "cmdLoad", QStringLiteral("Load From File"));
    auto *currentGrid = new QGridLayout(current);
    auto *resultGrid = new QGridLayout(results);
    currentGrid->addWidget(caption("Slope"), 0, 1);
    currentGrid->addWidget(caption("Intercept"), 0, 2);
    resultGrid->addWidget(caption("Slope"), 0, 1);
    resultGrid->addWidget(caption("Intercept"), 0, 2);
    resultGrid->addWidget(caption("r^2"), 0, 3);
    for (int s = 0; s < 3; ++s) {
        lblSlope[s] = NewElement<QLabel>(this, "lblSlope", s);
        lblInt[s] = NewElement<QLabel>(this, "lblInt", s);
        lblCalScope[s] = NewElement<QLabel>(this, "lblCalScope", s);
        lblCalInt[s] = NewElement<QLabel>(this, "lblCalInt", s);
        lblR2[s] = NewElement<QLabel>(this, "lblR2", s);
        currentGrid->addWidget(caption(sensors[s]), s + 1, 0);
        currentGrid->addWidget(lblSlope[s], s + 1, 1);
        currentGrid->addWidget(lblInt[s], s + 1, 2);
        resultGrid->addWidget(caption(sensors[s]), s + 1, 0);
        resultGrid->addWidget(lblCalScope[s], s + 1, 1);
        resultGrid->addWidget(lblCalInt[s], s + 1, 2);
        resultGrid->addWidget(lblR2[s], s + 1, 3);
    }
    currentGrid->addLayout(ButtonRow({cmdRetrieveCoef, cmdSaveCoef}), 4, 0, 1, 3);
    resultGrid->addLayout(ButtonRow({cmdLoad}), 4, 0, 1, 4);

    cmdUploadVKM = NewControl<QPushButton>(this, "cmdUploadVKM", QStringLiteral("Upload Changes to VKM"));
    Command1 = NewControl<QPushButton>(this, "Command1", QStringLiteral("Download Values from VKM"));
    cmdSaveFile = NewControl<QPushButton>(this, "cmdSaveFile", QStringLiteral("Save to File"));
    cmdRetrieveFile = NewControl<QPushButton>(this, "cmdRetrieveFile", QStringLiteral("Retrieve from File"));
    cmdClose = NewControl<QPushButton>(this, "cmdClose", QStringLiteral("Close"));

    auto *calibration = new QHBoxLayout;
    calibration->addWidget(calTemp);
    calibration->addWidget(current);
    calibration->addWidget(results);
    auto *buttons = new QHBoxLayout;
    for (QWidget *b : {cmdUploadVKM, Command1, cmdSaveFile, cmdRetrieveFile, cmdClose})
        buttons->addWidget(b);
    lblNotRead = NewControl<QLabel>(this, "lblNotRead");
    lblNotRead->setWordWrap(true);
    lblNotRead->setMinimumHeight(2 * lblNotRead->fontMetrics().lineSpacing()); // two lines kept, shown or not
    auto *column = new QVBoxLayout(this);
    column->addWidget(SSTab1);
    column->addWidget(lblNotRead);
    column->addLayout(calibration);
    column->addLayout(buttons);
}
