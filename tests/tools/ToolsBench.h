#pragma once

#include "link/Serial.h"
#include "support/ControllerBench.h"
#include "support/RecordingPrompts.h"

// The simulated controller on the shared link, opened, and every box recorded.
class ToolsBench : public ControllerBench
{
protected:
    void SetUp() override
    {
        ControllerBench::SetUp();
        sim.setSilent(true);
        sharedLink()->setPort(1);
        sharedLink()->setConnected(true);
        ASSERT_TRUE(sharedLink()->Connected());
    }

    RecordingPrompts prompts;
};
