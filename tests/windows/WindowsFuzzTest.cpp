// Damaged and random input into the windows: report streams into every parser of the stream
// at once (the main window, the options window's and the heater wizard's read-back, the four
// automation classes through the port, and the console), and the main and options windows
// opened over damaged driver-key values and stored-position files.
#include "ConsoleFixture.h"
#include "MainWindowFixture.h"

#include "drivers/Focuser.h"
#include "drivers/Rotator.h"
#include "drivers/Stepper.h"
#include "drivers/Temperature.h"
#include "platform/RegistryFile.h"
#include "platform/RegistryStore.h"
#include "settings/StoredPositionFile.h"
#include "settings/frmCal.h"
#include "support/Fuzz.h"
#include "tools/frmSecHeaterWizard.h"

#include <QAction>

namespace {

QString latin1(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

// Every box shown says something.
void expectSoundBoxes(RecordingPrompts &prompts)
{
    for (const MessageBoxRequest &box : std::as_const(prompts.boxes))
        EXPECT_FALSE(box.prompt.trimmed().isEmpty());
    prompts.boxes.clear();
}


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

using MainWindowReportFuzz = MainWindowFixture;

TEST_F(MainWindowReportFuzz, EveryParserOfTheStreamSurvivesDamagedReports)
{
    frmMain *main = openQuiet();
    ASSERT_TRUE(flushTo(QStringLiteral("M1 ")));
    main->findChild<QAction *>(QStringLiteral("mnuTempCal"))->trigger();
    main->mnuSecHeatWiz->trigger();
    ASSERT_NE(CalForm(false), nullptr);
    ASSERT_NE(frmSecHeaterWizard::instance(false), nullptr);
    Focuser focuser;
    Rotator rotator;
    Temperature temperature;
    Stepper stepper;

    Fuzz::Run(400, [&](Fuzz::Gen &gen) {
        const QByteArray stream = gen.chance(0.2) ? gen.text(200) : Fuzz::ReportStream(gen, gen.between(1, 30));
        if (gen.chance(0.5)) {
            for (const QByteArray &chunk : gen.cut(stream, gen.between(1, 24)))
                main->Handle_Received(latin1(chunk));
        } else {
            // Through the port to every holder of the link.
            sim.setRandomChunking(quint32(gen.between(0, 1 << 30)), gen.between(1, 24));
            sim.sendRaw(stream);
            // A port gathering a trickle takes one lock-stepped chunk a look.
            ASSERT_TRUE(Wait::Until(2000 + 10 * int(stream.size()), [&] { return !sim.hasPendingOutput(); }))
                << "port open " << Module().link.SharedSerial->Connected() << " sent " << sim.received().toStdString()
                << " boxes " << prompts.takePrompts().join(QLatin1Char('|')).toStdString() << " stream " << stream.toHex().constData();
        }
        Wait::For(5);
        expectSoundBoxes(prompts);
        ASSERT_EQ(MainForm(false), main);
        sim.clearReceived();
    });

    // The parsers still read sound reports afterwards.
    sim.clearChunking();
    main->Handle_Received(QStringLiteral(" \t :s 1234 "));
    EXPECT_EQ(control<QLabel>(QStringLiteral("lblSet"))->text(), QStringLiteral("1234"));
    temperature.Call(QStringLiteral("Handle_Received"), {Variant(QStringLiteral(" :t1 2150 "))});
}

using ConsoleReportFuzz = ConsoleFixture;

TEST_F(ConsoleReportFuzz, TheConsoleSurvivesDamagedReports)
{
    open();
    Fuzz::Run(600, [&](Fuzz::Gen &gen) {
        const QByteArray stream = gen.chance(0.2) ? gen.text(200) : Fuzz::ReportStream(gen, gen.between(1, 30));
        for (const QByteArray &chunk : gen.cut(stream, gen.between(1, 24)))
            form->Handle_Received(latin1(chunk));
        Wait::For(5);
        expectSoundBoxes(prompts);
        ASSERT_EQ(ConsoleForm(false), form);
    });
    feed({QStringLiteral(" \t :a 5 ")});
    EXPECT_EQ(form->lblActual->text(), QStringLiteral("5"));
}

using MainWindowStoredInputFuzz = MainWindowFixture;

TEST_F(MainWindowStoredInputFuzz, TheWindowsOpenOverAnyStoredSettingsAndPositions)
{
    const QString registry = RegistryStore::filePath();
    QFile::copy(registry, registry + QStringLiteral(".before-fuzz"));
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
        expectSoundBoxes(prompts);
        Module().positions = ModuleState::Positions{};
    });
    // The later tests of this program start from the files they had.
    QFile::remove(DataFolder::file(StoredPositionFile::FocusFileName));
    QFile::remove(DataFolder::file(StoredPositionFile::RotatorFileName));
    QFile::remove(registry);
    QFile::rename(registry + QStringLiteral(".before-fuzz"), registry);
    RegistryStore::resetForTests();
}
