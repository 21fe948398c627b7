#include "platform/RegistryStore.h"
#include "support/DiskFullAt.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString TestKey = QStringLiteral("SOFTWARE\\Test\\Key");

class RegistryStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        savedRegistry = qgetenv("VKM_REGISTRY");
        path = dir.filePath(QStringLiteral("registry.reg"));
        usePath(path);
    }

    void TearDown() override
    {
        qputenv("VKM_REGISTRY", savedRegistry);
        RegistryStore::resetForTests();
    }

    void usePath(const QString &file)
    {
        qputenv("VKM_REGISTRY", file.toLocal8Bit());
        RegistryStore::resetForTests();
    }

    HKEY create(const QString &subKey = TestKey)
    {
        HKEY key = 0;
        EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, subKey, QString(), 0, 0, &key, nullptr), ERROR_SUCCESS);
        return key;
    }

    static void set(HKEY key, const QString &name, DWORD type, const QByteArray &data)
    {
        ASSERT_EQ(RegSetValueEx(key, name, type, data.constData(), DWORD(data.size())), ERROR_SUCCESS);
    }

    // Type and data of a value of TestKey, read through a fresh handle.
    static std::pair<DWORD, QByteArray> read(const QString &name)
    {
        HKEY key = 0;
        if (RegOpenKey(HKEY_LOCAL_MACHINE, TestKey, &key) != ERROR_SUCCESS)
            return {0, "no key"};
        DWORD type = 0;
        DWORD size = 0;
        QByteArray data;
        if (RegQueryValueEx(key, name, &type, nullptr, &size) == ERROR_SUCCESS) {
            data.resize(size);
            EXPECT_EQ(RegQueryValueEx(key, name, nullptr, data.data(), &size), ERROR_SUCCESS);
        } else {
            data = "missing";
        }
        RegCloseKey(key);
        return {type, data};
    }

    QByteArray fileBytes() const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("no file");
    }

    QStringList damagedFiles() const
    {
        return QDir(dir.path()).entryList({QStringLiteral("registry.reg.damaged-*")}, QDir::AllEntries);
    }

    QTemporaryDir dir;
    QString path;
    QByteArray savedRegistry;
};

TEST_F(RegistryStoreTest, EachTypeIsWrittenAsItsFileLineAndReadsBackAfterReload)
{
    struct Case
    {
        DWORD type;
        QByteArray data;
        QByteArray line;
    };
    const QList<Case> cases = {
        {REG_SZ, QByteArray("ORVA VKM\0", 9), R"("V"="ORVA VKM")"},
        {REG_SZ, QByteArray("C:\\a \"b\"\xe9\0", 10), R"("V"="C:\\a \"b\")" "\xe9\""},
        {REG_SZ, QByteArray("a\nb\0", 4), R"("V"=hex(1):61,0a,62,00)"},
        {REG_SZ, QByteArray("no nul"), R"("V"=hex(1):6e,6f,20,6e,75,6c)"},
        {REG_DWORD, QByteArray("\x1c\x02\0\0", 4), R"("V"=dword:0000021c)"},
        {REG_DWORD, QByteArray("\xff\xff\xff\xff", 4), R"("V"=dword:ffffffff)"},
        {REG_DWORD, QByteArray("\x01\x02", 2), R"("V"=hex(4):01,02)"},
        {5, QByteArray("\0\0\x80\x3f", 4), R"("V"=hex(5):00,00,80,3f)"},
        {REG_BINARY, QByteArray("\x01\xfe", 2), R"("V"=hex:01,fe)"},
        {0x12, QByteArray(), R"("V"=hex(12):)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        usePath(path);
        QFile::remove(path);
        const HKEY key = create();
        set(key, QStringLiteral("V"), c.type, c.data);
        EXPECT_EQ(fileBytes(), "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\n\n"
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Key]\n"
                                   + c.line + "\n");
        EXPECT_EQ(read(QStringLiteral("V")), std::make_pair(c.type, c.data));
        RegistryStore::resetForTests();
        EXPECT_EQ(read(QStringLiteral("V")), std::make_pair(c.type, c.data));
    }
}

