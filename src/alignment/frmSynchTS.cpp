#include "alignment/frmSynchTS.h"

#include "link/ControlWindowHooks.h"
#include "alignment/TheSkyAutomation.h"
#include "alignment/PierSide.h"
#include "link/ModuleState.h"
#include "link/RotatorStatus.h"
#include "link/OperatorSend.h"
#include "link/RotatorSteps.h"
#include "platform/Controls.h"
#include "platform/UserPrompts.h"
#include "platform/Vb.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace {

// TheSky's indicator to `steps` of the rotator, and the chart redrawn.
void TurnTheSkyTo(int32_t steps)
{
    TheSkyAutomation::SetCameraAngle(double(steps) / RotatorStepsPerDegree);
    TheSkyAutomation::RefreshChart();
}

} // namespace

frmSynchTS::frmSynchTS(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSynchTS"));
    setWindowTitle(QStringLiteral("Synchronise ZEL and TheSky"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setModal(true);
    cmdZELtoTS = NewControl<QPushButton>(this, "cmdZELtoTS",
                                         QStringLiteral("Synchronize the ZEL position to TheSky north angle."));
    cmdTStoZEL = NewControl<QPushButton>(this, "cmdTStoZEL", QStringLiteral("Set TheSky to the current ZEL position."));
    cmdSetOffset = NewControl<QPushButton>(
        this, "cmdSetOffset", QStringLiteral("Synchronize later.  Retain current offset between ZEL and TheSky angles."));
    auto *layout = new QVBoxLayout(this);
    for (QPushButton *button : {cmdZELtoTS, cmdTStoZEL, cmdSetOffset})
        layout->addWidget(button);
    connect(cmdZELtoTS, &QPushButton::clicked, this, &frmSynchTS::cmdZELtoTS_Click);
    connect(cmdTStoZEL, &QPushButton::clicked, this, &frmSynchTS::cmdTStoZEL_Click);
    connect(cmdSetOffset, &QPushButton::clicked, this, &frmSynchTS::cmdSetOffset_Click);
}

void frmSynchTS::ask(QWidget *parent)
{
    frmSynchTS window(parent);
    window.exec();
}

void frmSynchTS::attempt(const std::function<bool()> &work)
{
    try {
        if (work())
            accept();
    } catch (const VbError &e) {
        MsgBox(e.description(), vbconst::vbExclamation, QStringLiteral("VKM ERROR OCCURED"));
    }
}

// Each button checks the link and the driver key before its first step and records last: a
// refusal leaves the counter, TheSky, ZELOffset and the registry as they were.
void frmSynchTS::cmdZELtoTS_Click()
{
    attempt([] {
        ModuleState &m = Module();
        if (!OperatorSend::Ready(&ControlWindowLink()))
            return false;
        ZELSynchRecord record;
        const double angle = TheSkyAutomation::CameraAngle();
        if (!SendThroughControlWindow(QStringLiteral("p") + vb::CStr(vb::Int(angle * RotatorStepsPerDegree))
                                      + QLatin1Char(' ')))
            return false;
        record.record(m.settings.CheckTelescope ? m.thesky.PierSide : int16_t(0));
        m.thesky.ZELOffset = 0;
        return true;
    });
}

// The rotator's angle shown stands for the controller's only while the link takes commands.
void frmSynchTS::cmdSetOffset_Click()
{
    attempt([] {
        if (!OperatorSend::Ready(&ControlWindowLink()))
            return false;
        const double angle = TheSkyAutomation::CameraAngle();
        const QString caption = ControlWindows().Main ? ControlWindows().Main->RotatorCaption() : QString();
        const float rotator = vb::CSng(caption);
        Module().thesky.ZELOffset = vb::CSng(angle - rotator);
        return true;
    });
}

void frmSynchTS::cmdTStoZEL_Click()
{
    attempt([this] {
        ModuleState &m = Module();
        if (!OperatorSend::Ready(&ControlWindowLink()))
            return false;
        // The target as the controller reports it now, not as a window last showed it.
        const std::optional<int32_t> reported = RotatorStatus::Value(ControlWindowLink(), u":rs", true);
        if (!reported) {
            MsgBox(QStringLiteral("No response from rotator"), vbconst::vbExclamation, QStringLiteral("VKM"));
            return false;
        }
        const int32_t set = *reported;
        const bool watched = m.settings.CheckTelescope && RotatorPositionRecorded(ControlWindowLink()).value_or(false);
        const int16_t synched = m.settings.ZELSynchedToTelescope;
        if (watched && (synched == 0 || synched == m.thesky.PierSide)) {
            TurnTheSkyTo(set);
            HoldOffFollow();
            return true;
        }
        ZELSynchRecord record;
        if (!watched) {
            TurnTheSkyTo(set);
            HoldOffFollow();
            record.record(0);
            return true;
        }
        // Synchronised on the other side of the pier: the counter is half a turn off, unless an
        // earlier press relabelled it and the controller still reports that counter.
        const bool relabelled = m_relabelled && (set - *m_relabelled) % RotatorStepsPerTurn == 0;
        const int32_t n = relabelled ? *m_relabelled : OtherPierSidePosition(set);
        if (!relabelled && !SendThroughControlWindow(QStringLiteral("p") + vb::CStr(n) + QLatin1Char(' ')))
            return false;
        m_relabelled = n;
        try {
            TurnTheSkyTo(n);
        } catch (const VbError &e) {
            ReportRelabelledOnly(QStringLiteral("Error:  TheSky did not take the camera angle: %1.").arg(e.description()), n);
            return false;
        }
        m_relabelled.reset();
        HoldOffFollow();
        record.record(m.thesky.PierSide);
        return true;
    });
}
