#include "support/FakeTheSky.h"

#include "support/FakeAutomationObject.h"

#include "platform/CreateObject.h"
#include "platform/Dispatch.h"

namespace {

class FakeRascomTheSky : public FakeObject
{
public:
    explicit FakeRascomTheSky(std::shared_ptr<FakeTheSky> s) : FakeObject(QStringLiteral("TheSky"), std::move(s))
    {
        number(QStringLiteral("dScreenRa"), &FakeTheSky::screenRa);
        number(QStringLiteral("dScreenDec"), &FakeTheSky::screenDec);
        number(QStringLiteral("dScreenRotation"), &FakeTheSky::screenRotation);
        number(QStringLiteral("dScreenFOV"), &FakeTheSky::screenFov);
        get(QStringLiteral("dObjectRa"), [this] { return sky->objectRa; });
        get(QStringLiteral("dObjectDec"), [this] { return sky->objectDec; });
        method(QStringLiteral("ImageLink"), [](double, double, double) {});
        method(QStringLiteral("GetObjectRaDec2000"), [](const QString &) {});
    }
};

class FakeRascomTele : public FakeObject
{
public:
    explicit FakeRascomTele(std::shared_ptr<FakeTheSky> s) : FakeObject(QStringLiteral("Telescope"), std::move(s))
    {
        get(QStringLiteral("IsConnected"), [this] { return sky->telescopeConnected; });
        method(QStringLiteral("Connect"), [this] { sky->telescopeConnected = true; });
        method(QStringLiteral("GetRaDec"), [] {});
        get(QStringLiteral("dRA"), [this] { return sky->telescopeRa; });
        get(QStringLiteral("dDec"), [this] { return sky->telescopeDec; });
        method(QStringLiteral("SlewToRaDec"), [this](double ra, double dec, const QString &) {
            sky->telescopeRa = ra;
            sky->telescopeDec = dec;
        });
        get(QStringLiteral("IsSlewComplete"), [this] {
            if (sky->slewComplete.empty())
                return sky->slewCompleteAfter;
            const int32_t answer = sky->slewComplete.front();
            sky->slewComplete.pop_front();
            return answer;
        });
        get(QStringLiteral("Asynchronous"), [this] { return sky->asynchronous; });
        let(QStringLiteral("Asynchronous"), [this](int32_t value) { sky->asynchronous = value; });
        method(QStringLiteral("Jog"), [](double, const QString &) {});
        method(QStringLiteral("Abort"), [] {});
    }
};

class FakeStarChart : public FakeObject
{
public:
    explicit FakeStarChart(std::shared_ptr<FakeTheSky> s) : FakeObject(QStringLiteral("Chart"), std::move(s))
    {
        get(QStringLiteral("DocumentProperty"), [this](int16_t index) {
            return sky->documentProperties.value(index, Variant(int32_t(0)));
        });
        let(QStringLiteral("DocumentProperty"),
            [this](int16_t index, const Variant &value) { sky->documentProperties[index] = value; });
        method(QStringLiteral("Refresh"), [] {});
    }
};

class FakeMyFOVS : public FakeObject
{
public:
    explicit FakeMyFOVS(std::shared_ptr<FakeTheSky> s) : FakeObject(QStringLiteral("FOVs"), std::move(s))
    {
        get(QStringLiteral("Property"), [this](const QString &name, int16_t, int32_t index) {
            FakeTheSky::Fovi &f = fovi(name);
            switch (index) {
            case 0: return Variant(f.visible);
            case 1: return Variant(f.angle);
            case 3: return Variant(f.offsetEastWest);
            case 4: return Variant(f.offsetNorthSouth);
            }
            throw badIndex();
        });
        let(QStringLiteral("Property"), [this](const QString &name, int16_t, int32_t index, const Variant &value) {
            FakeTheSky::Fovi &f = fovi(name);
            switch (index) {
            case 0: f.visible = value.toBoolean(); return;
            case 1: f.angle = value.toDouble(); return;
            case 3: f.offsetEastWest = value.toDouble(); return;
            case 4: f.offsetNorthSouth = value.toDouble(); return;
            }
            throw badIndex();
        });
        get(QStringLiteral("Count"), [this] { return int32_t(sky->fovis.names().size()); });
        get(QStringLiteral("Name"), [this](int32_t index) {
            const QStringList names = sky->fovis.names();
            if (index < 0 || index >= names.size())
                throw badIndex();
            return names[index];
        });
    }

private:
    FakeTheSky::Fovi &fovi(const QString &name)
    {
        const auto found = sky->fovis.find(name);
        if (found == sky->fovis.end())
            throw VbError(1000, QStringLiteral("No field of view indicator named \"%1\".").arg(name));
        return *found;
    }
    static VbError badIndex() { return VbError(5, QStringLiteral("Invalid procedure call or argument")); }
};

class FakeUtils : public FakeObject
{
public:
    explicit FakeUtils(std::shared_ptr<FakeTheSky> s) : FakeObject(QStringLiteral("Utils"), std::move(s))
    {
        method(QStringLiteral("ComputeLocalSiderealTime"), [this] { return sky->localSiderealTime; });
        method(QStringLiteral("PrecessNowTo2000"), [this](double ra, double dec) {
            return Variant(VariantArray{ra - sky->precessRa, dec - sky->precessDec});
        });
        method(QStringLiteral("Precess2000ToNow"), [this](double ra, double dec) {
            return Variant(VariantArray{ra + sky->precessRa, dec + sky->precessDec});
        });
    }
};

template <typename T> DispatchFactory factory(const QString &progId, const std::shared_ptr<FakeTheSky> &sky)
{
    return [progId, weak = std::weak_ptr<FakeTheSky>(sky)]() -> std::shared_ptr<Dispatch> {
        const auto s = weak.lock();
        if (!s)
            throw FakeTheSky::CantCreate();
        s->enter(QStringLiteral("CreateObject(%1)").arg(progId), QString());
        const auto failure = s->creationFailures.constFind(progId.toCaseFolded());
        if (failure != s->creationFailures.constEnd())
            throw *failure;
        return std::make_shared<T>(s);
    };
}

// The present classes, then the older sky and telescope.
const QStringList &progIds()
{
    static const QStringList ids{QStringLiteral("TheSky6.RascomTheSky"), QStringLiteral("TheSky6.RascomTele"),
                                 QStringLiteral("TheSky6.StarChart"),    QStringLiteral("TheSky6.MyFOVS"),
                                 QStringLiteral("TheSky6.Utils"),        QStringLiteral("TheSky.RascomTheSky"),
                                 QStringLiteral("TheSky.RascomTele")};
    return ids;
}

} // namespace

