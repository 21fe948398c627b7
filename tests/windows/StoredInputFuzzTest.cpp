// The main window and its options window opened over damaged stored input: driver-key values
// of any type and size, and stored-position files of any bytes.
#include "MainWindowFixture.h"

#include "platform/RegistryFile.h"
#include "platform/RegistryStore.h"
#include "settings/StoredPositionFile.h"
#include "settings/frmCal.h"
#include "support/Fuzz.h"

#include <QAction>

namespace {

// The value names of the driver key once the defaults are written.
QStringList driverValueNames()
{
    CheckRegistry();
    QFile file(RegistryStore::filePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList names;
    for (const RegistryKey &key : RegistryFile::parse(file.readAll(), nullptr).value_or(QList<RegistryKey>()))
        if (key.path.endsWith(DriverKeyPath, Qt::CaseInsensitive))
            for (const RegistryValue &value : key.values)
                names << value.name;
    return names;
}

void writeData(const QString &name, const QByteArray &bytes)
{
    QFile file(DataFolder::file(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

} // namespace

using MainWindowStoredInputFuzz = MainWindowFixture;

TEST_F(MainWindowStoredInputFuzz, TheWindowsOpenOverAnyStoredSettingsAndPositions)
{
    const QStringList names = driverValueNames();
    ASSERT_GT(names.size(), 10);
    const QByteArray focusRecord = StoredPositionFile::encode(FocusRecord{QStringLiteral("Moon"), 1234, 21.5f}) + QByteArray(50, '\0');
    Fuzz::Run(200, [&](Fuzz::Gen &gen) {
        for (int i = gen.between(1, 4); i > 0; --i) {
            const QString name = gen.pick(names);
            if (gen.chance(0.5))
                writeSetting(name, REG_DWORD, QVariant(qint32(gen.number().toLongLong())));
            else if (gen.chance(0.8))
                writeSetting(name, REG_SZ, QVariant(QString::fromLatin1(gen.number())));
            else
                writeSetting(name, REG_SZ, QVariant(QString::fromLatin1(gen.text(300))));
        }
        writeData(StoredPositionFile::FocusFileName, gen.chance(0.5) ? gen.mutate(focusRecord.repeated(3)) : gen.bytes(500));
        writeData(StoredPositionFile::RotatorFileName, gen.bytes(500));

        frmMain *main = openQuiet();
        Wait::For(5);
        main->findChild<QAction *>(QStringLiteral("mnuTempCal"))->trigger();
        Wait::For(5);
        if (frmCal *cal = CalForm(false))
            cal->close();
        closeMain();
        for (const MessageBoxRequest &box : std::as_const(prompts.boxes))
            EXPECT_FALSE(box.prompt.trimmed().isEmpty());
        prompts.boxes.clear();
        Module().positions = ModuleState::Positions{};
    });
}
