// Test main: a headless application, and a private data folder and registry file per test
// program so that no test touches the user's own files. The program works in that folder too,
// so a file a test names without a folder never lands where the suite was started. Children
// that a test re-executes (death tests) inherit the same folder through VKM_TEST_HOME.
#include "platform/GuardedApplication.h"
#include "support/EscapedErrors.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QTemporaryDir> home;
    QString homePath = qEnvironmentVariable("VKM_TEST_HOME");
    if (homePath.isEmpty()) {
        home = std::make_unique<QTemporaryDir>();
        homePath = home->path();
        qputenv("VKM_TEST_HOME", homePath.toLocal8Bit());
    }
    if (!QDir::setCurrent(homePath))
        qFatal("Cannot work in the test folder %s", qPrintable(homePath));
    qputenv("VKM_HOME", homePath.toLocal8Bit());
    qputenv("VKM_REGISTRY", (homePath + QStringLiteral("/registry.reg")).toLocal8Bit());
    GuardedApplication app(argc, argv);
    FailTestsOnEscapedErrors();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
