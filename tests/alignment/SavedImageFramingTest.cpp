#include "UtilitiesBench.h"
#include "alignment/SavedImageFraming.h"
#include "platform/ClockTimer.h"

#include <QPushButton>
#include <deque>

namespace {

const QString End = QStringLiteral("********END FRAME FROM SAVED IMAGE**********");

// Frame from Saved Image with the TheSky engine and CCDSoft: the camera program's WCS
// insertion solves every image; TheSky's rotation is the saved image's angle, then the
// angles of the new images in turn (the last one repeats).
class FramingBench : public UtilitiesBench
{
protected:
    void SetUp() override
    {
        UtilitiesBench::SetUp();
        imaging->centreRa = 5.5;
        imaging->centreDec = -12.25;
    }

    void frame(double savedAngle, std::deque<double> angles,
               std::initializer_list<std::pair<const char *, QVariant>> settings = {{"AstrometricEngine", 1},
                                                                                    {"MaxItterations", 1}},
               QStringList cards = {QStringLiteral("OBJCTRA = '05 30 00.0'"), QStringLiteral("OBJCTDEC = '-12 15 00.0'"),
                                    QStringLiteral("CCDXBIN = 2")})
    {
        const QString file = dataDir.filePath(QStringLiteral("saved.fit"));
        FakeImaging::WriteFits(file, cards);
        prompts.chosenFile = file;
        sky->screenRotation = savedAngle;
        sky->asynchronous = 0;
        imaging->onExposure = [this, angles]() mutable {
            sky->screenRotation = angles.front();
            if (angles.size() > 1)
                angles.pop_front();
            if (onImage)
                onImage();
        };
        open(settings);
        window->cmdSavedImage->click();
    }

    // Every run ends with its end lines, the buttons back and TheSky's telescope asynchronous.
    void expectCleanEnd(const char *what, int32_t asynchronous = 1)
    {
        EXPECT_EQ(sky->asynchronous, asynchronous) << what;
        EXPECT_EQ(log().last(2), QStringList({End, QString()})) << what << "\n" << log().join('\n').toStdString();
        EXPECT_TRUE(window->cmdSavedImage->isEnabled()) << what;
        EXPECT_FALSE(window->cmdAbort->isEnabled()) << what;
        EXPECT_FALSE(window->AbortRequested) << what;
    }

