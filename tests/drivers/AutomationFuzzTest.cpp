// Every member of the four automation classes with arguments of every type, out of range,
// empty and very long: each call answers or refuses with an automation error, and only the
// controller's own command texts reach the line.
#include "drivers/Focuser.h"
#include "drivers/Rotator.h"
#include "drivers/Stepper.h"
#include "drivers/Temperature.h"
#include "support/ControllerBench.h"
#include "support/Fuzz.h"
#include "support/RecordingPrompts.h"

#include <cmath>
#include <limits>

namespace {

Variant randomValue(Fuzz::Gen &gen)
{
    switch (gen.between(0, 9)) {
    case 0: return Variant();
    case 1: return Variant(gen.chance(0.5));
    case 2: return Variant(int16_t(gen.pick(QList<int>{0, 1, -1, 2, 3, 4, 100, 32767, -32768, gen.between(-300, 300)})));
    case 3: return Variant(int32_t(gen.pick(QList<qint64>{0, 1, -1, 65535, 2147483647, -2147483647 - 1, gen.between(-100000, 100000)})));
    case 4: return Variant(float(gen.pick(QList<double>{0.5, -1.5, 1e30, std::nan(""), gen.between(-1000, 1000) / 8.0})));
    case 5: {
        const double inf = std::numeric_limits<double>::infinity();
        return Variant(gen.pick(QList<double>{2.5, -0.5, 1e300, -1e300, inf, -inf, std::nan(""), 4294967296.0, gen.between(-99999, 99999) / 3.0}));
    }
    case 6: return Variant(QString::fromLatin1(gen.number()));
    case 7: return Variant(QString::fromLatin1(gen.text(40)));
    case 8: return Variant(QString(gen.pick(QList<int>{0, 1, 300, 100000}), QLatin1Char(char(gen.between(32, 126)))));
    default: return Variant(VariantArray{Variant(int16_t(1)), Variant(QStringLiteral("x"))});
    }
}

VariantArray randomArgs(Fuzz::Gen &gen)
{
    VariantArray args(gen.pick(QList<int>{0, 0, 0, 1, 1, 2, 3}));
    for (Variant &arg : args)
        arg = randomValue(gen);
    return args;
}

class AutomationFuzz : public ControllerBench
{
protected:
    // One access to `member`; a refusal is an automation error and nothing else.
    void access(Dispatch &object, const QString &member, Fuzz::Gen &gen)
    {
        const VariantArray args = randomArgs(gen);
        std::string what = member.toStdString();
        try {
            switch (gen.between(0, 2)) {
            case 0: object.Get(member, args); break;
            case 1: what += " ="; object.Let(member, args, randomValue(gen)); break;
            default: object.Call(member, args);
            }
            ++answered;
        } catch (const VbError &e) {
            EXPECT_FALSE(e.description().isEmpty()) << what;
        } catch (const std::exception &e) {
            ADD_FAILURE() << what << ": not an automation error: " << e.what();
        }
    }

    // Only printable command text on the line, never a client's control or Latin-1 bytes.
    void expectCleanLine()
    {
        for (const QChar c : sim.received())
            ASSERT_TRUE(c.unicode() >= 0x20 && c.unicode() < 0x7F) << sim.received().toStdString();
        sim.clearReceived();
    }

    RecordingPrompts prompts;
    int answered = 0;
};

} // namespace

TEST_F(AutomationFuzz, EveryMemberAnswersOrRefusesWhateverItIsGiven)
{
    std::vector<std::shared_ptr<Dispatch>> objects{std::make_shared<Focuser>(), std::make_shared<Rotator>(),
                                                   std::make_shared<Temperature>(), std::make_shared<Stepper>()};
    for (auto &object : objects)
        object->Let(object->MemberNames().contains(QStringLiteral("link")) ? QStringLiteral("Link") : QStringLiteral("Connected"),
                    Variant(true));
    Fuzz::Run(3000, [&](Fuzz::Gen &gen) {
        sim.setSilent(gen.chance(0.1));
        Dispatch &object = *objects[gen.between(0, 3)];
        const QStringList members = object.MemberNames();
        access(object, gen.pick(members), gen);
        expectCleanLine();
        prompts.boxes.clear();
    });
    EXPECT_GT(answered, 0); // the calls reach past the argument checks
    sim.setSilent(false);
    Focuser &focuser = static_cast<Focuser &>(*objects[0]);
    focuser.Let(QStringLiteral("Link"), Variant(true));
    sim.setFocuserPosition(4321);
    EXPECT_EQ(focuser.Get(QStringLiteral("Position")).toLong(), 4321);
}
