#include "drivers/frmDialog.h"

#include "link/ModuleState.h"
#include "platform/Controls.h"
#include "platform/UserPrompts.h"
#include "platform/Vb.h"
#include "platform/VbError.h"
#include "settings/DecimalKeyFilter.h"
#include "settings/OptionRows.h"
#include "settings/frmCalculateStepSize.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <optional>

namespace {

// A step count typed into a box: numeric, at least `least` and, rounded, a 16-bit setting.
std::optional<int16_t> stepCount(const QString &text, double least)
{
    try {
        if (!vb::IsNumeric(text))
            return std::nullopt;
        const double value = vb::CDbl(text);
        if (value < least)
            return std::nullopt;
        return vb::CInt(value);
    } catch (const VbError &) {
        return std::nullopt; // beyond 32767
    }
}

} // namespace

frmDialog::frmDialog(QWidget *parent)
    : DriverSetupDialog(QStringLiteral("frmDialog"), QStringLiteral("Setup ORVA VKM Focuser"),
                        QStringLiteral("ORVA VKM Focus Control 1.0"), parent)
{
    Label4 = NewControl<QLabel>(this, "Label4", QStringLiteral("Focuser step size (0.001\")"));
    txtStepSize = NewControl<QLineEdit>(this, "txtStepSize");
    cmdCalc = NewControl<QPushButton>(this, "cmdCalc", QStringLiteral("Calculate"));
    auto *stepRow = new QHBoxLayout;
    stepRow->addWidget(Label4);
    stepRow->addWidget(txtStepSize);
    stepRow->addWidget(cmdCalc);
    body()->addLayout(stepRow);

    Frame1 = NewControl<QGroupBox>(this, "Frame1");
    Label5 = NewControl<QLabel>(Frame1, "Label5", QStringLiteral("CCDSoft @Focus:"));
    Label6 = NewControl<QLabel>(Frame1, "Label6", QStringLiteral("Small Step Size:"));
    txtSmallStepSize = NewControl<QLineEdit>(Frame1, "txtSmallStepSize");
    Label7 = NewControl<QLabel>(Frame1, "Label7", QStringLiteral("Large Step Size:"));
    txtLargeStepSize = NewControl<QLineEdit>(Frame1, "txtLargeStepSize");
    auto *frame = new QGridLayout(Frame1);
    frame->addWidget(Label5, 0, 0, 1, 2);
    frame->addWidget(Label6, 1, 0);
    frame->addWidget(txtSmallStepSize, 1, 1);
    frame->addWidget(Label7, 2, 0);
    frame->addWidget(txtLargeStepSize, 2, 1);
    body()->addWidget(Frame1);

    DecimalKeyFilter::install(txtStepSize);
    connect(cmdCalc, &QPushButton::clicked, this, &frmDialog::cmdCalc_Click);

    ModuleState::Settings &s = Module().settings;
    openKeyAndReadLinkSettings();
    readSetting(QStringLiteral("StepSize"), REG_SZ, QStringLiteral("0.25"), s.StepSize);
    readSetting(QStringLiteral("LargeStepSize"), REG_DWORD, 80, s.LargeStepSize);
    readSetting(QStringLiteral("SmallStepSize"), REG_DWORD, 5, s.SmallStepSize);
    showLinkSettings();
    txtStepSize->setText(vb::CStr(s.StepSize));
    txtLargeStepSize->setText(vb::CStr(int32_t(s.LargeStepSize)));
    txtSmallStepSize->setText(vb::CStr(int32_t(s.SmallStepSize)));
}

void frmDialog::cmdOK_Click()
{
    // Every field is checked before anything is taken over: a refusal changes nothing.
    const std::optional<float> stepSize = OptionRows::stepSize(txtStepSize->text());
    if (!stepSize) {
        MsgBox(QStringLiteral("Illegal value for StepSize"), vbconst::vbOKOnly);
        return;
    }
    const std::optional<int16_t> small = stepCount(txtSmallStepSize->text(), 1);
    if (!small) {
        MsgBox(QStringLiteral("Illegal value for SmallStepSize"), vbconst::vbOKOnly);
        return;
    }
    const std::optional<int16_t> large = stepCount(txtLargeStepSize->text(), *small);
    if (!large) {
        MsgBox(QStringLiteral("Illegal value for LargeStepSize"), vbconst::vbOKOnly);
        return;
    }
    // Each value is taken into use once it is on the disk.
    ModuleState::Settings &s = Module().settings;
    SettingsWrite write(key());
    if (!storeLinkSettings(write))
        return;
    if (store(write, QStringLiteral("StepSize"), REG_SZ, vb::CStr(*stepSize)))
        s.StepSize = *stepSize;
    if (store(write, QStringLiteral("LargeStepSize"), REG_DWORD, *large))
        s.LargeStepSize = *large;
    if (store(write, QStringLiteral("SmallStepSize"), REG_DWORD, *small))
        s.SmallStepSize = *small;
    if (allSaved(write))
        accept();
}

// The calculator's value goes into the box only, to be taken over with OK.
void frmDialog::cmdCalc_Click()
{
    if (const std::optional<float> size = frmCalculateStepSize::showModal(this))
        txtStepSize->setText(vb::CStr(*size));
}

void frmDialog::showModal()
{
    showFresh<frmDialog>();
}