    std::function<void()> onImage;
};

// --- the saved image's header ---

struct HeaderCase
{
    const char *what;
    int engine;
    QStringList cards;
    QStringList lines;    // in this order in the log
    QStringList keywords; // the first keywords written
};

class HeaderReading : public FramingBench, public ::testing::WithParamInterface<HeaderCase>
{
};

TEST_P(HeaderReading, FindsTheHintBinningAndScale)
{
    const HeaderCase &c = GetParam();
    sky->telescopeRa = 5.5;
    sky->telescopeDec = -0.25;
    frame(80, {80}, {{"AstrometricEngine", c.engine}, {"MaxItterations", 1}, {"CatalogPath", QStringLiteral("/cat")}},
          c.cards);
    const QStringList lines = log();
    qsizetype at = 0;
    for (const QString &line : c.lines) {
        at = lines.indexOf(line, at);
        EXPECT_GE(at, 0) << c.what << ": " << line.toStdString() << "\n" << lines.join('\n').toStdString();
    }
    EXPECT_EQ(imaging->fitsKeywords.mid(0, c.keywords.size()), c.keywords) << c.what;
    expectCleanEnd(c.what);
}

INSTANTIATE_TEST_SUITE_P(
    Stage, HeaderReading,
    ::testing::Values(
        HeaderCase{"header coordinates",
                   1,
                   {"OBJCTRA = '12 30 05.3'", "OBJCTDEC = '-05 30 00'", "OBJECT = 'M51'", "CCDXBIN = 2"},
                   {"Object: M51", "Binning: 2, Image Scale=3.400", "Coord (2000): RA:12 30 05.3, DEC:-05 30 00"},
                   // The pass's keywords in the layout of the formatted target.
                   {"OBJCTRA=12 30 05.3", "OBJCTDEC=-05 30 00.0"}},
        HeaderCase{"telescope fallback",
                   1,
                   {"OBJECT = 'M1'", "XBINNING = 0"},
                   {"Unable to extract binning from FIT header.  Using default value of 1x1", "Binning: 1, Image Scale=1.700",
                    "Unable to obtain coordinates from saved image, using telescope coordinates",
                    "Coord (2000): RA:05:30:00.0, DEC:-00:15:00.0"},
                   {"OBJCTRA=05 30 00.0", "OBJCTDEC=-00 15 00.0"}},
        HeaderCase{"plate solver",
                   0,
                   {"OBJCTRA = '12 30 05.3'", "OBJCTDEC = '-05 30 00'", "OBJECT = 'M51'", "XBINNING = 2"},
                   {"Object: M51", "Binning: 2, Image Scale=3.400", "Coord (2000): RA:12:30:05.3, DEC:-05:30:00.0",
                    "Attempting PinPoint WCS insertion:", "     WCS insertion successful"},
                   // CCDSoft's pass image gets the saved image's solved centre.
                   {"OBJCTRA=00 00 00.0", "OBJCTDEC=+00 00 00.0"}},
        HeaderCase{"binning below 1 is missing", 0, {"XBINNING = -3"}, {"Binning: 1, Image Scale=1.700"}, {}},
        HeaderCase{"hours overflowing are missing", 1, {"OBJCTRA = '1e308 0 0'", "OBJCTDEC = '-05 30 00'"},
                   {"Coord (2000): RA:05:30:00.0, DEC:-00:15:00.0"}, {}}),
    [](const auto &info) { return std::string("case") + std::to_string(info.index); });

// --- solving, separation and the rotator ---

struct WcsFailure : FramingBench, ::testing::WithParamInterface<const char *> {};

// The insertion is judged by its error, also one of the header's last call (AutoContrast).
TEST_P(WcsFailure, SolvesTheSavedImageByImageLink)
{
    sky->failMember(QString::fromLatin1(GetParam()), VbError(1000, QStringLiteral("No stars")));
    sky->objectRa = 5.5;
    sky->objectDec = -12.25;
    onImage = [this] {
        // The new images are image-linked too.
        sky->clearFailures();
        sky->failMember(QStringLiteral("Image.InsertWCS"), VbError(1000, QStringLiteral("No stars")));
        sky->objectRa = 5.501;
        sky->objectDec = -12.24;
    };
    // The first slew ends after about 3.5 s; True (-1) is not the telescope's "done".
    sky->slewCompleteAfter = -1;
    ClockTimer slewEnds;
    slewEnds.setSingleShot(true);
    QObject::connect(&slewEnds, &ClockTimer::timeout, [this] { sky->slewCompleteAfter = 1; });
    slewEnds.start(3500);
    frame(80, {30});
    const QStringList lines = log();
    for (const char *line : {"    WCS Insertion Failed:  No stars", "Attempting Image Link", "    Image Link Successful",
                             "Image link Coordinates (2000):", "     RA: 05:30:00.0, DEC: -12:15:00.0, Angle: 80.00",
                             "    Image link successful", "Initial Image Link Coords (2000):",
                             "     Separation angle: 64.90\"", "Slewing Telescope..."})
        EXPECT_TRUE(lines.contains(QString::fromLatin1(line))) << line << "\n" << lines.join('\n').toStdString();
    expectCleanEnd("image link");
}

INSTANTIATE_TEST_SUITE_P(Stage, WcsFailure, ::testing::Values("Image.InsertWCS", "Image.AutoContrast"),
                         [](const auto &info) { return std::string(info.index ? "AutoContrast" : "InsertWCS"); });

TEST_F(FramingBench, TurnsTheRotatorByTheMissingAngleWithinTheWrap)
{
    struct { double angle; int32_t zelLimit, wrap; const char *commands, *turn; bool reversed; } const cases[] = {
        {30, 540, 0, "p6000 j10000 ", "Rotating ZEL by 50.00 degrees", false},
        {30, 540, 100000, "p6000 j-62000 ", "Rotating ZEL by 50.00 degrees", true},
        {79.5, 540, 107950, "p15900 j-71900 ", "Rotating ZEL by 0.50 degrees", true},
        {79.5, 1, 150, "p15900 ", "Rotating ZEL by 0.50 degrees", false}, // neither way within: none
        {80, 540, -110000, "p16000 j0 ", "Rotating ZEL by 0.00 degrees", false}, // a step of 0 winds no farther
    };
    for (const auto &c : cases) {
        Module().settings.ZELLimit = c.zelLimit;
        sim.setRotatorWrap(c.wrap);
        frame(80, {c.angle});
        EXPECT_EQ(commands(), QString::fromLatin1(c.commands)) << c.wrap;
        EXPECT_TRUE(log().contains(QString::fromLatin1(c.turn))) << c.wrap;
        EXPECT_EQ(log().contains(QStringLiteral("WRAP limit detected, reversing direction.")), c.reversed) << c.wrap;
        expectCleanEnd("rotator");
    }
}

TEST_F(FramingBench, RotatorWaitEndsOnlyOnItsOwnTargetReported)
{
    // A poll answered before the "j" arrives after it: the old target and position.
    QObject::connect(&sim, &ControllerSimulator::commandReceived, &parserHolder, [this](const QString &command) {
        if (command.startsWith(QLatin1Char('j')))
            sim.sendRaw(":wr 0 :rs 0 :rt 0 ");
    });
    sim.setRotatorSpeed(100); // 10000 steps take a second
    QList<bool> turningAtExposure;
    onImage = [&] { turningAtExposure << sim.rotatorMoving(); };
    frame(50, {0}); // "p0 j10000 "
    EXPECT_EQ(turningAtExposure, QList<bool>({false, false}));
    expectCleanEnd("stale report");
    // A poll lands before each "p"; the second pass aims at 16000 again, the last arrival.
    turningAtExposure.clear();
    sky->onCall = [this](const QString &e) { if (e.startsWith(u"FOVs.Property(Camera,0,1)=")) sharedLink()->Transmit(" R "); };
    sim.setChunking({24}); // the old report in two chunks
    frame(80, {30, 60, 80}, {{"AstrometricEngine", 1}, {"MaxItterations", 2}}); // j10000, then j4000
    EXPECT_EQ(turningAtExposure, QList<bool>({false, false, false}));
    // No stale report; every query, the polls too, answered 1.5 s late while 4000 steps take 4 s.
    QObject::disconnect(&sim, &ControllerSimulator::commandReceived, &parserHolder, nullptr);
    answerRotatorQueriesLate(1500, 10);
    frame(80, {30, 60, 80}, {{"AstrometricEngine", 1}, {"MaxItterations", 2}});
    EXPECT_EQ(turningAtExposure, QList<bool>(6, false)); // three exposures more
    expectCleanEnd("late answers");
}

TEST_F(FramingBench, FailingPassExposureEndsTheRunAfterAPlateSolverSolve)
{
    onImage = [this] { sky->failMember(QStringLiteral("Camera.TakeImage"), VbError(1003, QStringLiteral("Camera gone"))); };
    frame(80, {30}, {{"AstrometricEngine", 0}, {"CatalogPath", QStringLiteral("/cat")}, {"MaxItterations", 1}});
    EXPECT_EQ(log().mid(log().size() - 3, 1), QStringList({"ERROR:  Camera gone"}));
    EXPECT_EQ(log().filter(QStringLiteral("Attempting WCS insertion:")).size(), 1); // the first image's solve only
    expectCleanEnd("pass exposure");
}

TEST_F(FramingBench, PassSpiralRetryStartsOnANewPlate)
{
    imaging->solves = {true, true, false, true}; // saved image, first image, the pass twice
    frame(80, {30}, {{"AstrometricEngine", 0}, {"CatalogPath", QStringLiteral("/cat")}, {"MaxItterations", 1}});
    EXPECT_EQ(sky->calls(QStringLiteral("CreateObject(PinPoint.Plate)")).size(), 4);
    EXPECT_EQ(log().filter(QStringLiteral("Object: ")).size(), 4);
    EXPECT_EQ(log().filter(QStringLiteral("Binning: ")).size(), 3); // not again for the retry
    expectCleanEnd("spiral retry");
}

// --- the framing passes and their end ---

struct PassCase
{
    const char *what;
    double savedAngle;
    std::deque<double> angles;
    int maxIterations;
    int passes;
};

class FramingPasses : public FramingBench, public ::testing::WithParamInterface<PassCase>
{
};

TEST_P(FramingPasses, RepeatUntilWithinTheLimitsOrSpent)
{
    const PassCase &c = GetParam();
    frame(c.savedAngle, c.angles, {{"AstrometricEngine", 1}, {"MaxItterations", c.maxIterations}});
    EXPECT_EQ(log().filter(QStringLiteral("     Image coords (2000): RA:")).size(), c.passes) << c.what;
    EXPECT_EQ(log().filter(QStringLiteral("Slewing telescope")).size(), c.passes) << c.what;
    expectCleanEnd(c.what);
}

INSTANTIATE_TEST_SUITE_P(Stage, FramingPasses,
                         ::testing::Values(PassCase{"converges across north", 359.9, {0.1, 359.95}, 5, 1},
                                           PassCase{"runs out of passes", 80, {30}, 3, 3},
                                           PassCase{"converges on the second", 80, {30, 60, 80}, 5, 2},
                                           PassCase{"at least one pass", 80, {80}, 0, 1}),
                         [](const auto &info) { return std::string("case") + std::to_string(info.index); });

TEST_F(FramingBench, PassSlewsByTheRemainingErrorFoldedIntoOneDay)
{
    imaging->centreRa = 23.99;
    onImage = [this] { imaging->centreRa = 0.005; };
    frame(80, {80});
    const QStringList slews = sky->calls(QStringLiteral("Telescope.SlewToRaDec"));
    ASSERT_EQ(slews.size(), 2) << sky->journal.join('\n').toStdString();
    EXPECT_NEAR(slews[1].section('(', 1).section(',', 0, 0).toDouble(), 23.975, 1e-9);
}

TEST_F(FramingBench, NormalEndRecordsThePierSideFromTheFoldedHourAngle)
{
    Module().settings.CheckTelescope = true;
    const std::pair<double, int16_t> cases[] = {{23.9, -1}, {5.45, 1}, {5.35, -1}};
    for (const auto &[lst, side] : cases) {
        sky->localSiderealTime = lst;
        Module().thesky.PierSide = 0;
        frame(80, {80});
        EXPECT_EQ(Module().thesky.PierSide, side) << lst;
    }
}

struct ErrorCase
{
    const char *what;
    int engine;
    const char *line;
    const char *failing = nullptr; // a read of the saved image's solve that fails
};

class FramingError : public FramingBench, public ::testing::WithParamInterface<ErrorCase>
{
};

TEST_P(FramingError, EndsWithTheErrorLine)
{
    const ErrorCase &c = GetParam();
    if (c.failing)
        sky->failMember(QString::fromLatin1(c.failing), VbError(1001, QStringLiteral("Not read")));
    else if (c.engine == 1)
        TheSkyAutomation::ReleaseObjects();
    imaging->solveAfter = c.engine == 1 || c.failing;
    frame(80, {30}, {{"AstrometricEngine", c.engine}, {"CatalogPath", QStringLiteral("/cat")}, {"SpiralSearch", 0}});
    EXPECT_EQ(log().mid(log().size() - 3, 1), QStringList({QString::fromLatin1(c.line)})) << c.what;
    EXPECT_EQ(sky->calls(QStringLiteral("Telescope.SlewToRaDec")), QStringList()) << c.what;
    EXPECT_EQ(commands(), QString()) << c.what;
    expectCleanEnd(c.what, 0);
}

ErrorCase unread(int engine, const char *member) { return {member, engine, "ERROR:  Not read", member}; }
INSTANTIATE_TEST_SUITE_P(
    Stage, FramingError,
    ::testing::Values(ErrorCase{"no TheSky at the first slew", 1, "ERROR:  Object variable or With block variable not set"},
                      ErrorCase{"saved image unsolved", 0, "ERROR:  Unable to solve plate"},
                      ErrorCase{"engine 2 solves by plate", 2, "ERROR:  Unable to solve plate"},
                      unread(0, "Plate.RightAscension"), unread(0, "Plate.RollAngle"), unread(0, "Plate.ArcsecPerPixelHoriz"),
                      unread(0, "Plate.ArcsecPerPixelVert"), unread(1, "Image.XYToRADec"), unread(1, "Image.Width"),
                      unread(1, "TheSky.dScreenRotation"), unread(1, "Chart.DocumentProperty")),
    [](const auto &info) { return std::string("case") + std::to_string(info.index); });

TEST(FramingRules, RotationErrorAndSeparation)
{
    EXPECT_NEAR(SavedImageFraming::RotationError(359.9, 0.1), 0.2, 1e-9);
    EXPECT_NEAR(SavedImageFraming::RotationError(0.1, 359.9), 0.2, 1e-9);
    EXPECT_NEAR(SavedImageFraming::RotationError(80, 30), 50, 1e-9);
    EXPECT_NEAR(SavedImageFraming::Separation({5.001, 10.01}, {5, 10}), 64.90, 0.005);
}

// --- abort and cancel ---

struct AbortCase
{
    const char *what;
    int atMs;
    const char *call;     // the outside program's call that stopped it; "!Camera": no camera call at all
    const char *commands; // all the controller received
    const char *pressIn = nullptr; // the outside call Abort is pressed in, instead of at atMs
};

class FramingAbort : public FramingBench, public ::testing::WithParamInterface<AbortCase>
{
};

TEST_P(FramingAbort, EndsWithTheAbortedLines)
{
    const AbortCase &c = GetParam();
    const QString what = QString::fromLatin1(c.what), call = QString::fromLatin1(c.call);
    if (what == u"slew")
        sky->slewCompleteAfter = 0;
    if (what.startsWith(u"exposure"))
        imaging->notDonePolls = -1;
    if (what.endsWith(u"StopRefused")) // the abort stands all the same
        sky->failMember(call, VbError(1004, QStringLiteral("Busy")));
    if (what == u"rotator")
        sim.setRotatorSpeed(100);
    ClockTimer press;
    press.setSingleShot(true);
    QObject::connect(&press, &ClockTimer::timeout, [this] { window->cmdAbort->click(); });
    sky->onCall = [&](const QString &e) { if (c.pressIn && e.startsWith(QLatin1String(c.pressIn))) window->cmdAbort->click(); };
    if (!c.pressIn)
        press.start(c.atMs);
    frame(80, {30});
    EXPECT_EQ(log().mid(log().size() - 3, 1), QStringList({"Frame from Saved Image Aborted."})) << c.what;
    const bool absent = call.startsWith(u'!');
    if (!call.isEmpty()) {
        EXPECT_EQ(sky->calls(call.mid(absent ? 1 : 0)).isEmpty(), absent) << c.what;
    }
    EXPECT_EQ(commands(), QString::fromLatin1(c.commands)) << c.what;
    expectCleanEnd(c.what);
}

INSTANTIATE_TEST_SUITE_P(Stage, FramingAbort,
                         ::testing::Values(AbortCase{"slew", 100, "Telescope.Abort", ""},
                                           AbortCase{"backlash", 100, "!Camera", ""},
                                           AbortCase{"exposure", 2500, "Camera.Abort", ""},
                                           AbortCase{"exposureStopRefused", 2500, "Camera.Abort", ""},
                                           AbortCase{"rotator", 3500, "", "p6000 j10000 q0 "},
                                           AbortCase{"telescopeWait", 2500, "", ""},
                                           AbortCase{"firstSlew", 0, "!Telescope.SlewToRaDec", "", "Utils.Precess2000ToNow"},
                                           AbortCase{"chart", 0, "", "p6000 ", "Chart.Refresh"}),
                         [](const auto &info) { return std::string(info.param.what); });

TEST_F(FramingBench, CancelledFileChoiceEndsTheRun)
{
    open({{"AstrometricEngine", 1}});
    sky->asynchronous = 0;
    prompts.chosenFile.reset();
    window->cmdSavedImage->click();
    EXPECT_EQ(log(), QStringList({QString(), "********START FRAME FROM SAVED IMAGE**********", End, QString()}));
    expectCleanEnd("cancel", 0);
    EXPECT_EQ(sky->calls(QStringLiteral("Telescope.SlewToRaDec")), QStringList());
}

} // namespace
