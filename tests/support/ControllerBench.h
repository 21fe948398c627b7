#pragma once

#include "link/ModuleState.h"
#include "link/Serial.h"
#include "link/connector.h"
#include "platform/ClockTimer.h"
#include "platform/RegistryStore.h"
#include "platform/Wait.h"
#include "support/ControllerSimulator.h"
#include "support/TestClock.h"

#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <gtest/gtest.h>

// A fixture for tests against the simulated controller on port 1: a fresh registry file,
// fresh shared state, and one link holder that lives as long as the test program, so that
// releasing the objects under test never ends it. The shared port is closed before the
// simulator goes. Time is test time (a test that talks to another process drops `clock`).
class ControllerBench : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.isOpen()) << qPrintable(sim.errorString());
        qputenv("VKM_COM1", sim.devicePath().toLocal8Bit());
        qputenv("VKM_REGISTRY", registryDir.filePath(QStringLiteral("registry.reg")).toLocal8Bit());
        RegistryStore::resetForTests();
        ModuleState &m = Module();
        auto serial = m.link.SharedSerial;
        const int16_t holders = m.link.ClientCount;
        m = ModuleState();
        m.link.SharedSerial = serial;
        m.link.ClientCount = holders;
        static const connector *const keepAlive = new connector();
        (void)keepAlive;
    }

    void TearDown() override
    {
        if (auto serial = Module().link.SharedSerial)
            serial->setConnected(false);
    }

    std::shared_ptr<Serial> sharedLink() const { return Module().link.SharedSerial; }

    // The controller reports `text` and every holder's parser has had it.
    void report(const QByteArray &text)
    {
        sim.sendRaw(text);
        ASSERT_TRUE(Wait::Until(2000, [&] { return !sim.hasPendingOutput(); }));
        Wait::For(30);
    }

    // Everything the controller has received through the shared link, once a marker sent
    // after it has arrived.
    QString sent()
    {
        const QString marker = QStringLiteral("zz ");
        sharedLink()->Transmit(marker);
        EXPECT_TRUE(sim.waitForReceived(marker, 2000));
        QString all = sim.received();
        sim.clearReceived();
        return all.left(all.size() - marker.size());
    }

    // What went out for `call` while the controller answers `query` 300 ms late and
    // `meanwhile` happens 100 ms into the wait, once the late answer has come.
    QString sentAround(char query, const std::function<void()> &meanwhile, const std::function<void()> &call)
    {
        sim.setAnswer(QLatin1Char(query), {300, {}});
        ClockTimer inside;
        inside.setSingleShot(true);
        QObject::connect(&inside, &ClockTimer::timeout, meanwhile);
        inside.start(100);
        call();
        Wait::For(400);
        sim.setAnswer(QLatin1Char(query), {});
        return sent();
    }

    // The call fails with exactly this automation error.
    static void expectRefusal(const std::function<void()> &call, int32_t number, const char *text,
                              const char *source)
    {
        try {
            call();
            ADD_FAILURE() << "no refusal: " << text;
        } catch (const VbError &e) {
            EXPECT_EQ(e.number(), number) << text;
            EXPECT_EQ(e.description(), QString::fromLatin1(text));
            EXPECT_EQ(e.source(), QString::fromLatin1(source)) << text;
        }
    }

    ControllerSimulator sim;
    QTemporaryDir registryDir;
    std::unique_ptr<TestClock> clock = std::make_unique<TestClock>();
};
