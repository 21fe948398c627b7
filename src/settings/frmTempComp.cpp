#include "settings/frmTempComp.h"

#include "link/HandlerError.h"
#include "link/ModuleState.h"
#include "link/Serial.h"
#include "platform/ControlEvents.h"
#include "platform/Controls.h"
#include "platform/UpDown.h"
#include "platform/UserPrompts.h"
#include "platform/Vb.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>
#include <vector>

namespace {

const QString Title = QStringLiteral("VKM");

// The handlers ignore run-time failures and go on with their next step.
template <typename F>
void ignoring(F &&step)
{
    try {
        step();
    } catch (const std::exception &) {
    }
}

bool confirmed(const QString &question)
{
    return MsgBox(question, vbconst::vbOKCancel | vbconst::vbQuestion, Title) != vbconst::vbCancel;
}

// Keys that only move the focus or close the dialog do not change a spinner.
bool changesValue(const QEvent *event)
{
    if (event->type() != QEvent::KeyRelease)
        return true;
    switch (static_cast<const QKeyEvent *>(event)->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        return false;
    default:
        return true;
    }
}

} // namespace

frmTempComp::frmTempComp(LinkSource link, QWidget *parent) : OkCancelDialog(parent), m_link(std::move(link))
{
    setObjectName(QStringLiteral("frmTempComp"));
    setWindowTitle(QStringLiteral("Temperature Compensation"));

    Frame1 = NewControl<QGroupBox>(this, "Frame1");
    optC = NewControl<QRadioButton>(Frame1, "optC", QStringLiteral("(Counts/C)"));
    optF = NewControl<QRadioButton>(Frame1, "optF", QStringLiteral("(Counts/F)"));
    optF->setChecked(true);
    auto *units = new QVBoxLayout(Frame1);
    units->addWidget(optC);
    units->addWidget(optF);

    auto *modes = new QGroupBox(this);
    auto *modeColumn = new QVBoxLayout(modes);
    const char *modeCaptions[] = {"Off", "Automatic", "Manual"};
    for (int i = 0; i < 3; ++i) {
        optTempComp[i] = new QRadioButton(QString::fromLatin1(modeCaptions[i]), modes);
        optTempComp[i]->setObjectName(QStringLiteral("optTempComp_%1").arg(i));
        modeColumn->addWidget(optTempComp[i]);
    }

    UpDown2 = NewControl<UpDown>(this, "UpDown2");
    UpDown2->setRange(-1000, 1000);
    lblVKMoef = NewControl<QLabel>(this, "lblVKMoef", QStringLiteral("0"));
    UpDown1 = NewControl<UpDown>(this, "UpDown1");
    UpDown1->setRange(0, 100);
    lblTCMin = NewControl<QLabel>(this, "lblTCMin", QStringLiteral("0"));
    for (QSpinBox *spin : {UpDown1, UpDown2})
        spin->setKeyboardTracking(false);

    auto *grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Temp Comp Coefficient:")), 0, 0);
    grid->addWidget(UpDown2, 0, 1);
    grid->addWidget(lblVKMoef, 0, 2);
    grid->addWidget(Frame1, 0, 3, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Movement Threshold (counts):")), 1, 0);
    grid->addWidget(UpDown1, 1, 1);
    grid->addWidget(lblTCMin, 1, 2);
    grid->addWidget(modes, 2, 0, 1, 4);
    grid->addLayout(buttonRow(), 3, 0, 1, 4);

    Timer1.setInterval(2000);
    connect(&Timer1, &VbTimer::Tick, this, &frmTempComp::Timer1_Timer);
    connect(optC, &QRadioButton::toggled, this, &frmTempComp::showCoefficient);
    connect(UpDown2, &QSpinBox::valueChanged, this, &frmTempComp::showCoefficient);
    connect(UpDown1, &QSpinBox::valueChanged, this, &frmTempComp::UpDown1_Change);
    for (QSpinBox *spin : {UpDown1, UpDown2}) {
        OnControlEvent(spin, {QEvent::MouseButtonRelease, QEvent::KeyRelease, QEvent::Wheel}, [this](QEvent *e) {
            if (changesValue(e))
                ValuesChanged = true;
            return false;
        });
    }
    Form_Load();
}

frmTempComp::~frmTempComp()
{
    stopWaiting();
}

bool frmTempComp::showModal(LinkSource link, QWidget *parent)
{
    frmTempComp dialog(std::move(link), parent);
    return dialog.exec() == QDialog::Accepted;
}

void frmTempComp::Form_Load()
{
    ModuleState::Focuser &f = Module().focuser;
    if (f.TempCompMode < 0 || f.TempCompMode > 2)
        f.TempCompMode = 0;
    optTempComp[f.TempCompMode]->setChecked(true);
    transmit(QStringLiteral(" l "));
    if (f.TempCompCoefficientKnown) {
        showControllerValues();
    } else {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        m_waiting = true;
        Timer1.setEnabled(true);
    }
    ValuesChanged = false;
}

// The controller's values into the spinners: a coefficient beyond the spinner's range shows 0.
// The late look uses the same rules as the load, so nothing in range is clipped or dropped.
void frmTempComp::showControllerValues()
{
    const ModuleState::Focuser &f = Module().focuser;
    ignoring([&] {
        const float tenths = f.TempCompCoefficient * 10;
        UpDown2->setValue(std::abs(tenths) <= float(UpDown2->maximum()) ? vb::CLng(double(tenths)) : 0);
    });
    if (f.TempCompThreshold >= UpDown1->minimum() && f.TempCompThreshold <= UpDown1->maximum())
        UpDown1->setValue(f.TempCompThreshold);
    m_foundCoefficient = UpDown2->value();
    m_foundThreshold = UpDown1->value();
}

void frmTempComp::Timer1_Timer()
{
    Timer1.setEnabled(false);
    stopWaiting();
    if (Module().focuser.TempCompCoefficientKnown)
        showControllerValues();
    else
        MsgBox(QStringLiteral("Failed to recieve Temperature Compensation Coefficient from VKM."),
               vbconst::vbExclamation, Title);
}

// Per degree Fahrenheit as held; per degree Celsius the same coefficient times 1.8.
void frmTempComp::showCoefficient()
{
    ignoring([this] {
        const double perF = UpDown2->value() / 10.0;
        lblVKMoef->setText(optF->isChecked() ? vb::Format(perF, QStringLiteral("0.0"))
                                             : vb::Format(perF * 1.8, QStringLiteral("0.00")));
    });
}

void frmTempComp::UpDown1_Change()
{
    lblTCMin->setText(QString::number(UpDown1->value()));
}

// The whole number " =" sends for the shown coefficient: nothing when the controller would
// hold another value than the one shown (no sensor scale yet, or one that rounds it away).
std::optional<int32_t> frmTempComp::coefficientCounts() const
{
    const float slope = Module().focuser.TempCompSlope;
    const double counts = double(slope) * UpDown2->value() * 100;
    if (slope == 0 || !(std::abs(counts) < 2147483647.0))
        return std::nullopt;
    const int32_t sent = vb::CLng(counts);
    if (vb::CLng(sent / double(slope) / 100) != UpDown2->value())
        return std::nullopt;
    return sent;
}

// Sends what the operator changed and then the mode; each command must leave before the next,
// and the values are recorded only when everything went.
void frmTempComp::cmdOK_Click()
{
    ModuleState::Focuser &f = Module().focuser;
    const int16_t mode = optTempComp[0]->isChecked() ? 0 : optTempComp[1]->isChecked() ? 1 : 2;
    const bool coefficientChanged = UpDown2->value() != m_foundCoefficient;
    const bool thresholdChanged = UpDown1->value() != m_foundThreshold;
    const std::optional<int32_t> counts = coefficientCounts();
    if (coefficientChanged && !counts) {
        MsgBox(QStringLiteral("The coefficient %1 can not be sent as shown: the VKM would not hold it (sensor scale %2). "
                              "Nothing was sent.")
                   .arg(lblVKMoef->text(), vb::CStr(f.TempCompSlope)),
               vbconst::vbExclamation, Title);
        return;
    }
    const std::shared_ptr<Serial> link = m_link ? m_link() : nullptr;
    if (!LinkTakesValues(link.get()))
        return;
    if (ValuesChanged && !confirmed(QStringLiteral("Upload changes to VKM?")))
        return;
    std::vector<std::pair<QString, QString>> steps; // what, command
    if (coefficientChanged)
        steps.emplace_back(QStringLiteral("the coefficient"), QStringLiteral(" =%1 ").arg(*counts));
    if (thresholdChanged)
        steps.emplace_back(QStringLiteral("the threshold"), QStringLiteral(" F%1 ").arg(UpDown1->value()));
    steps.emplace_back(QStringLiteral("the mode"), QStringLiteral(" +%1 ").arg(mode));
    QStringList went;
    for (const auto &[what, command] : steps) {
        // The link is fetched anew: a box above may have served a close.
        const std::shared_ptr<Serial> now = m_link ? m_link() : nullptr;
        if (!now || now->Transmit(command) != Serial::SendResult::Sent) {
            // A closed port or an upload before anything went has its own box.
            if (!went.isEmpty() || LinkTakesValues(now.get()))
                MsgBox(QStringLiteral("Error:  %1 did not reach the VKM; %2 did.")
                           .arg(what, went.isEmpty() ? QStringLiteral("nothing") : QStringLiteral("only ") + went.join(QStringLiteral(" and "))),
                       vbconst::vbExclamation, Title);
            return;
        }
        went << what;
    }
    if (coefficientChanged)
        f.TempCompCoefficient = float(UpDown2->value() / 10.0);
    if (thresholdChanged)
        f.TempCompThreshold = UpDown1->value();
    f.TempCompMode = mode;
    accept();
}

void frmTempComp::cmdCancel_Click()
{
    if (ValuesChanged && !confirmed(QStringLiteral("Discard changes?")))
        return;
    QDialog::reject();
}

void frmTempComp::transmit(const QString &command)
{
    ignoring([&] {
        if (const std::shared_ptr<Serial> link = m_link ? m_link() : nullptr)
            link->Transmit(command);
    });
}

void frmTempComp::stopWaiting()
{
    if (m_waiting)
        QGuiApplication::restoreOverrideCursor();
    m_waiting = false;
}
