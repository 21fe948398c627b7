#include "link/AutomationRegistration.h"
#include "link/DriverSettings.h"
#include "link/ModuleState.h"
#include "support/DiskFullAt.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

const QString FocuserClsid = QStringLiteral("{6E1D3F5A-2B7C-4F0E-9A41-0C5B8D2E7F11}");
const QString RotatorClsid = QStringLiteral("{6E1D3F5A-2B7C-4F0E-9A41-0C5B8D2E7F12}");

class DriverSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        savedRegistry = qgetenv("VKM_REGISTRY");
        qputenv("VKM_REGISTRY", dir.filePath(QStringLiteral("registry.reg")).toLocal8Bit());
        RegistryStore::resetForTests();
        Module().settings = {};
        Module().link.PortNumber = 0;
        Module().link.ControlConsole = 0;
    }

    void TearDown() override
    {
        for (HKEY key : openKeys)
            RegCloseKey(key);
        qputenv("VKM_REGISTRY", savedRegistry);
        RegistryStore::resetForTests();
    }

    HKEY open(HKEY root, const QString &subKey)
    {
        HKEY key = 0;
        EXPECT_EQ(RegCreateKeyEx(root, subKey, QString(), 0, SettingsKeyAccess, &key, nullptr), ERROR_SUCCESS);
        openKeys.append(key);
        return key;
    }

    HKEY driverKey() { return open(HKEY_LOCAL_MACHINE, DriverKeyPath); }

    // The value as stored: its type and bytes, or type 0 and "missing".
    static std::pair<DWORD, QByteArray> stored(HKEY key, const QString &name)
    {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueEx(key, name, &type, nullptr, &size) != ERROR_SUCCESS)
            return {0, "missing"};
        QByteArray data(size, '\0');
        RegQueryValueEx(key, name, nullptr, data.data(), &size);
        return {type, data};
    }

    static QVariant query(HKEY key, const QString &name)
    {
        QVariant value;
        EXPECT_EQ(QueryRegistryValue(key, name, value), ERROR_SUCCESS) << name.toStdString();
        return value;
    }

    QTemporaryDir dir;
    QByteArray savedRegistry;
    QList<HKEY> openKeys;
};

QByteArray sz(const char *text)
{
    return QByteArray(text) + '\0';
}

QByteArray dword(uint32_t n)
{
    return QByteArray(reinterpret_cast<const char *>(&n), 4);
}

TEST_F(DriverSettingsTest, SetAndQueryConvertEachType)
{
    struct Case
    {
        int32_t type;
        QVariant value;
        QByteArray bytes;
        QVariant readBack;
    };
    const QList<Case> cases = {
        {REG_SZ, QStringLiteral("ORVA VKM"), sz("ORVA VKM"), QStringLiteral("ORVA VKM")},
        {REG_SZ, QStringLiteral("caf\u00e9"), sz("caf\xe9"), QStringLiteral("caf\u00e9")},
        {REG_SZ, 540, sz("540"), QStringLiteral("540")},
        {REG_SZ, 0.25f, sz("0.25"), QStringLiteral("0.25")},
        {REG_DWORD, 540, dword(540), 540},
        {REG_DWORD, -20, dword(uint32_t(-20)), -20},
        {REG_DWORD, QStringLiteral("12"), dword(12), 12},
        {REG_DWORD, true, dword(uint32_t(-1)), -1},
        {REG_DWORD, 2.5, dword(2), 2},
        {5, 2.5, QByteArray("\0\0\0\x40", 4), 2.0f},
        {5, 3.5, QByteArray("\0\0\x80\x40", 4), 4.0f},
        {5, -1, QByteArray("\0\0\x80\xbf", 4), -1.0f},
    };
    const HKEY key = driverKey();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bytes.toHex().toStdString());
        EXPECT_EQ(SetRegistryValue(key, QStringLiteral("V"), c.type, c.value), ERROR_SUCCESS);
        EXPECT_EQ(stored(key, QStringLiteral("V")), std::make_pair(DWORD(c.type), c.bytes));
        const QVariant back = query(key, QStringLiteral("V"));
        EXPECT_EQ(back.typeId(), c.readBack.typeId());
        EXPECT_EQ(back, c.readBack);
    }
}