TEST_F(RegistryStoreTest, QueryReportsSizeMissingValuesShortBuffersAndBadHandles)
{
    const HKEY key = create();
    set(key, QStringLiteral("Text"), REG_SZ, QByteArray("abc\0", 4));

    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueEx(key, QStringLiteral("Text"), &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 4u);

    char buffer[8] = "xxxxxxx";
    size = 3;
    EXPECT_EQ(RegQueryValueEx(key, QStringLiteral("Text"), nullptr, buffer, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(buffer[0], 'x');

    type = 77;
    EXPECT_EQ(RegQueryValueEx(key, QStringLiteral("Other"), &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(type, 77u);
    EXPECT_EQ(RegQueryValueEx(key, QString(), &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValue(key, QStringLiteral("Other")), ERROR_FILE_NOT_FOUND);

    HKEY missing = 123;
    EXPECT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Nothing"), &missing), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing, 0u);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, TestKey, 0, 0, &missing), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueEx(key, QStringLiteral("Text"), &type, nullptr, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetValueEx(0, QStringLiteral("Text"), REG_SZ, "a", 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

TEST_F(RegistryStoreTest, NamesMatchWithoutCaseAndKeepTheirFirstSpelling)
{
    DWORD disposition = 0;
    HKEY key = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, TestKey, QString(), 0, 0, &key, &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    set(key, QStringLiteral("StepSize"), REG_SZ, QByteArray("1\0", 2));

    HKEY same = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, QStringLiteral("software\\TEST\\key\\"), QString(), 0, 0, &same,
                             &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    set(same, QStringLiteral("STEPSIZE"), REG_SZ, QByteArray("2\0", 2));
    EXPECT_EQ(read(QStringLiteral("stepsize")).second, QByteArray("2\0", 2));

    HKEY child = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\test\\Key\\Sub"), QString(), 0, 0,
                             &child, nullptr),
              ERROR_SUCCESS);
    EXPECT_TRUE(fileBytes().contains("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Key]\n\"StepSize\"=\"2\"\n"));
    EXPECT_TRUE(fileBytes().contains("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Key\\Sub]\n"));

    HKEY bad = 0;
    EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\\\X"), QString(), 0, 0, &bad, nullptr),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegSetValueEx(key, QStringLiteral("a\nb"), REG_SZ, "", 0), ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryStoreTest, WritesReachTheFileAndAReloadReadsTheSame)
{
    const HKEY key = create(QStringLiteral("SOFTWARE\\ASCOM\\Focuser Drivers\\VUZA_VU.Focuser"));
    set(key, QString(), REG_SZ, QByteArray("ORVA VKM\0", 9));
    set(key, QStringLiteral("Absolute"), REG_DWORD, QByteArray(4, '\0'));
    set(key, QStringLiteral("StepSize"), REG_SZ, QByteArray("0.25\0", 5));
    set(key, QStringLiteral("Raw"), 5, QByteArray("\0\0\x80\x3f", 4));
    set(key, QStringLiteral("Gone"), REG_DWORD, QByteArray(4, '\1'));
    EXPECT_EQ(RegDeleteValue(key, QStringLiteral("GONE")), ERROR_SUCCESS);
    HKEY other = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, QStringLiteral("CLSID\\{1}"), QString(), 0, 0, &other, nullptr),
              ERROR_SUCCESS);

    const QByteArray expected = "REGEDIT4\n"
                                "\n[HKEY_CLASSES_ROOT\\CLSID]\n"
                                "\n[HKEY_CLASSES_ROOT\\CLSID\\{1}]\n"
                                "\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\n"
                                "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ASCOM]\n"
                                "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ASCOM\\Focuser Drivers]\n"
                                "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ASCOM\\Focuser Drivers\\VUZA_VU.Focuser]\n"
                                "@=\"ORVA VKM\"\n"
                                "\"Absolute\"=dword:00000000\n"
                                "\"StepSize\"=\"0.25\"\n"
                                "\"Raw\"=hex(5):00,00,80,3f\n";
    EXPECT_EQ(fileBytes(), expected);

    RegistryStore::resetForTests();
    HKEY reopened = 0;
    ASSERT_EQ(RegOpenKey(HKEY_CLASSES_ROOT, QStringLiteral("clsid\\{1}"), &reopened), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\ASCOM\\Focuser Drivers\\VUZA_VU.Focuser"),
                         &reopened),
              ERROR_SUCCESS);
    set(reopened, QStringLiteral("Extra"), REG_SZ, QByteArray("x\0", 2));
    EXPECT_EQ(RegDeleteValue(reopened, QStringLiteral("Extra")), ERROR_SUCCESS);
    EXPECT_EQ(fileBytes(), expected);
}

TEST_F(RegistryStoreTest, KeysAreDeletedOnlyWithoutSubKeys)
{
    const HKEY key = create(TestKey + QStringLiteral("\\Child"));
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, TestKey), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, QString()), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, TestKey + QStringLiteral("\\Nothing")), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, TestKey + QStringLiteral("\\CHILD")), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueEx(key, QStringLiteral("V"), REG_SZ, "", 0), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, TestKey), ERROR_SUCCESS);

    RegistryStore::resetForTests();
    HKEY reopened = 0;
    EXPECT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, TestKey, &reopened), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Test"), &reopened), ERROR_SUCCESS);
}

