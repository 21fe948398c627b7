#include "ConsoleFixture.h"


class ConsoleParser : public ConsoleFixture
{
protected:
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        open();
    }
};

TEST_F(ConsoleParser, TemperaturesShowAsReportedAcrossChunks)
{
    Module().settings.Celcius = 1; // the console never converts
    feed({":t1 68", "12 ", ":t2 72", "50 :t3 ", "-125 "});
    EXPECT_EQ(form->lblAmbient[0]->text(), QStringLiteral("68.12"));
    EXPECT_EQ(form->lblAmbient[1]->text(), QStringLiteral("68.12"));
    EXPECT_DOUBLE_EQ(Module().temperatures.AmbientTemperature, 68.12);
    EXPECT_EQ(form->lblPrimary->text(), QStringLiteral("72.5"));
    EXPECT_EQ(form->lblSecondary->text(), QStringLiteral("-1.25"));
    EXPECT_DOUBLE_EQ(Module().temperatures.SecondaryTemperature, -1.25);
    feed({":t1 warm :t2 1E300 "}); // no temperature a sensor reports
    EXPECT_EQ(form->lblAmbient[0]->text(), QStringLiteral("68.12"));
    EXPECT_EQ(form->lblPrimary->text(), QStringLiteral("72.5"));
}

TEST_F(ConsoleParser, ModesAndPowersWithTheirRangesAndHolds)
{
    ModuleState &m = Module();
    struct Case { const char *chunk; bool fanHold; const char *checked; int fanSpin; int fanSpeed; };
    const Case cases[] = {
        {":fm 0 ", false, "optFan_0", 0, 0},
        {":fm 2 ", false, "optFan_2", 0, 0},
        {":fm 3 ", false, "optFan_2", 0, 0},   // beyond the three modes: ignored
        {":fm 1 ", true, "optFan_2", 0, 0},    // held
        {":fs 150 ", false, "optFan_2", 100, 100},
        {":fs -5 ", false, "optFan_2", 100, 100},
        {":fs 100 ", false, "optFan_2", 100, 100},
        {":fs 40 ", true, "optFan_2", 100, 40}, // held: stored, not shown
        {":fs 30 ", false, "optFan_2", 30, 30},
    };
    for (const Case &c : cases) {
        form->FanHold = c.fanHold;
        feed({QString::fromLatin1(c.chunk)});
        EXPECT_TRUE(form->findChild<QRadioButton *>(QString::fromLatin1(c.checked))->isChecked()) << c.chunk;
        EXPECT_EQ(form->UpDown2->value(), c.fanSpin) << c.chunk;
        EXPECT_EQ(m.temperatures.FanSpeed, c.fanSpeed) << c.chunk;
    }
    form->FanHold = false;

    feed({":sm 1 :ss 250 "});
    EXPECT_TRUE(form->optSec[1]->isChecked());
    EXPECT_EQ(form->UpDown4->value(), 100);
    EXPECT_EQ(m.temperatures.SecondaryHeaterPower, 100);

    // A dew heater's power above 0 ticks its box and frees its spinner.
    EXPECT_FALSE(form->UpDown5->isEnabled());
    feed({":d1 150 :d2 -1 "});
    EXPECT_EQ(form->UpDown5->value(), 100);
    EXPECT_EQ(form->lblDew1->text(), QStringLiteral("100"));
    EXPECT_TRUE(form->chkDew1->isChecked());
    EXPECT_TRUE(form->UpDown5->isEnabled());
    EXPECT_FALSE(form->chkDew2->isChecked());
    form->Dew2Hold = true;
    feed({":d2 20 "});
    EXPECT_EQ(form->UpDown6->value(), 0);

    // Reports send nothing while no control is held.
    EXPECT_EQ(sent(), QString());
}

