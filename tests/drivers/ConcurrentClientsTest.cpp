// Several outside clients at once, as imaging programs poll focuser, rotator and
// temperatures together while the operator has the main window open.
#include "support/ControllerSimulator.h"
#include "support/PollingClients.h"

#include <gtest/gtest.h>

TEST(ConcurrentClients, FourClientsLinkAtOnceAndEveryPollGetsItsOwnReport)
{
    ControllerSimulator sim;
    ASSERT_TRUE(sim.isOpen());
    sim.setFocuserPosition(2500);
    PollingClients clients(sim, QStringLiteral(VKM_EXECUTABLE));
    ASSERT_TRUE(clients.startError().isEmpty()) << qPrintable(clients.startError());

    const PollingClients::Result result = clients.run(800, 100);

    EXPECT_TRUE(result.failures.isEmpty()) << qPrintable(result.failures.join(QLatin1Char('\n')));
    // Four clients at 10 Hz for the time after linking.
    EXPECT_GE(result.callMs.size(), 12u);
    // Below the shortest wait limit of these getters (250 ms): no call gave up on its report
    // or was held up by another client's wait.
    EXPECT_LT(PollingClients::percentile(result.callMs, 1.0), 250.0);
}
