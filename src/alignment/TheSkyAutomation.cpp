#include "alignment/TheSkyAutomation.h"

#include "link/ModuleState.h"
#include "platform/CreateObject.h"
#include "platform/Dispatch.h"
#include "platform/UserPrompts.h"

namespace TheSkyAutomation {

namespace {

using Slot = std::shared_ptr<Dispatch> ModuleState::TheSky::*;

// Held for the whole call: the operator may release the objects while a call serves events.
std::shared_ptr<Dispatch> object(Slot slot)
{
    std::shared_ptr<Dispatch> held = Module().thesky.*slot;
    if (!held)
        throw VbError(91, QStringLiteral("Object variable or With block variable not set"));
    return held;
}

std::shared_ptr<Dispatch> sky() { return object(&ModuleState::TheSky::TheSky); }
std::shared_ptr<Dispatch> telescope() { return object(&ModuleState::TheSky::TheSkyTelescope); }
std::shared_ptr<Dispatch> chart() { return object(&ModuleState::TheSky::TheSkyChart); }
std::shared_ptr<Dispatch> fovs() { return object(&ModuleState::TheSky::TheSkyFOVs); }
std::shared_ptr<Dispatch> utils() { return object(&ModuleState::TheSky::TheSkyUtils); }

// The indicator's arguments: its name, 0, then the property.
VariantArray foviArguments(int32_t property)
{
    return {Variant(Module().settings.Detector), Variant(int16_t(0)), Variant(property)};
}

struct Creation
{
    const char *progId;  // as created
    const char *shown;   // as the message names it
    Slot slot;
};

bool create(const Creation &c)
{
    try {
        Module().thesky.*c.slot = CreateObject(QString::fromLatin1(c.progId));
        return true;
    } catch (const VbError &) {
        MsgBox(QStringLiteral("Unable to creat object '%1'.  Make sure the correct version of TheSky is installed.")
                   .arg(QLatin1String(c.shown)),
               vbconst::vbExclamation, QStringLiteral("VKM"));
        return false;
    }
}

RaDec pair(const Variant &array)
{
    const VariantArray &values = array.toArray();
    if (values.size() < 2)
        throw VbError(9, QStringLiteral("Subscript out of range"));
    return {values[0].toDouble(), values[1].toDouble()};
}

} // namespace

bool CreateChartObjects()
{
    static const Creation chartObjects[] = {
        {"thesky6.rascomthesky", "TheSky6.RascomTheSky", &ModuleState::TheSky::TheSky},
        {"thesky6.myfovs", "TheSky6.MyFOVS", &ModuleState::TheSky::TheSkyFOVs},
        {"thesky6.starchart", "TheSky6.StarChart", &ModuleState::TheSky::TheSkyChart},
        {"thesky6.utils", "TheSky6.Utils", &ModuleState::TheSky::TheSkyUtils},
    };
    for (const Creation &c : chartObjects)
        if (!create(c))
            return false;
    return true;
}

bool CreateTelescopeObject()
{
    return create({"TheSky6.rascomtele", "TheSky6.RascomTele", &ModuleState::TheSky::TheSkyTelescope});
}

void ReleaseObjects()
{
    ModuleState::TheSky &t = Module().thesky;
    t.TheSky.reset();
    t.TheSkyFOVs.reset();
    t.TheSkyChart.reset();
    t.TheSkyUtils.reset();
    t.TheSkyTelescope.reset();
}

Variant GetFovi(int32_t property)
{
    return fovs()->Get(QStringLiteral("Property"), foviArguments(property));
}

void SetFovi(int32_t property, const Variant &value)
{
    fovs()->Let(QStringLiteral("Property"), foviArguments(property), value);
}

double CameraAngle()
{
    return GetFovi(FoviAngle).toDouble();
}

void SetCameraAngle(double degrees)
{
    SetFovi(FoviAngle, degrees);
}

Variant ChartDocumentProperty(int16_t index)
{
    return chart()->Get(QStringLiteral("DocumentProperty"), {Variant(index)});
}

void SetChartDocumentProperty(int16_t index, const Variant &value)
{
    chart()->Let(QStringLiteral("DocumentProperty"), {Variant(index)}, value);
}

void RefreshChart()
{
    chart()->Call(QStringLiteral("Refresh"));
}

double ScreenRa() { return sky()->Get(QStringLiteral("dScreenRa")).toDouble(); }
double ScreenDec() { return sky()->Get(QStringLiteral("dScreenDec")).toDouble(); }
double ScreenRotation() { return sky()->Get(QStringLiteral("dScreenRotation")).toDouble(); }
void SetScreenRa(double hours) { sky()->Let(QStringLiteral("dScreenRa"), hours); }
void SetScreenDec(double degrees) { sky()->Let(QStringLiteral("dScreenDec"), degrees); }
void SetScreenRotation(double degrees) { sky()->Let(QStringLiteral("dScreenRotation"), degrees); }
void SetScreenFOV(double degrees) { sky()->Let(QStringLiteral("dScreenFOV"), degrees); }

void ImageLink(double scale, double ra, double dec)
{
    sky()->Call(QStringLiteral("ImageLink"), {scale, ra, dec});
}

RaDec ImageLinkCentre2000()
{
    const std::shared_ptr<Dispatch> held = sky();
    Dispatch &s = *held;
    s.Call(QStringLiteral("GetObjectRaDec2000"), {QStringLiteral("Image Link Information")});
    return {s.Get(QStringLiteral("dObjectRa")).toDouble(), s.Get(QStringLiteral("dObjectDec")).toDouble()};
}

bool TelescopeConnected()
{
    return telescope()->Get(QStringLiteral("IsConnected")).toBoolean();
}

void ConnectTelescope()
{
    telescope()->Call(QStringLiteral("Connect"));
}

RaDec TelescopePosition()
{
    const std::shared_ptr<Dispatch> held = telescope();
    Dispatch &t = *held;
    t.Call(QStringLiteral("GetRaDec"));
    return {t.Get(QStringLiteral("dRA")).toDouble(), t.Get(QStringLiteral("dDec")).toDouble()};
}

double TelescopeRa()
{
    const std::shared_ptr<Dispatch> held = telescope();
    Dispatch &t = *held;
    t.Call(QStringLiteral("GetRaDec"));
    return t.Get(QStringLiteral("dRA")).toDouble();
}

void SlewToRaDec(double ra, double dec)
{
    telescope()->Call(QStringLiteral("SlewToRaDec"), {ra, dec, QStringLiteral("VKM")});
}

bool IsSlewComplete()
{
    return telescope()->Get(QStringLiteral("IsSlewComplete")).toDouble() != 0;
}

bool SlewEnded()
{
    return telescope()->Get(QStringLiteral("IsSlewComplete")).toDouble() == 1;
}

void AbortSlew()
{
    telescope()->Call(QStringLiteral("Abort"));
}

void SetAsynchronous(int16_t value)
{
    telescope()->Let(QStringLiteral("Asynchronous"), value);
}

void Jog(double amount, const QString &direction)
{
    telescope()->Call(QStringLiteral("Jog"), {amount, direction});
}

double LocalSiderealTime()
{
    return utils()->Call(QStringLiteral("ComputeLocalSiderealTime")).toDouble();
}

RaDec PrecessNowTo2000(RaDec ofDate)
{
    return pair(utils()->Call(QStringLiteral("PrecessNowTo2000"), {ofDate.ra, ofDate.dec}));
}

RaDec Precess2000ToNow(RaDec j2000)
{
    return pair(utils()->Call(QStringLiteral("Precess2000ToNow"), {j2000.ra, j2000.dec}));
}

} // namespace TheSkyAutomation