TEST_F(DriverSettingsTest, OtherTypesAndBadValuesWriteNothingAndReadNothing)
{
    const HKEY key = driverKey();
    EXPECT_EQ(SetRegistryValue(key, QStringLiteral("V"), REG_BINARY, 7), ERROR_SUCCESS);
    EXPECT_EQ(SetRegistryValue(key, QStringLiteral("V"), REG_DWORD, QStringLiteral("abc")), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SetRegistryValue(key, QStringLiteral("V"), REG_DWORD, 5e9), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(stored(key, QStringLiteral("V")).first, 0u);

    QVariant result = QStringLiteral("untouched");
    EXPECT_EQ(QueryRegistryValue(key, QStringLiteral("V"), result), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(result, QStringLiteral("untouched"));
    ASSERT_EQ(RegSetValueEx(key, QStringLiteral("V"), REG_BINARY, "\1\2", 2), ERROR_SUCCESS);
    EXPECT_EQ(QueryRegistryValue(key, QStringLiteral("V"), result), -1);
    EXPECT_EQ(result, QStringLiteral("untouched"));
    EXPECT_EQ(QueryRegistryValue(0, QStringLiteral("V"), result), ERROR_INVALID_HANDLE);

    const DiskFullAt full(10); // a write the disk refuses
    EXPECT_EQ(StoreDriverSetting(QStringLiteral("ZELLimit"), REG_DWORD, 90), ERROR_REGISTRY_IO_FAILED);
}

TEST_F(DriverSettingsTest, FirstRunWritesEveryDefaultAndSetsEveryVariable)
{
    Module().settings.ZELLimit = 7;
    Module().settings.Detector = QStringLiteral("old");
    RegisterAutomationClasses();
    CheckRegistry();

    const std::map<QString, std::pair<DWORD, QByteArray>> expected = {
        {QString(), {REG_SZ, sz("ORVA VKM")}},
        {QStringLiteral("Absolute"), {REG_DWORD, dword(0)}},
        {QStringLiteral("PORT"), {REG_DWORD, dword(1)}},
        {QStringLiteral("Prompt"), {REG_DWORD, dword(0)}},
        {QStringLiteral("ControlConsole"), {REG_DWORD, dword(0)}},
        {QStringLiteral("ErrorMessage"), {REG_DWORD, dword(0)}},
        {QStringLiteral("StepSize"), {REG_SZ, sz("0.25")}},
        {QStringLiteral("FocusStep"), {REG_DWORD, dword(0)}},
        {QStringLiteral("RotateStep"), {REG_DWORD, dword(0)}},
        {QStringLiteral("RotateStepOption"), {REG_SZ, sz("0")}},
        {QStringLiteral("MainPosX"), {REG_DWORD, dword(0)}},
        {QStringLiteral("MainPosY"), {REG_DWORD, dword(0)}},
        {QStringLiteral("MiniPosX"), {REG_DWORD, dword(0)}},
        {QStringLiteral("MiniPosY"), {REG_DWORD, dword(0)}},
        {QStringLiteral("CheckTelescope"), {REG_DWORD, dword(0)}},
        {QStringLiteral("PromptTheSky"), {REG_DWORD, dword(0)}},
        {QStringLiteral("ZELSynchedToTelescope"), {REG_DWORD, dword(0)}},
        {QStringLiteral("ImageScale"), {REG_SZ, sz("1.7")}},
        {QStringLiteral("MaxPosErr"), {REG_SZ, sz("2.0")}},
        {QStringLiteral("MaxRotErr"), {REG_SZ, sz("1.0")}},
        {QStringLiteral("MaxItterations"), {REG_DWORD, dword(5)}},
        {QStringLiteral("LargeStepSize"), {REG_DWORD, dword(80)}},
        {QStringLiteral("SmallStepSize"), {REG_DWORD, dword(5)}},
        {QStringLiteral("ZELLimit"), {REG_DWORD, dword(540)}},
        {QStringLiteral("AutoReverse"), {REG_DWORD, dword(1)}},
        {QStringLiteral("Detector"), {REG_SZ, sz("")}},
        {QStringLiteral("EnableSlew"), {REG_DWORD, dword(0)}},
        {QStringLiteral("Celcius"), {REG_DWORD, dword(0)}},
    };
    const HKEY key = driverKey();
    for (const auto &[name, value] : expected)
        EXPECT_EQ(stored(key, name), value) << name.toStdString();
    // Nothing else: the file holds exactly these values in the driver key's section.
    QFile file(dir.filePath(QStringLiteral("registry.reg")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    const QByteArray section = text.mid(text.indexOf("Focuser Drivers\\VUZA_VU.Focuser]\n"));
    ASSERT_TRUE(section.startsWith("Focuser Drivers"));
    const qsizetype end = section.indexOf("\n\n");
    const QByteArray block = end < 0 ? section : section.left(end + 1);
    EXPECT_EQ(block.count('\n'), qsizetype(expected.size() + 1)) << block.toStdString();

    const ModuleState::Settings &s = Module().settings;
    EXPECT_FALSE(s.Absolute);
    EXPECT_EQ(Module().link.PortNumber, 1);
    EXPECT_EQ(Module().link.ControlConsole, 0);
    EXPECT_EQ(s.Prompt, 0);
    EXPECT_EQ(s.ErrorMessage, 0);
    EXPECT_EQ(s.StepSize, 0.25f);
    EXPECT_EQ(s.FocusStep, 0);
    EXPECT_EQ(s.RotateStep, 0);
    EXPECT_EQ(s.RotateStepOption, QStringLiteral("0"));
    EXPECT_EQ(s.MainPosX + s.MainPosY + s.MiniPosX + s.MiniPosY, 0);
    EXPECT_FALSE(s.CheckTelescope);
    EXPECT_FALSE(s.PromptTheSky);
    EXPECT_EQ(s.ZELSynchedToTelescope, 0);
    EXPECT_EQ(s.LargeStepSize, 80);
    EXPECT_EQ(s.SmallStepSize, 5);
    EXPECT_EQ(s.ZELLimit, 540);
    EXPECT_EQ(s.AutoReverse, 1);
    EXPECT_EQ(s.Detector, QString());
    EXPECT_EQ(s.EnableSlew, 0);
    EXPECT_EQ(s.Celcius, 0);
}

TEST_F(DriverSettingsTest, LaterRunsReadTheValuesAndHealMissingOnes)
{
    struct Case
    {
        const char *what;
        std::function<void(HKEY)> change;
        std::function<void()> preset;
        std::function<void(HKEY)> check;
    };
    ModuleState::Settings &s = Module().settings;
    const auto write = [](const char *name, int32_t type, QVariant value) {
        return [=](HKEY key) { ASSERT_EQ(SetRegistryValue(key, QString::fromLatin1(name), type, value), 0); };
    };
    const QList<Case> cases = {
        {"deleted ZELLimit heals", [](HKEY key) { RegDeleteValue(key, QStringLiteral("ZELLimit")); },
         [&] { s.ZELLimit = 7; },
         [&](HKEY key) {
             EXPECT_EQ(s.ZELLimit, 540);
             EXPECT_EQ(stored(key, QStringLiteral("ZELLimit")), std::make_pair(REG_DWORD, dword(540)));
         }},
        {"deleted StepSize heals", [](HKEY key) { RegDeleteValue(key, QStringLiteral("stepsize")); },
         [&] { s.StepSize = 3; },
         [&](HKEY key) {
             EXPECT_EQ(s.StepSize, 0.25f);
             EXPECT_EQ(stored(key, QStringLiteral("StepSize")), std::make_pair(REG_SZ, sz("0.25")));
         }},
        {"StepSize not numeric", write("StepSize", REG_SZ, QStringLiteral("abc")), [&] { s.StepSize = 0.75f; },
         [&](HKEY key) {
             EXPECT_EQ(s.StepSize, 0.75f);
             EXPECT_EQ(stored(key, QStringLiteral("StepSize")).second, sz("abc"));
         }},
        {"StepSize 0.5", write("StepSize", REG_SZ, QStringLiteral("0.5")), {},
         [&](HKEY) { EXPECT_EQ(s.StepSize, 0.5f); }},
        {"CheckTelescope 2", write("CheckTelescope", REG_DWORD, 2), [&] { s.CheckTelescope = true; },
         [&](HKEY) { EXPECT_FALSE(s.CheckTelescope); }},
        {"CheckTelescope 1", write("CheckTelescope", REG_DWORD, 1), {}, [&](HKEY) { EXPECT_TRUE(s.CheckTelescope); }},
        {"PromptTheSky -1", write("PromptTheSky", REG_DWORD, -1), [&] { s.PromptTheSky = true; },
         [&](HKEY) { EXPECT_FALSE(s.PromptTheSky); }},
        {"Absolute 5", write("Absolute", REG_DWORD, 5), {}, [&](HKEY) { EXPECT_TRUE(s.Absolute); }},
        {"PORT too big", write("PORT", REG_DWORD, 70000), [] { Module().link.PortNumber = 3; },
         [](HKEY) { EXPECT_EQ(Module().link.PortNumber, 3); }},
        {"PORT 4", write("PORT", REG_DWORD, 4), {}, [](HKEY) { EXPECT_EQ(Module().link.PortNumber, 4); }},
        {"PORT as text", write("PORT", REG_SZ, QStringLiteral("2")), {},
         [](HKEY) { EXPECT_EQ(Module().link.PortNumber, 2); }},
        {"MainPosX negative", write("MainPosX", REG_DWORD, -20), {}, [&](HKEY) { EXPECT_EQ(s.MainPosX, -20); }},
        {"Detector", write("Detector", REG_SZ, QStringLiteral("Camera FOV")), {},
         [&](HKEY) { EXPECT_EQ(s.Detector, QStringLiteral("Camera FOV")); }},
        {"RotateStepOption as number", write("RotateStepOption", REG_DWORD, 15), {},
         [&](HKEY) { EXPECT_EQ(s.RotateStepOption, QStringLiteral("15")); }},
        {"EnableSlew", write("EnableSlew", REG_DWORD, 1), {}, [&](HKEY) { EXPECT_EQ(s.EnableSlew, 1); }},
        {"ControlConsole", write("ControlConsole", REG_DWORD, 1), {},
         [](HKEY) { EXPECT_EQ(Module().link.ControlConsole, 1); }},
        {"odd type leaves Celcius", [](HKEY key) { RegSetValueEx(key, QStringLiteral("Celcius"), REG_BINARY, "\1", 1); },
         [&] { s.Celcius = 1; },
         [&](HKEY key) {
             EXPECT_EQ(s.Celcius, 1);
             EXPECT_EQ(stored(key, QStringLiteral("Celcius")).first, REG_BINARY);
         }},
        {"foreign value survives", write("ExposureTime", REG_SZ, QStringLiteral("12.5")), {},
         [&](HKEY key) { EXPECT_EQ(stored(key, QStringLiteral("ExposureTime")), std::make_pair(REG_SZ, sz("12.5"))); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        RegistryStore::resetForTests();
        QFile::remove(dir.filePath(QStringLiteral("registry.reg")));
        CheckRegistry();
        const HKEY key = driverKey();
        c.change(key);
        if (c.preset)
            c.preset();
        CheckRegistry();
        c.check(key);
    }
}

TEST_F(DriverSettingsTest, RegistrationEntriesAreWrittenAndAnExistingAppIdIsKept)
{
    RegisterAutomationClasses();
    CheckRegistry();
    const HKEY appId = open(HKEY_CLASSES_ROOT, QStringLiteral("AppID\\") + RotatorClsid);
    EXPECT_EQ(query(appId, QString()), QStringLiteral("ASCOM driver for ORVA VKM focuser"));
    EXPECT_EQ(stored(appId, QStringLiteral("AuthenticationLevel")), std::make_pair(REG_DWORD, dword(1)));
    EXPECT_EQ(query(open(HKEY_CLASSES_ROOT, QStringLiteral("AppID\\vkm")), QStringLiteral("AppID")), RotatorClsid);
    const HKEY classKey = open(HKEY_CLASSES_ROOT, QStringLiteral("CLSID\\") + FocuserClsid);
    EXPECT_EQ(query(classKey, QStringLiteral("AppID")), RotatorClsid);

    ASSERT_EQ(SetRegistryValue(classKey, QStringLiteral("AppID"), REG_SZ, QStringLiteral("{other}")), 0);
    ASSERT_EQ(SetRegistryValue(appId, QStringLiteral("AuthenticationLevel"), REG_DWORD, 6), 0);
    ASSERT_EQ(SetRegistryValue(appId, QString(), REG_SZ, QStringLiteral("renamed")), 0);
    RegisterAutomationClasses();
    CheckRegistry();
    EXPECT_EQ(query(classKey, QStringLiteral("AppID")), QStringLiteral("{other}"));
    EXPECT_EQ(query(appId, QStringLiteral("AuthenticationLevel")), 1);
    EXPECT_EQ(query(appId, QString()), QStringLiteral("renamed"));
}

TEST_F(DriverSettingsTest, RegistrationKeepsExistingClassIdsAndIsSkippedWithoutThem)
{
    CheckRegistry();
    HKEY key = 0;
    EXPECT_EQ(RegOpenKey(HKEY_CLASSES_ROOT, QStringLiteral("AppID"), &key), ERROR_FILE_NOT_FOUND);

    ASSERT_EQ(SetRegistryValue(open(HKEY_CLASSES_ROOT, FocuserClsidKey), QString(), REG_SZ, QStringLiteral("{F}")), 0);
    RegisterAutomationClasses();
    EXPECT_EQ(query(open(HKEY_CLASSES_ROOT, FocuserClsidKey), QString()), QStringLiteral("{F}"));
    EXPECT_EQ(query(open(HKEY_CLASSES_ROOT, RotatorClsidKey), QString()), RotatorClsid);
    EXPECT_EQ(RegOpenKey(HKEY_CLASSES_ROOT, QStringLiteral("CLSID\\{F}"), &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(DriverSettingsTest, TheFormerDriverKeyIsRemovedOnceTheDriverKeyExists)
{
    const QString former = QStringLiteral("SOFTWARE\\ASCOM\\Focuser Drivers\\VUZA.Focuser");
    open(HKEY_LOCAL_MACHINE, former);
    CheckRegistry();
    HKEY key = 0;
    EXPECT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, former, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    CheckRegistry();
    EXPECT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, former, &key), ERROR_FILE_NOT_FOUND);
}

} // namespace
