// Damaged registry files: parsed or refused with the line named, what parses formats to a
// file that parses the same, and the store starts from a damaged file and saves a sound one.
#include "platform/RegistryFile.h"
#include "platform/RegistryStore.h"
#include "support/Fuzz.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray validFile()
{
    const QList<RegistryKey> keys = {
        {QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Key"),
         {{QString(), REG_SZ, QByteArray("default\0", 8)},
          {QStringLiteral("Port"), REG_DWORD, QByteArray("\x02\0\0\0", 4)},
          {QStringLiteral("Quote\"and\\slash"), REG_SZ, QByteArray("a\"b\\c\0", 6)},
          {QStringLiteral("Raw"), 5, QByteArray("\0\0\x80\x3f", 4)},
          {QStringLiteral("Bytes"), REG_BINARY, QByteArray("\xff\x00\x10", 3)}}},
        {QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Key\\Sub"), {}},
        {QStringLiteral("HKEY_CURRENT_USER\\Software\\Other"), {{QStringLiteral("Name"), REG_SZ, QByteArray("\xe9t\xe9\0", 4)}}},
    };
    return RegistryFile::format(keys);
}

} // namespace

TEST(RegistryFileFuzz, AFileParsesOrNamesItsLineAndWhatParsesFormatsTheSame)
{
    const QByteArray valid = validFile();
    ASSERT_TRUE(RegistryFile::parse(valid, nullptr));
    Fuzz::Run(20000, [&](Fuzz::Gen &gen) {
        const QByteArray text = gen.chance(0.8) ? gen.mutate(valid) : gen.text(300);
        QString error;
        const auto keys = RegistryFile::parse(text, &error);
        if (!keys) {
            EXPECT_FALSE(error.isEmpty()) << text.toStdString();
            return;
        }
        const QByteArray formatted = RegistryFile::format(*keys);
        const auto again = RegistryFile::parse(formatted, &error);
        ASSERT_TRUE(again) << error.toStdString() << "\n" << formatted.toStdString();
        EXPECT_EQ(RegistryFile::format(*again), formatted) << text.toStdString();
    });
}

TEST(RegistryFileFuzz, TheStoreStartsFromAnyFileAndSavesOneThatLoads)
{
    const QByteArray saved = qgetenv("VKM_REGISTRY");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("registry.reg"));
    qputenv("VKM_REGISTRY", path.toLocal8Bit());
    const QByteArray valid = validFile();
    Fuzz::Run(300, [&](Fuzz::Gen &gen) {
        {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(gen.chance(0.8) ? gen.mutate(valid) : gen.bytes(300));
        }
        RegistryStore::resetForTests();
        testing::internal::CaptureStderr();
        HKEY key = 0;
        ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Test\\Key"), QString(), 0, 0, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueEx(key, QStringLiteral("Written"), REG_DWORD, "\x07\0\0\0", 4), ERROR_SUCCESS);
        RegCloseKey(key);
        testing::internal::GetCapturedStderr();

        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QString error;
        ASSERT_TRUE(RegistryFile::parse(file.readAll(), &error)) << error.toStdString();
        RegistryStore::resetForTests();
        ASSERT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Test\\Key"), &key), ERROR_SUCCESS);
        DWORD type = 0;
        char data[4] = {};
        DWORD size = sizeof data;
        EXPECT_EQ(RegQueryValueEx(key, QStringLiteral("Written"), &type, data, &size), ERROR_SUCCESS);
        EXPECT_EQ(QByteArray(data, 4), QByteArray("\x07\0\0\0", 4));
        RegCloseKey(key);
        for (const QString &aside : QDir(dir.path()).entryList({QStringLiteral("registry.reg.damaged-*")}))
            QFile::remove(dir.filePath(aside));
    });
    qputenv("VKM_REGISTRY", saved);
    RegistryStore::resetForTests();
}
