#include "alignment/TheSkyAutomation.h"
#include "link/ModuleState.h"
#include "platform/CreateObject.h"
#include "support/FakeTheSky.h"
#include "support/RecordingPrompts.h"
#include "QStringPrinter.h"

#include <QStringList>
#include <functional>
#include <gtest/gtest.h>

using namespace TheSkyAutomation;

namespace {

class TheSkyCalls : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Module().thesky = ModuleState::TheSky();
        Module().settings.Detector = QStringLiteral("Camera");
        sky = FakeTheSky::Install();
        sky->fovis[QStringLiteral("Camera")] = FakeTheSky::Fovi();
    }
    void TearDown() override
    {
        ReleaseObjects();
        FakeTheSky::Uninstall();
    }

    void connect()
    {
        ASSERT_TRUE(CreateChartObjects());
        ASSERT_TRUE(CreateTelescopeObject());
        sky->journal.clear();
    }

    std::shared_ptr<FakeTheSky> sky;
    RecordingPrompts prompts;
};

QString cantCreate(const char *progId)
{
    return QStringLiteral("Unable to creat object '%1'.  Make sure the correct version of TheSky is installed.")
        .arg(QLatin1String(progId));
}

} // namespace

TEST_F(TheSkyCalls, CreationOrderAndTheFirstFailureStopsIt)
{
    struct Case { const char *missing; int created; const char *message; };
    const Case cases[] = {
        {nullptr, 4, nullptr},
        {"TheSky6.RascomTheSky", 0, "TheSky6.RascomTheSky"},
        {"TheSky6.MyFOVS", 1, "TheSky6.MyFOVS"},
        {"thesky6.starchart", 2, "TheSky6.StarChart"},
        {"TheSky6.UTILS", 3, "TheSky6.Utils"},
    };
    const QStringList order{QStringLiteral("CreateObject(TheSky6.RascomTheSky)"), QStringLiteral("CreateObject(TheSky6.MyFOVS)"),
                            QStringLiteral("CreateObject(TheSky6.StarChart)"), QStringLiteral("CreateObject(TheSky6.Utils)")};
    for (const Case &c : cases) {
        ReleaseObjects();
        sky->clearFailures();
        sky->journal.clear();
        prompts.boxes.clear();
        if (c.missing)
            sky->failCreation(QString::fromLatin1(c.missing));
        EXPECT_EQ(CreateChartObjects(), c.missing == nullptr);
        EXPECT_EQ(sky->journal, order.mid(0, std::min(c.created + 1, 4))) << c.created;
        const ModuleState::TheSky &t = Module().thesky;
        const bool held[] = {bool(t.TheSky), bool(t.TheSkyFOVs), bool(t.TheSkyChart), bool(t.TheSkyUtils)};
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(held[i], i < c.created) << c.created << " " << i;
        if (c.message) {
            ASSERT_EQ(prompts.boxes.size(), 1);
            EXPECT_EQ(prompts.boxes[0].prompt, cantCreate(c.message));
            EXPECT_EQ(prompts.boxes[0].buttons, vbconst::vbExclamation);
            EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("VKM"));
        } else {
            EXPECT_TRUE(prompts.boxes.isEmpty());
        }
    }
}

TEST_F(TheSkyCalls, TelescopeCreationFailsWithItsOwnMessage)
{
    sky->failCreation(QStringLiteral("TheSky6.RascomTele"), VbError(-2147221005, QStringLiteral("Invalid class string")));
    EXPECT_FALSE(CreateTelescopeObject());
    EXPECT_FALSE(Module().thesky.TheSkyTelescope);
    ASSERT_EQ(prompts.boxes.size(), 1);
    EXPECT_EQ(prompts.boxes[0].prompt, cantCreate("TheSky6.RascomTele"));
    // The older sky and telescope classes answer as well, in any case.
    sky->journal.clear();
    CreateObject(QStringLiteral("thesky.rascomthesky"))->Get(QStringLiteral("DSCREENRA"));
    CreateObject(QStringLiteral("TheSky.rascomtele"))->Call(QStringLiteral("getradec"));
    EXPECT_EQ(sky->journal, QStringList({"CreateObject(TheSky.RascomTheSky)", "TheSky.dScreenRa",
                                         "CreateObject(TheSky.RascomTele)", "Telescope.GetRaDec"}));
    // Without the program at all, creation refuses with 429.
    FakeTheSky::Uninstall();
    EXPECT_FALSE(CreateChartObjects());
    EXPECT_EQ(prompts.boxes.last().prompt, cantCreate("TheSky6.RascomTheSky"));
}

