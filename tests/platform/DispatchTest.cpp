#include "platform/CreateObject.h"
#include "platform/Dispatch.h"

#include <gtest/gtest.h>

namespace {

class Sample : public Dispatch
{
public:
    Sample()
    {
        PropertyGet("Count", [this] { return Count; });
        PropertyLet("Count", [this](int16_t value) { Count = value; });
        PropertyGet("Item", [this](int16_t index) { return Items.at(index); });
        PropertyLet("Item", [this](int16_t index, const QString &value) { Items[index] = value; });
        PropertyGet("ReadOnly", [] { return 0.5625; });
        PropertyLet("WriteOnly", [this](bool value) { Flag = value; });
        Method("Add", [](int32_t a, int32_t b) { return a + b; });
        Method("Echo", [](const Variant &value) { return value; });
        Method("CountArgs", [](const VariantArray &args) { return int32_t(args.size()); });
        Method("Halt", [this] { ++Halts; });
        Method("Refuse", [] { throw AutomationError(1042, "Fan Speed value out of range.", "VKM"); });
    }

    int16_t Count = 0;
    QStringList Items{"a", "b"};
    bool Flag = false;
    int Halts = 0;
};

int errorOf(const std::function<void()> &access)
{
    try {
        access();
    } catch (const AutomationError &error) {
        return error.number();
    }
    return 0;
}

} // namespace

TEST(Dispatch, NamesMatchWithoutRegardToCase)
{
    Sample sample;
    sample.Let("cOuNt", Variant("12"));
    EXPECT_EQ(sample.Get("COUNT"), Variant(int16_t(12)));
    EXPECT_EQ(sample.Call("add", {2, 3}), Variant(int32_t(5)));
    sample.Let("ITEM", {1}, Variant(int32_t(7)));
    EXPECT_EQ(sample.Get("item", {1}), Variant("7"));
}

TEST(Dispatch, RefusesWhatTheMemberTableDoesNotAllow)
{
    Sample sample;
    const struct
    {
        const char *what;
        std::function<void()> access;
        int error;
    } cases[] = {
        {"unknown get", [&] { sample.Get("Nope"); }, 438},
        {"unknown let", [&] { sample.Let("Nope", 1); }, 438},
        {"unknown call", [&] { sample.Call("Nope"); }, 438},
        {"let of a read-only property", [&] { sample.Let("ReadOnly", 1); }, 438},
        {"get of a write-only property", [&] { sample.Get("WriteOnly"); }, 438},
        {"let of a method", [&] { sample.Let("Halt", 1); }, 438},
        {"too few arguments", [&] { sample.Call("Add", {1}); }, 449},
        {"too many arguments", [&] { sample.Call("Add", {1, 2, 3}); }, 450},
        {"argument to a plain property", [&] { sample.Get("Count", {1}); }, 450},
        {"missing index of a let", [&] { sample.Let("Item", Variant("x")); }, 449},
        {"text that is no number", [&] { sample.Let("Count", Variant("abc")); }, 13},
        {"value beyond an Integer", [&] { sample.Let("Count", Variant(int32_t(40000))); }, 6},
        {"object as a number", [&] { sample.Call("Add", {Variant(std::make_shared<Sample>()), 1}); }, 13},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(errorOf(c.access), c.error);
    }
    EXPECT_EQ(sample.Count, 0);
    try {
        sample.Get("nope");
    } catch (const AutomationError &error) {
        EXPECT_EQ(error.description(), "Object doesn't support this property or method");
    }
}

TEST(Dispatch, CoercesArgumentsAsALateBoundCall)
{
    Sample sample;
    EXPECT_EQ(sample.Call("Add", {Variant("2.5"), Variant(true)}), Variant(int32_t(1))); // 2 + -1
    EXPECT_EQ(sample.Call("Add", {Variant(3.5), Variant()}), Variant(int32_t(4)));
    sample.Let("WriteOnly", Variant("True"));
    EXPECT_TRUE(sample.Flag);
    sample.Let("WriteOnly", Variant(int16_t(0)));
    EXPECT_FALSE(sample.Flag);
    EXPECT_EQ(sample.Call("Echo", {Variant(0.1f)}), Variant(0.1f));
    EXPECT_EQ(sample.Call("CountArgs", {1, 2, 3, 4}), Variant(int32_t(4)));
    EXPECT_EQ(sample.Call("CountArgs"), Variant(int32_t(0)));
}

TEST(Dispatch, MethodsReadAsPropertiesAndPropertiesCallAsMethods)
{
    Sample sample;
    EXPECT_EQ(sample.Call("ReadOnly"), Variant(0.5625));
    EXPECT_TRUE(sample.Get("Halt").isEmpty());
    EXPECT_TRUE(sample.Call("Halt").isEmpty());
    EXPECT_EQ(sample.Halts, 2);
}

TEST(Dispatch, RefusalsPassUnchanged)
{
    Sample sample;
    try {
        sample.Call("refuse");
        ADD_FAILURE();
    } catch (const AutomationError &error) {
        EXPECT_EQ(error.number(), 1042);
        EXPECT_EQ(error.description(), "Fan Speed value out of range.");
        EXPECT_EQ(error.source(), "VKM");
    }
}

TEST(CreateObject, InProcessClassesComeFirstAndMatchWithoutCase)
{
    RegisterInProcessClass("VkmTest.InProcess", [] { return std::make_shared<Sample>(); });
    const auto object = CreateObject("vkmtest.INPROCESS");
    EXPECT_NE(dynamic_cast<Sample *>(object.get()), nullptr);
    EXPECT_NE(CreateObject("VkmTest.InProcess"), object); // a new object each time
    UnregisterInProcessClass("VKMTEST.InProcess");
    EXPECT_THROW(CreateObject("VkmTest.InProcess"), AutomationError);
}