TEST_F(RegistryStoreTest, ADamagedFileIsKeptAsideAndTheStoreStartsEmptyWithOneMessage)
{
    const QList<QByteArray> damaged = {
        "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n",
        "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Key]\n\"V\"=\"unterminated\n",
        "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Key]\n\"V\"=hex(5):00,zz\n",
        "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Key]\n\"V\"=dword:123456789\n",
        "REGEDIT4\n\n[HKEY_NOWHERE\\Test\\Key]\n\"V\"=\"x\"\n",
        "REGEDIT4\n\"V\"=\"outside a key\"\n",
        "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Key]\nnonsense\n",
        QByteArray("REGEDIT4\n\0\0\0", 12),
    };
    for (const QByteArray &content : damaged) {
        SCOPED_TRACE(content.toStdString());
        for (const QString &old : damagedFiles())
            QFile::remove(dir.filePath(old));
        {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        usePath(path);

        testing::internal::CaptureStderr();
        HKEY key = 0;
        EXPECT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, TestKey, &key), ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE"), &key), ERROR_FILE_NOT_FOUND);
        const QString message = QString::fromStdString(testing::internal::GetCapturedStderr());
        EXPECT_EQ(message.count(QLatin1Char('\n')), 1);
        EXPECT_TRUE(message.contains(path)) << message.toStdString();

        const QStringList aside = damagedFiles();
        ASSERT_EQ(aside.size(), 1);
        EXPECT_TRUE(aside.first().contains(QRegularExpression(QStringLiteral("^registry\\.reg\\.damaged-\\d{8}T\\d{6}Z$"))));
        QFile kept(dir.filePath(aside.first()));
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), content);

        set(create(), QStringLiteral("V"), REG_DWORD, QByteArray(4, '\0'));
        RegistryStore::resetForTests();
        EXPECT_EQ(read(QStringLiteral("V")), std::make_pair(REG_DWORD, QByteArray(4, '\0')));
    }
}