TEST_F(TheSkyCalls, EachCallReachesItsMemberInOrder)
{
    connect();
    sky->fovis[QStringLiteral("Camera")].angle = 90.5;
    sky->telescopeRa = 5.5;
    sky->telescopeDec = -20;
    sky->localSiderealTime = 23.9;
    sky->slewComplete = {0};
    sky->precessRa = 0.25;
    sky->precessDec = 1;
    sky->objectRa = 3;
    sky->objectDec = 4;
    sky->screenRa = 1.5;
    sky->documentProperties[22] = int16_t(1);

    struct Case { std::function<void()> call; QStringList journal; };
    const Case cases[] = {
        {[] { EXPECT_DOUBLE_EQ(CameraAngle(), 90.5); }, {"FOVs.Property(Camera,0,1)"}},
        {[] { SetCameraAngle(230); RefreshChart(); }, {"FOVs.Property(Camera,0,1)=230", "Chart.Refresh"}},
        {[] { EXPECT_TRUE(GetFovi(FoviVisible).toBoolean()); SetFovi(FoviOffsetNorthSouth, int16_t(0)); },
         {"FOVs.Property(Camera,0,0)", "FOVs.Property(Camera,0,4)=0"}},
        {[] { EXPECT_EQ(ChartDocumentProperty(22).toLong(), 1); SetChartDocumentProperty(22, int16_t(0)); },
         {"Chart.DocumentProperty(22)", "Chart.DocumentProperty(22)=0"}},
        {[] { EXPECT_DOUBLE_EQ(TelescopeRa(), 5.5); }, {"Telescope.GetRaDec", "Telescope.dRA"}},
        {[] { RaDec p = TelescopePosition(); EXPECT_DOUBLE_EQ(p.dec, -20); },
         {"Telescope.GetRaDec", "Telescope.dRA", "Telescope.dDec"}},
        {[] { EXPECT_FALSE(IsSlewComplete()); EXPECT_TRUE(IsSlewComplete()); },
         {"Telescope.IsSlewComplete", "Telescope.IsSlewComplete"}},
        {[] { SetAsynchronous(0); Jog(3, QStringLiteral("South")); Jog(2, QStringLiteral("East")); },
         {"Telescope.Asynchronous=0", "Telescope.Jog(3,South)", "Telescope.Jog(2,East)"}},
        {[] { if (!TelescopeConnected()) ConnectTelescope(); SlewToRaDec(6, 7.5); },
         {"Telescope.IsConnected", "Telescope.SlewToRaDec(6,7.5,VKM)"}},
        {[] { EXPECT_DOUBLE_EQ(LocalSiderealTime(), 23.9); }, {"Utils.ComputeLocalSiderealTime"}},
        {[] { RaDec p = PrecessNowTo2000({5.5, -20}); EXPECT_DOUBLE_EQ(p.ra, 5.25); EXPECT_DOUBLE_EQ(p.dec, -21);
              p = Precess2000ToNow(p); EXPECT_DOUBLE_EQ(p.ra, 5.5); },
         {"Utils.PrecessNowTo2000(5.5,-20)", "Utils.Precess2000ToNow(5.25,-21)"}},
        {[] { ImageLink(1.25, 5.5, -20); RaDec p = ImageLinkCentre2000(); EXPECT_DOUBLE_EQ(p.ra + p.dec, 7); },
         {"TheSky.ImageLink(1.25,5.5,-20)", "TheSky.GetObjectRaDec2000(Image Link Information)", "TheSky.dObjectRa",
          "TheSky.dObjectDec"}},
        {[] { SetScreenRa(ScreenRa() + 2.0 / 900); SetScreenDec(ScreenDec() - 0.05); SetScreenRotation(12); SetScreenFOV(0.5); },
         {"TheSky.dScreenRa", "TheSky.dScreenRa=1.50222222222222", "TheSky.dScreenDec", "TheSky.dScreenDec=-0.05",
          "TheSky.dScreenRotation=12", "TheSky.dScreenFOV=0.5"}},
    };
    for (const Case &c : cases) {
        sky->journal.clear();
        c.call();
        EXPECT_EQ(sky->journal, c.journal);
    }
    EXPECT_DOUBLE_EQ(sky->fovis[QStringLiteral("Camera")].angle, 230);
    EXPECT_EQ(sky->asynchronous, 0);
}

TEST_F(TheSkyCalls, FailuresReachTheCaller)
{
    struct Case { std::function<void()> arrange; std::function<void()> call; int number; };
    const Case cases[] = {
        {[] {}, [] { CameraAngle(); }, 91}, // not created
        {[this] { connect(); Module().settings.Detector = QStringLiteral("Guider"); }, [] { CameraAngle(); }, 1000},
        {[this] { sky->failMember(QStringLiteral("fovs.PROPERTY="), VbError(70, QStringLiteral("Permission denied"))); },
         [] { SetFovi(FoviVisible, true); }, 70},
        {[this] { sky->failMember(QStringLiteral("Telescope.Jog"), VbError(429, QStringLiteral("gone"))); },
         [] { Jog(1, QStringLiteral("North")); }, 429},
    };
    for (const Case &c : cases) {
        c.arrange();
        try {
            c.call();
            ADD_FAILURE() << "no error " << c.number;
        } catch (const VbError &e) {
            EXPECT_EQ(e.number(), c.number);
        }
    }
    EXPECT_EQ(sky->journal.last(), QStringLiteral("Telescope.Jog(1,North)"));
}
