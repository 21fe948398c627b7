#include "platform/Vb.h"
#include "tools/HeaterModel.h"

#include <QList>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// Set A: half-minute points, the heater at 50 % after 2 minutes, the mirror answering
// 3 minutes later with a 15-minute time constant.
HeaterModel setA()
{
    HeaterModel model;
    model.PointCount = 120;
    for (int i = 1; i <= 120; ++i) {
        const double t = 0.5 * i;
        model.DataSet[i - 1] = {float(t), t <= 2.0 ? 0.0f : 50.0f,
                                float(t <= 5.5 ? 40.0 : 40 + 10 * (1 - std::exp(-(t - 5.5) / 15)))};
    }
    return model;
}

} // namespace

TEST(HeaterModelFit, SetAGivesTheModelAndItsCoefficients)
{
    HeaterModel model = setA();
    QList<int> progress;
    model.Progress = [&](int p) { progress << p; };
    model.PrepareModelData();
    EXPECT_FLOAT_EQ(model.SwitchOnTime, 2.5f);
    EXPECT_FLOAT_EQ(model.HeaterStep, 50);
    ASSERT_TRUE(model.FitHeaterModel());
    EXPECT_EQ(vb::Format(model.Gain, QStringLiteral("0.0000")), QStringLiteral("0.2008"));
    EXPECT_EQ(vb::Format(model.TimeConstant, QStringLiteral("0.00")), QStringLiteral("15.19"));
    EXPECT_EQ(vb::Format(model.DeadTime, QStringLiteral("0.00")), QStringLiteral("2.95"));
    const auto r2 = model.GoodnessOfFit();
    ASSERT_TRUE(r2.has_value());
    EXPECT_NEAR(*r2, 0.9977, 0.001);
    EXPECT_EQ(progress.last(), 100);

    const auto c = HeaterModel::Derive(model.Gain, model.TimeConstant, model.DeadTime);
    ASSERT_TRUE(c.has_value());
    EXPECT_EQ(c->proportional, QStringLiteral("0.2168"));
    EXPECT_EQ(c->integral, QStringLiteral("15.19"));
    EXPECT_EQ(c->derivative, QStringLiteral("1.48"));
    EXPECT_EQ(c->derivativeTime, QStringLiteral("10"));
    EXPECT_EQ(c->integralLimit, QStringLiteral("350"));
}

TEST(HeaterModelFit, CoefficientsFollowTheModelValues)
{
    struct Case { float k, t, l; const char *p, *integral, *derivative, *limit; };
    const Case cases[] = {
        {0.2f, 15, 2, "0.3173", "15.00", "1.00", "236"},
        {0.2f, 15, 2.25f, "0.2821", "15.00", "1.13", "265"},
        // Either side of 0.8 L = 0.1 T = 1.2: the larger of the two is lambda.
        {0.2f, 12, 1.45f, "0.3429", "12.00", "0.73", "174"},
        {0.2f, 12, 1.55f, "0.3275", "12.00", "0.77", "183"},
        // A gain that goes out as 0 hundredths gives no integral limit.
        {0.2f, 1, 10, "0.0042", "1.00", "5.00", ""},
    };
    for (const Case &c : cases) {
        const auto d = HeaterModel::Derive(c.k, c.t, c.l);
        ASSERT_TRUE(d.has_value());
        EXPECT_EQ(d->proportional, QString::fromLatin1(c.p)) << c.l;
        EXPECT_EQ(d->integral, QString::fromLatin1(c.integral));
        EXPECT_EQ(d->derivative, QString::fromLatin1(c.derivative));
        EXPECT_EQ(d->integralLimit, QString::fromLatin1(c.limit));
    }
    // A gain so high that the shown proportional gain is 0 leaves no integral limit.
    EXPECT_FALSE(HeaterModel::Derive(5000, 15, 2).has_value());
}

TEST(HeaterModelFit, DegenerateDataGiveNoFit)
{
    HeaterModel flat = setA();
    for (int i = 0; i < flat.PointCount; ++i)
        flat.DataSet[i][HeaterModel::Power] = 0; // no heat challenge
    flat.PrepareModelData();
    EXPECT_FALSE(flat.FitHeaterModel());

    // The last point at 20 % after a client's change: the power did not stay at its step.
    HeaterModel changed = setA();
    changed.DataSet[119][HeaterModel::Power] = 20;
    changed.PrepareModelData();
    EXPECT_FALSE(changed.FitHeaterModel());

    // The goodness is the squared slope: 1 for a perfect model, 4 for twice its values.
    HeaterModel model = setA();
    model.PrepareModelData();
    model.Gain = 0.2f;
    model.TimeConstant = 15;
    model.DeadTime = 3;
    for (float factor : {1.0f, 2.0f}) {
        float t = model.StartTime;
        for (int i = 0; i < model.PointCount; ++i, t += model.TimeStep)
            model.DataSet[i][HeaterModel::Temperature] = factor * model.ModelValue(t);
        EXPECT_NEAR(*model.GoodnessOfFit(), factor * factor, 1e-3);
    }
    model.Gain = 0; // a flat model
    EXPECT_FALSE(model.GoodnessOfFit().has_value());

    // A reading beyond the range of Single leaves no finite goodness.
    model.Gain = 0.2f;
    model.DataSet[60][HeaterModel::Temperature] = INFINITY;
    EXPECT_FALSE(model.GoodnessOfFit().has_value());
}
