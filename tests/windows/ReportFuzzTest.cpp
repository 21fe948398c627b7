// Damaged and random report streams into every parser of the stream at once: the main
// window, the options window's and the heater wizard's read-back, the four automation
// classes (through the port), and the console.
#include "ConsoleFixture.h"
#include "MainWindowFixture.h"

#include "drivers/Focuser.h"
#include "drivers/Rotator.h"
#include "drivers/Stepper.h"
#include "drivers/Temperature.h"
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
            ASSERT_TRUE(Wait::Until(2000, [&] { return !sim.hasPendingOutput(); }))
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
