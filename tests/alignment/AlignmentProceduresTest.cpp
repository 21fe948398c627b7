#include "UtilitiesBench.h"
#include "alignment/PlateSolve.h"
#include "alignment/TelescopeSlew.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTimer>
#include <deque>

namespace {

// The TheSky engine: the camera program's WCS insertion solves, TheSky's rotation is the
// measured angle, one per exposure in turn.
class ProcedureBench : public UtilitiesBench
{
protected:
    void openWithAngles(std::deque<double> angles, std::initializer_list<std::pair<const char *, QVariant>> more = {})
    {
        imaging->onExposure = [this, angles]() mutable {
            turningAtExposure << sim.rotatorMoving();
            if (!angles.empty()) {
                sky->screenRotation = angles.front();
                angles.pop_front();
            }
        };
        open({{"AstrometricEngine", 1}});
        for (const auto &[name, value] : more)
            DriverKey::store(QString::fromLatin1(name), REG_SZ, value);
    }
    QList<bool> turningAtExposure;
};

struct AlignCase
{
    const char *what;
    std::deque<double> angles;
    int chartProperty22;
    int32_t zelLimit, wrap;
    const char *commands;
    const char *line; // a line the log must hold
    bool reversed = false; // "WRAP limit detected, reversing direction." logged
    int lateMs = 0; bool closeInWait = false; // " R " answered that late, the rotator slow; the port closed in the wait
    bool haltInWait = false; // another sender halts the rotator in the wait
};

class AlignCamera : public ProcedureBench, public ::testing::WithParamInterface<AlignCase>
{
};

TEST_P(AlignCamera, TurnsTheRotatorTheShortWayWithinTheWrapLimit)
{
    const AlignCase &c = GetParam();
    openWithAngles(c.angles);
    sky->documentProperties[22] = Variant(int32_t(c.chartProperty22));
    Module().settings.ZELLimit = c.zelLimit;
    sim.setRotatorWrap(c.wrap);
    imaging->centreRa = 5.5;
    imaging->centreDec = -12.25;
    if (c.lateMs)
        answerRotatorQueriesLate(c.lateMs, 2);
    bool moved = false;
    QObject::connect(&sim, &ControllerSimulator::commandReceived, &parserHolder, [&](const QString &command) {
        moved = moved || command.startsWith(u'j');
        if (c.closeInWait && moved && command == u"R") // the wait's query, not the turn's
            sharedLink()->setConnected(false);
        if (c.haltInWait && moved && command == u"R")
            QTimer::singleShot(0, [this] { sharedLink()->Transmit(QStringLiteral("q0 ")); });
    });
    window->cmdAlignCCD->click();
    if (!sharedLink()->Connected())
        sharedLink()->setConnected(true);
    EXPECT_FALSE(turningAtExposure.contains(true)) << c.what;
    EXPECT_EQ(commands(), QString::fromLatin1(c.commands)) << c.what;
    EXPECT_TRUE(log().contains(QString::fromLatin1(c.line))) << c.what << "\n" << log().join('\n').toStdString();
    EXPECT_EQ(log().contains(QStringLiteral("WRAP limit detected, reversing direction.")), c.reversed) << c.what;
    EXPECT_EQ(log().last(1 + 1).first(), QStringLiteral("********END ALIGN CAMERA**********"));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, AlignCamera,
    ::testing::Values(
        AlignCase{"converges", {1.2255, 0.25}, 0, 540, 0, "p245 j-246 p50 ", "Rotating ZEL by -1.23 degrees"},
        AlignCase{"short way", {359.75, 0}, 0, 540, 0, "p71950 j50 p0 ", "Rotating ZEL by 0.25 degrees"},
        AlignCase{"chart reversed", {10, 0}, 1, 540, 0, "p2000 j2000 p0 ", "Rotating ZEL by 10.00 degrees"},
        AlignCase{"other way within", {-0.5, 0}, 0, 540, 107950, "p-100 j-71900 p0 ", "Rotating ZEL by 0.50 degrees", true},
        AlignCase{"both ways beyond", {-0.5, 0}, 0, 1, 101, "p-100 ", "Error:  Can not turn past wrap limit."},
        AlignCase{"nearer way beyond", {150, 0}, 0, 100, 0, "p30000 ", "Error:  Can not turn past wrap limit."},
        AlignCase{"no turn past the limit", {0, 0}, 0, 540, -110000, "p0 j0 p0 ", "Rotating ZEL by 0.00 degrees"},
        AlignCase{"result line", {123.45, 0}, 0, 540, 0, "p24690 j-24690 p0 ",
                  "Image coords (2000): RA:05:30:00.0, DEC:-12:15:00.0, Angle123.45"},
        AlignCase{"late answers", {10, 5, 0}, 0, 540, 0, "p2000 j-2000 p1000 j-1000 p0 ",
                  "Image coords (2000): RA:05:30:00.0, DEC:-12:15:00.0, Angle0.00", false, 400},
        AlignCase{"port closed in the wait", {10}, 0, 540, 0, "p2000 j-2000 ", "Error:  The communications port is not open.",
                  false, 0, true},
        AlignCase{"halted in the wait", {10}, 0, 540, 0, "p2000 j-2000 q0 ",
                  "Error:  The rotator's turn stopped: the rotator was halted meanwhile.", false, 0, false, true}),
    [](const auto &info) { return std::string("case") + std::to_string(info.index); });

TEST_F(ProcedureBench, ImageLinkSlewsByTheTelescopesErrorAndRecordsThePierSide)
{
    openWithAngles({0.999});
    sky->telescopeRa = 5.0;
    sky->telescopeDec = 20;
    imaging->centreRa = 5.1;
    imaging->centreDec = 19.9;
    sky->asynchronous = 1;
    window->chkSlewTele->setChecked(true);
    Module().settings.CheckTelescope = true;
    Module().thesky.PierSide = -1;
    window->cmdImageLink->click();
    EXPECT_EQ(commands(), QStringLiteral("p199 "));
    const QStringList journal = sky->journal;
    const qsizetype precess = journal.indexOf(QStringLiteral("Utils.Precess2000ToNow(4.9,20.1)"));
    const qsizetype synchronous = journal.indexOf(QStringLiteral("Telescope.Asynchronous=0"));
    const qsizetype slew = journal.indexOf(QStringLiteral("Telescope.SlewToRaDec(4.9,20.1,VKM)"));
    EXPECT_TRUE(precess >= 0 && precess < synchronous && synchronous < slew) << journal.join('\n').toStdString();
    EXPECT_EQ(imaging->savedFiles.size(), 3); // two images and the first one's keywords
    EXPECT_EQ(imaging->fitsKeywords.first(), QStringLiteral("OBJCTRA=05 00 00.0"));
    EXPECT_EQ(DriverKey::stored(QStringLiteral("ZELSynchedToTelescope")), int32_t(0xFFFFFFFF));
    EXPECT_TRUE(log().contains(QStringLiteral("Running out backlash")));
}

TEST_F(ProcedureBench, ImageLinkWithoutSlewSendsTheAngleRoundedDown)
{
    const std::pair<double, const char *> cases[] = {{0.999, "p199 "}, {-0.001, "p-1 "}, {180, "p36000 "}};
    for (const auto &[angle, command] : cases) {
        openWithAngles({angle});
        window->cmdImageLink->click();
        EXPECT_EQ(commands(), QString::fromLatin1(command)) << angle;
        EXPECT_FALSE(log().contains(QStringLiteral("Slewing telescope")));
        EXPECT_EQ(DriverKey::stored(QStringLiteral("ZELSynchedToTelescope")), 0);
        window.reset();
    }
}

TEST_F(ProcedureBench, PinPointSolveEndsTheRunWithoutAnAngle)
{
    // A member failing, or the plate's creation once the run has begun; the last lines.
    const std::pair<QString, QStringList> cases[] = {
        {"Plate.RollAngle", {"Error:  No solution"}},
        {"PinPoint.Plate", {"Unable to extract binning from FIT header.  Using default value of 1x1",
                            "Binning: 1, Image Scale=1.700", "Error:  Object variable or With block variable not set"}}};
    for (const auto &[failing, last] : cases) {
        sky->clearFailures();
        open({{"CatalogPath", QStringLiteral("/cat")}});
        imaging->onExposure = [&] {
            failing.startsWith(u"Plate.") ? sky->failMember(failing, VbError(1001, QStringLiteral("No solution")))
                                          : sky->failCreation(failing);
        };
        window->cmdImageLink->click();
        EXPECT_EQ(log().mid(log().size() - 2 - last.size(), last.size()), last) << log().join('\n').toStdString();
        EXPECT_EQ(commands(), QString()) << failing.toStdString(); // no "p" with an old angle
        window.reset();
    }
}

TEST_F(ProcedureBench, SpiralSearchTriesTwelveQuarterFieldsThenFails)
{
    imaging->solveAfter = false;
    imaging->cameraXSize = 3072;
    imaging->cameraYSize = 2048;
    sky->telescopeRa = 23.999;
    open({{"ImagingProgram", 1}, {"CatalogPath", QStringLiteral("/cat")}});
    window->cmdImageLink->click();
    const QStringList lines = log();
    EXPECT_EQ(lines.filter(QStringLiteral("Spiral search #)")).size(), 12);
    EXPECT_EQ(lines.filter(QStringLiteral("Spiral search #)")).last(), QStringLiteral("Spiral search #)12"));
    EXPECT_EQ(sky->calls(QStringLiteral("Plate.Solve")).size(), 13);
    EXPECT_TRUE(lines.contains(QStringLiteral("Error:  Unable to solve plate")));
    // The first retry: a quarter of the sensor's height east in hours, of its width south.
    const QStringList targets = sky->calls(QStringLiteral("Plate.TargetRightAscension="));
    ASSERT_GE(targets.size(), 2);
    EXPECT_NEAR(targets[1].section('=', 1).toDouble(), 23.999 + 512 * 1.7 / 3600 / 15 - 24, 1e-9);
}

// Abort pressed in an outside call, the port closed, or a firmware upload owning the line;
// the plate solver's angle is 180.
TEST_F(ProcedureBench, AbortInAnOutsideCallOrAClosedPortSendsNoMotionAndRecordsNothing)
{
    const auto align = &frmZELUtilities::cmdAlignCCD, link = &frmZELUtilities::cmdImageLink;
    const struct { QPushButton *frmZELUtilities::*button; const char *abortIn, *commands; bool uploading = false; int nth = 1; } cases[] = {
        {align, "Plate.Solve", ""}, {align, "Telescope.GetRaDec", ""}, {align, "Chart.DocumentProperty", "p36000 "},
        {link, "Plate.Solve", ""}, {link, "Chart.Refresh", ""}, {link, "Utils.Precess2000ToNow", "p36000 "},
        {link, "Plate.Solve", "p36000 ", false, 2}, // the second pass's solve, after the slew
        {align, nullptr, ""}, {link, nullptr, ""}, {align, nullptr, "", true}};
    for (const auto &c : cases) {
        open({{"CatalogPath", QStringLiteral("/cat")}, {"ZELSynchedToTelescope", 5}});
        window->chkSlewTele->setChecked(true);
        sharedLink()->setConnected(c.abortIn || c.uploading);
        Module().tools.FlashInProgress = c.uploading;
        sky->onCall = [&, seen = 0](const QString &e) mutable {
            if (c.abortIn && e.startsWith(QLatin1String(c.abortIn)) && ++seen == c.nth) window->cmdAbort->click();
        };
        const qsizetype slews = sky->calls(QStringLiteral("Telescope.SlewToRaDec")).size();
        (window.get()->*c.button)->click();
        Module().tools.FlashInProgress = false;
        if (!sharedLink()->Connected()) // reopening clears what the controller has not read yet
            sharedLink()->setConnected(true);
        EXPECT_EQ(commands(), QString::fromLatin1(c.commands)) << c.abortIn;
        EXPECT_EQ(sky->calls(QStringLiteral("Telescope.SlewToRaDec")).size() - slews, c.nth - 1) << c.abortIn;
        EXPECT_TRUE(log().at(log().size() - 3).endsWith(c.abortIn     ? "Aborted"
                                                        : c.uploading ? "Error:  A firmware upload is in progress."
                                                                      : "Error:  The communications port is not open."));
        EXPECT_EQ(DriverKey::stored(QStringLiteral("ZELSynchedToTelescope")), 5) << c.abortIn;
        window.reset();
    }
}

TEST(AlignmentRules, AnglesAndTargets)
{
    bool mirror = false;
    EXPECT_DOUBLE_EQ(PlateSolve::PinPointAngle(-30, 1, 1, mirror), 210);
    EXPECT_DOUBLE_EQ(PlateSolve::PinPointAngle(30, -1, 1, mirror), 330);
    EXPECT_TRUE(mirror);
    const TelescopeSlew::RaDec folded = TelescopeSlew::FoldTarget({-0.5, 91});
    EXPECT_DOUBLE_EQ(folded.ra, 11.5);
    EXPECT_DOUBLE_EQ(folded.dec, 89);
    EXPECT_DOUBLE_EQ(TelescopeSlew::FoldTarget({24, 10}).ra, 0);
}

} // namespace
