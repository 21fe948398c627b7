#pragma once

#include "link/ControlWindowHooks.h"
#include "alignment/TheSkyAutomation.h"
#include "support/ControllerBench.h"
#include "support/DriverKey.h"
#include "support/FakeControlWindows.h"
#include "support/FakeTheSky.h"
#include "support/RecordingPrompts.h"
#include "QStringPrinter.h"

#include <QList>
#include <utility>

// The simulated controller on the main window's link, the fake planetarium program with a
// camera indicator "Camera", its objects created, and the control windows' hooks recorded.
class AlignmentBench : public ControllerBench
{
protected:
    void SetUp() override
    {
        ControllerBench::SetUp();
        sharedLink()->setPort(1);
        sharedLink()->setConnected(true);
        ASSERT_TRUE(sharedLink()->Connected());
        DriverKey::store(QStringLiteral("Detector"), REG_SZ, QStringLiteral("Camera"));
        ModuleState &m = Module();
        m.link.MainFormOpen = true;
        m.settings.Detector = QStringLiteral("Camera");
        sky = FakeTheSky::Install();
        sky->fovis[QStringLiteral("Camera")] = FakeTheSky::Fovi();
        ASSERT_TRUE(TheSkyAutomation::CreateChartObjects());
        ASSERT_TRUE(TheSkyAutomation::CreateTelescopeObject());
        sky->journal.clear();
    }

    void TearDown() override
    {
        TheSkyAutomation::ReleaseObjects();
        FakeTheSky::Uninstall();
        ControllerBench::TearDown();
    }

    std::shared_ptr<FakeTheSky> sky;
    RecordingPrompts prompts;
    FakeMainWindow main;
    FakeConsole console;
};