TEST_F(ConsoleParser, TheRestartNoticeIsNotAnswered)
{
    feed({":! :a 5 "});
    EXPECT_EQ(form->lblActual->text(), QStringLiteral("5"));
    feed({":a abc "}); // shown as received
    EXPECT_EQ(form->lblActual->text(), QStringLiteral("abc"));
    EXPECT_EQ(sent(), QString());
}

TEST_F(ConsoleParser, RotatorPositionsAndMotorState)
{
    ModuleState::Rotator &r = Module().rotator;
    feed({":rs 9000 :rt 100 "});
    EXPECT_EQ(form->lblRotate->text(), QStringLiteral("45.00"));
    EXPECT_EQ(r.RotatorSetPosition, 9000);
    EXPECT_EQ(r.RotatorPosition, 100);
    EXPECT_EQ(r.RotatorDirection, 1);
    EXPECT_TRUE(r.RotatorMoving);
    EXPECT_FALSE(r.RotatorMovePending); // no planetarium: nothing pending

    form->optSet[1]->setChecked(true);
    feed({":rt 50 "});
    EXPECT_EQ(form->lblRotate->text(), QStringLiteral("0.25"));
    EXPECT_EQ(r.RotatorDirection, -1);
    r.RotatorSetPosition = 50;
    feed({":rt x :rs 1E300 "}); // no step count: only the moving flag
    EXPECT_EQ(r.RotatorPosition, 50);
    EXPECT_EQ(r.RotatorSetPosition, 50);
    EXPECT_FALSE(r.RotatorMoving);

    feed({":mb 1 "});
    EXPECT_TRUE(Module().focuser.ForceMotorOff);
    feed({":mb 0x "}); // read by its leading digits, no numeric test
    EXPECT_FALSE(Module().focuser.ForceMotorOff);
}

TEST_F(ConsoleParser, TheWrapCrossingSendsOneStop)
{
    ModuleState &m = Module();
    m.settings.ZELLimit = 540;
    m.rotator.LastWrap = 107000;
    feed({":wr 108000 "});
    EXPECT_FALSE(form->WrapLimitStopped);
    feed({":wr 1080", "01 "});
    EXPECT_TRUE(form->WrapLimitStopped);
    ASSERT_NE(WrapMessageForm(false), nullptr);
    EXPECT_TRUE(WrapMessageForm(false)->isVisible());
    EXPECT_TRUE(form->Timer3.Enabled());
    feed({":wr 108500 "});
    EXPECT_EQ(sent(), QStringLiteral("q0 "));
    EXPECT_EQ(m.rotator.LastWrap, 108500);

    // The guard re-arms once the rotator is seen standing.
    m.rotator.RotatorMoving = false;
    form->Timer3_Timer();
    EXPECT_FALSE(form->WrapLimitStopped);

    // After a wrap of 0 nothing stops; a value that is not a number still refreshes LastWrap.
    m.rotator.LastWrap = 0;
    feed({":wr -200000 "});
    EXPECT_FALSE(form->WrapLimitStopped);
    feed({":wr none "});
    EXPECT_EQ(m.rotator.LastWrap, -200000);
    feed({":wr -200001 "});
    EXPECT_TRUE(form->WrapLimitStopped);
    EXPECT_EQ(sent(), QStringLiteral("q0 "));
}

TEST_F(ConsoleParser, TheMoveWatchWaitsForTheRotator)
{
    ModuleState::Rotator &r = Module().rotator;
    form->FanHold = form->Dew2Hold = true;
    r.RotatorMovePending = true;
    r.RotatorMoving = true;
    form->WrapLimitStopped = true;
    form->Timer3_Timer();
    EXPECT_FALSE(form->FanHold);
    EXPECT_FALSE(form->Dew2Hold);
    EXPECT_TRUE(form->Timer3.Enabled());
    EXPECT_TRUE(form->WrapLimitStopped);
    r.RotatorMoving = false;
    form->Timer3_Timer();
    EXPECT_FALSE(form->Timer3.Enabled());
    EXPECT_FALSE(r.RotatorMovePending);
    EXPECT_FALSE(form->WrapLimitStopped);
}
