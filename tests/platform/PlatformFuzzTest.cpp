// Damaged registry files: parsed or refused with the line named, what parses formats to a
// file that parses the same, and the store starts from a damaged file and saves a sound one.
// Values from the bus of every wire type: taken as a late-bound call takes them or refused.
#include "platform/AutomationWire.h"
#include "platform/RegistryFile.h"
#include "platform/RegistryStore.h"
#include "support/Fuzz.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <limits>
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

namespace {

QVariant randomWireValue(Fuzz::Gen &gen)
{
    const qint64 big = qint64(gen.number().toLongLong());
    switch (gen.between(0, 9)) {
    case 0: return QVariant(gen.chance(0.5));
    case 1: return QVariant::fromValue(uchar(gen.between(0, 255)));
    case 2: return QVariant::fromValue(short(gen.between(-32768, 32767)));
    case 3: return QVariant::fromValue(ushort(gen.between(0, 65535)));
    case 4: return QVariant::fromValue(int(big));
    case 5: return QVariant::fromValue(uint(big));
    case 6: return QVariant::fromValue(qlonglong(big) << gen.between(0, 31));
    case 7: return QVariant::fromValue(qulonglong(big) << gen.between(0, 31));
    case 8: return QVariant(gen.pick(QList<double>{std::nan(""), std::numeric_limits<double>::infinity(), -1e308,
                                                     1e-320, double(big), gen.between(-1000, 1000) / 7.0}));
    default: return QVariant(QString::fromLatin1(gen.chance(0.5) ? gen.number() : gen.text(50)));
    }
}

} // namespace

TEST(AutomationWireFuzz, AValueOfEveryWireTypeIsTakenOrRefusedAndGoesBackOut)
{
    Fuzz::Run(20000, [](Fuzz::Gen &gen) {
        const QVariant wire = randomWireValue(gen);
        Variant value;
        try {
            value = AutomationWire::FromWire(wire);
        } catch (const VbError &e) {
            EXPECT_TRUE(e.number() == 13 || e.number() == 6) << wire.typeName();
            return;
        }
        for (const auto &coerce : {std::function<void()>([&] { value.toInteger(); }), std::function<void()>([&] { value.toLong(); }),
                                   std::function<void()>([&] { value.toSingle(); }), std::function<void()>([&] { value.toBoolean(); }),
                                   std::function<void()>([&] { value.toString(); })}) {
            try {
                coerce();
            } catch (const VbError &e) {
                EXPECT_TRUE(e.number() == 6 || e.number() == 13) << e.number();
            }
        }
        const Variant back = AutomationWire::FromWire(AutomationWire::ToWire(value));
        if (value.type() != Variant::Type::Double || !std::isnan(value.toDouble())) {
            EXPECT_EQ(back.toString(), value.toString()) << wire.typeName();
        }
    });
}
