#pragma once

#include "AlignmentBench.h"
#include "alignment/frmZELUtilities.h"
#include "link/ReplyState.h"
#include "link/Serial.h"
#include "platform/ClockTimer.h"
#include "platform/Vb.h"
#include "support/FakeImaging.h"

#include <QListWidget>
#include <QTemporaryDir>
#include <memory>

// The alignment tools window over the simulated controller and the fake outside programs.
// The main window's rotator reports are kept by a stand-in of its parser, and its poll is
// held as by the options window, so a run asks " R " itself.
class UtilitiesBench : public AlignmentBench
{
protected:
    void SetUp() override
    {
        AlignmentBench::SetUp();
        qputenv("VKM_HOME", dataDir.path().toLocal8Bit());
        imaging = FakeImaging::Install(sky);
        main.serial = sharedLink();
        sharedLink()->subscribe(&parserHolder, [this](const QString &chunk) { parser.Handle_Received(chunk); });
        ModuleState &m = Module();
        m.link.SettingsWindowOpen = true;
        m.settings.ZELLimit = 540;
        sim.setRotatorSpeed(100000);
    }

    void TearDown() override
    {
        window.reset();
        sharedLink()->unsubscribe(&parserHolder);
        FakeImaging::Uninstall();
        AlignmentBench::TearDown();
    }

    // Settings in the key, then the window loaded from them.
    void open(std::initializer_list<std::pair<const char *, QVariant>> settings = {})
    {
        for (const auto &[name, value] : settings)
            DriverKey::store(QString::fromLatin1(name), value.typeId() == QMetaType::QString ? REG_SZ : REG_DWORD,
                             value);
        window = std::make_unique<frmZELUtilities>();
        window->BacklashWaitMs = 10;
    }

    QStringList log() const
    {
        QStringList lines;
        for (int i = 0; i < window->lstStatus->count(); ++i)
            lines << window->lstStatus->item(i)->text();
        return lines;
    }

    // Every " R " answered `lateMs` late with the rotator as it stood when asked, turning `stepsPer10ms`.
    void answerRotatorQueriesLate(int lateMs, int stepsPer10ms)
    {
        sim.setSilent(true);
        sim.setRotatorSpeed(stepsPer10ms);
        QObject::connect(&sim, &ControllerSimulator::commandReceived, &parserHolder, [this, lateMs](const QString &command) {
            if (command != u"R")
                return;
            const QByteArray burst = QString::asprintf(":wr %d :rs %d :rt %d ", sim.rotatorWrap(), sim.rotatorTarget(),
                                                       sim.rotatorPosition()).toLatin1();
            auto *answer = new ClockTimer(&parserHolder);
            answer->setSingleShot(true);
            QObject::connect(answer, &ClockTimer::timeout, answer, [this, answer, burst] { sim.sendRaw(burst); answer->deleteLater(); });
            answer->start(lateMs);
        });
    }

    // The commands the controller received, without the run's own rotator queries.
    QString commands() { return sent().remove(QStringLiteral(" R ")); }

    QTemporaryDir dataDir;
    std::shared_ptr<FakeImaging> imaging;
    std::unique_ptr<frmZELUtilities> window;
    QObject parserHolder;
    // The main window's parser as far as the rotator goes.
    ReplyState parser{[](QStringView code, QStringView value) {
        ModuleState::Rotator &r = Module().rotator;
        const int32_t v = vb::CLng(vb::Val(value.toString()));
        if (code == u":rs") {
            r.RotatorSetPosition = v;
        } else if (code == u":rt") {
            r.RotatorPosition = v;
            r.RotatorMoving = r.RotatorPosition != r.RotatorSetPosition;
        }
    }};
};