std::shared_ptr<FakeTheSky> FakeTheSky::Install()
{
    auto sky = std::make_shared<FakeTheSky>();
    const QStringList &ids = progIds();
    RegisterInProcessClass(ids[0], factory<FakeRascomTheSky>(ids[0], sky));
    RegisterInProcessClass(ids[1], factory<FakeRascomTele>(ids[1], sky));
    RegisterInProcessClass(ids[2], factory<FakeStarChart>(ids[2], sky));
    RegisterInProcessClass(ids[3], factory<FakeMyFOVS>(ids[3], sky));
    RegisterInProcessClass(ids[4], factory<FakeUtils>(ids[4], sky));
    RegisterInProcessClass(ids[5], factory<FakeRascomTheSky>(ids[5], sky));
    RegisterInProcessClass(ids[6], factory<FakeRascomTele>(ids[6], sky));
    return sky;
}

void FakeTheSky::Uninstall()
{
    for (const QString &id : progIds())
        RegisterInProcessClass(id, [] () -> std::shared_ptr<Dispatch> { throw CantCreate(); });
}

VbError FakeTheSky::CantCreate()
{
    return VbError(429, QStringLiteral("ActiveX component can't create object"));
}

void FakeTheSky::failCreation(const QString &progId, const VbError &error)
{
    creationFailures.insert(progId.toCaseFolded(), error);
}

void FakeTheSky::failMember(const QString &call, const VbError &error)
{
    memberFailures.insert(call.toCaseFolded(), error);
}

void FakeTheSky::clearFailures()
{
    creationFailures.clear();
    memberFailures.clear();
}

QStringList FakeTheSky::calls(const QString &prefix) const
{
    QStringList found;
    for (const QString &entry : journal)
        if (entry.startsWith(prefix, Qt::CaseInsensitive))
            found << entry;
    return found;
}

void FakeTheSky::enter(const QString &entry, const QString &failureKey)
{
    journal << entry;
    if (onCall)
        onCall(entry);
    const auto failure = memberFailures.constFind(failureKey);
    if (failure != memberFailures.constEnd())
        throw *failure;
}