TEST_F(RegistryStoreTest, AnUnreadableFileIsMovedAsideToo)
{
    ASSERT_TRUE(QDir().mkpath(path)); // a folder where the file should be
    testing::internal::CaptureStderr();
    set(create(), QStringLiteral("V"), REG_SZ, QByteArray("x\0", 2));
    EXPECT_EQ(QString::fromStdString(testing::internal::GetCapturedStderr()).count(QLatin1Char('\n')), 1);
    EXPECT_EQ(damagedFiles().size(), 1);
    EXPECT_TRUE(fileBytes().endsWith("\"V\"=\"x\"\n"));
}

// A change the file cannot take is refused and undone; once there is room the same change is
// written.
TEST_F(RegistryStoreTest, AChangeThatCannotBeSavedIsRefusedAndTheSameOneLaterIsWritten)
{
    const HKEY key = create();
    set(key, QStringLiteral("A"), REG_SZ, QByteArray("1\0", 2));
    const QByteArray before = fileBytes();
    for (const char *name : {"A", "B"}) {
        const DiskFullAt full(10);
        EXPECT_EQ(RegSetValueEx(key, QString::fromLatin1(name), REG_SZ, "2", 2), ERROR_REGISTRY_IO_FAILED);
        EXPECT_EQ(RegDeleteValue(key, QStringLiteral("A")), ERROR_REGISTRY_IO_FAILED);
        EXPECT_TRUE(fileBytes() == before && read(QStringLiteral("A")).second == QByteArray("1\0", 2) && read(QStringLiteral("B")).first == 0);
    }
    EXPECT_EQ(RegSetValueEx(key, QStringLiteral("A"), REG_SZ, "2", 2), ERROR_SUCCESS);
    EXPECT_TRUE(fileBytes().endsWith("\"A\"=\"2\"\n"));
}

TEST_F(RegistryStoreTest, AProcessKilledWhileWritingLeavesALoadableFile)
{
    set(create(), QStringLiteral("Counter"), REG_DWORD, QByteArray(4, '\0'));
    int acks[2];
    ASSERT_EQ(pipe(acks), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(acks[0]);
        HKEY key = 0;
        RegOpenKey(HKEY_LOCAL_MACHINE, TestKey, &key);
        for (uint32_t n = 1;; ++n) {
            RegSetValueEx(key, QStringLiteral("Counter"), REG_DWORD, &n, 4);
            RegSetValueEx(key, QStringLiteral("Padding"), REG_BINARY, QByteArray(4000, char(n)).constData(), 4000);
            if (write(acks[1], "x", 1) != 1)
                _exit(1);
        }
    }
    close(acks[1]);
    char ack;
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(::read(acks[0], &ack, 1), 1);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(acks[0]);

    QFile leftover(path + QStringLiteral(".Ab12Cd"));
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.write("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFT");
    leftover.close();

    usePath(path);
    testing::internal::CaptureStderr();
    const auto [type, data] = read(QStringLiteral("Counter"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(damagedFiles().isEmpty());
    ASSERT_EQ(type, REG_DWORD);
    uint32_t counter = 0;
    memcpy(&counter, data.constData(), 4);
    EXPECT_GE(counter, 20u);
}

TEST(RegistryStorePath, EnvironmentNamesTheFile)
{
    const QByteArray registry = qgetenv("VKM_REGISTRY");
    const QByteArray config = qgetenv("XDG_CONFIG_HOME");
    qputenv("VKM_REGISTRY", "/x/my.reg");
    EXPECT_EQ(RegistryStore::filePath(), QStringLiteral("/x/my.reg"));
    qunsetenv("VKM_REGISTRY");
    qputenv("XDG_CONFIG_HOME", "/cfg");
    EXPECT_EQ(RegistryStore::filePath(), QStringLiteral("/cfg/vkm/registry.reg"));
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(RegistryStore::filePath(), QDir::homePath() + QStringLiteral("/.config/vkm/registry.reg"));
    qputenv("VKM_REGISTRY", registry);
    if (!config.isNull())
        qputenv("XDG_CONFIG_HOME", config);
}

} // namespace
