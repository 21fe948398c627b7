#include "settings/frmCalculateStepSize.h"

#include "link/ModuleState.h"
#include "platform/Controls.h"
#include "platform/UserPrompts.h"
#include "platform/Vb.h"
#include "platform/VbError.h"
#include "settings/DecimalKeyFilter.h"
#include "settings/OptionRows.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>

namespace {

constexpr double InchesPerUnitPower = 0.025; // step size at magnification 0

} // namespace

frmCalculateStepSize::frmCalculateStepSize(QWidget *parent) : OkCancelDialog(parent)
{
    setObjectName(QStringLiteral("frmCalculateStepSize"));
    setWindowTitle(QStringLiteral("Calculate Step Size"));
    Label1 = NewControl<QLabel>(this, "Label1", QStringLiteral("Secondary magnification"));
    txtMag = NewControl<QLineEdit>(this, "txtMag");
    Label2 = NewControl<QLabel>(this, "Label2", QStringLiteral("Step Size (0.001\")"));
    lblStepSize = NewControl<QLabel>(this, "lblStepSize");
    cmdOK->setDefault(true);

    auto *grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(txtMag, 0, 1);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(lblStepSize, 1, 1);
    grid->addLayout(buttonRow(), 2, 0, 1, 2);

    DecimalKeyFilter::install(txtMag);
    connect(txtMag, &QLineEdit::textChanged, this, &frmCalculateStepSize::txtMag_Change);
    Form_Load();
}

void frmCalculateStepSize::Form_Load()
{
    const float stepSize = Module().settings.StepSize;
    const double ratio = double(stepSize) / InchesPerUnitPower - 1;
    const double magnification = ratio >= 0 ? std::sqrt(ratio) : 0;
    try {
        txtMag->setText(vb::Format(magnification, QStringLiteral("0.000")));
        // Opens on the stored value itself, not the one recomputed from the rounded magnification.
        lblStepSize->setText(vb::Format(stepSize, QStringLiteral("0.000")));
    } catch (const VbError &) {
    }
}

// A magnification that is no number (empty, a lone point, pasted text) gives no step size.
void frmCalculateStepSize::txtMag_Change()
{
    lblStepSize->clear();
    const std::optional<double> m = vb::StrictNumber(txtMag->text());
    try {
        if (m)
            lblStepSize->setText(vb::Format((*m * *m + 1) * InchesPerUnitPower, QStringLiteral("0.000")));
    } catch (const VbError &) {
    }
}

void frmCalculateStepSize::cmdOK_Click()
{
    const std::optional<float> size = OptionRows::stepSize(lblStepSize->text());
    if (!size) {
        MsgBox(QStringLiteral("Illegal value for magnification"), vbconst::vbOKOnly);
        return;
    }
    m_chosen = size;
    accept();
}

std::optional<float> frmCalculateStepSize::showModal(QWidget *parent)
{
    frmCalculateStepSize dialog(parent);
    dialog.exec();
    return dialog.chosen();
}
