#pragma once

#include "link/Serial.h"
#include "support/ControllerSimulator.h"

#include <gtest/gtest.h>

// Everything the simulator received since the last call, once a marker sent through `link`
// has arrived behind it; the record is cleared for the next call.
inline QString SentText(Serial &link, ControllerSimulator &sim)
{
    link.Transmit(QStringLiteral("MARK "));
    EXPECT_TRUE(sim.waitForReceived(QStringLiteral("MARK "), 2000));
    QString text = sim.received();
    text.chop(5);
    sim.clearReceived();
    return text;
}
