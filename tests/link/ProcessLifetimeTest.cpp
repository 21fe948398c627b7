#include "link/ModuleState.h"
#include "link/Serial.h"
#include "link/connector.h"
#include "platform/DataFolder.h"
#include "platform/SystemTimer.h"
#include "platform/VbFiles.h"

#include "support/ControllerSimulator.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <cstdio>
#include <gtest/gtest.h>

// Each case ends its process, so it runs in a child: the death-test machinery checks the
// exit code and what the child printed before it ended.
class ProcessLifetime : public ::testing::Test
{
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(ProcessLifetime, OnlyTheLastHolderEndsTheProcessWithCodeZero)
{
    EXPECT_EXIT(
        {
            Main();
            auto focuser = std::make_unique<connector>();
            auto rotator = std::make_unique<connector>();
            auto window = std::make_unique<connector>();
            if (focuser->Class() != window->Class() || !focuser->Class())
                std::_Exit(3);
            focuser.reset();
            rotator.reset();
            std::fprintf(stderr, "alive with %d holder\n", Module().link.ClientCount);
            window.reset();
            std::_Exit(4);
        },
        ::testing::ExitedWithCode(0), "alive with 1 holder");
}

TEST_F(ProcessLifetime, TheEndClosesTheDataLogAndKillsItsTimer)
{
    const QString log = DataFolder::file(QStringLiteral("lifetime-test.csv"));
    QFile::remove(log);
    EXPECT_EXIT(
        {
            auto holder = std::make_unique<connector>();
            ModuleState &m = Module();
            m.tools.LogFileNumber = VbFiles::FreeFile();
            VbFiles::Open(m.tools.LogFileNumber, log, VbFiles::Mode::Output);
            VbFiles::Print(m.tools.LogFileNumber, QStringLiteral("Time,Ambient\r\n12:00:00,68.12\r\n"));
            m.tools.LogTimerId = int32_t(SystemTimer::SetTimer(1000, [] {}));
            holder.reset();
            std::_Exit(4);
        },
        ::testing::ExitedWithCode(0), "");
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("Time,Ambient\r\n12:00:00,68.12\r\n"));
}

TEST(StartRoutine, StartedByHandTheProgramStaysWithoutAWindowOrAnOpenPort)
{
    ControllerSimulator sim;
    QProcess vkm;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("VKM_COM1"), sim.devicePath());
    // Off the bus: tests running beside this one must not reach this program by its names.
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/vkm-test-no-bus"));
    vkm.setProcessEnvironment(env);
    vkm.start(QStringLiteral(VKM_EXECUTABLE), {});
    ASSERT_TRUE(vkm.waitForStarted(5000));
    EXPECT_FALSE(vkm.waitForFinished(700)) << "vkm ended by itself";
    EXPECT_EQ(vkm.state(), QProcess::Running);
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(vkm.processId()));
    for (const QFileInfo &fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot))
        EXPECT_NE(fd.symLinkTarget(), sim.devicePath());
    EXPECT_TRUE(sim.received().isEmpty());
    vkm.kill();
    vkm.waitForFinished(5000);
}
