#pragma once

#include "platform/Variant.h"

#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>

// A scriptable stand-in for the planetarium program: the five automation classes
// "TheSky6.RascomTheSky", "TheSky6.RascomTele", "TheSky6.StarChart", "TheSky6.MyFOVS" and
// "TheSky6.Utils", and the older "TheSky.RascomTheSky" and "TheSky.RascomTele" (the same
// sky and telescope), registered in process (ProgIDs and members in any case).
//
//     auto sky = FakeTheSky::Install();
//     sky->fovis["Camera"].angle = 90;
//     sky->failCreation("TheSky6.MyFOVS");
//     ... code under test ...
//     EXPECT_EQ(sky->journal, QStringList({"CreateObject(TheSky6.RascomTheSky)", ...}));
//
// Every creation and member access of every object goes to one journal, in order:
//     CreateObject(TheSky6.MyFOVS)        a creation (also a refused one)
//     FOVs.Property(Camera,0,1)           a read or a method call: object.member(arguments)
//     FOVs.Property(Camera,0,1)=90        an assignment
// Objects: TheSky, Telescope, Chart, FOVs, Utils. Members appear in the spelling of the
// table below whatever case the caller used; arguments and values as CStr writes them.
// The objects keep the state alive after the fake is uninstalled.
class FakeTheSky
{
public:
    // A field-of-view indicator: Property index 0 visible, 1 position angle (degrees),
    // 3 east-west and 4 north-south offsets (arcminutes).
    struct Fovi
    {
        bool visible = true;
        double angle = 0;
        double offsetEastWest = 0;
        double offsetNorthSouth = 0;
    };

    // Registers the five classes with a fresh state and returns it.
    static std::shared_ptr<FakeTheSky> Install();
    // Removes the classes: creating them then fails with 429 as on a machine without them.
    static void Uninstall();

    QStringList journal;
    // Runs as each entry is journalled, before its failure: the events a real call serves.
    std::function<void(const QString &entry)> onCall;

    // --- TheSky ---
    double screenRa = 0, screenDec = 0, screenRotation = 0, screenFov = 0;
    double objectRa = 0, objectDec = 0; // what GetObjectRaDec2000 makes readable

    // --- Telescope ---
    bool telescopeConnected = true; // Connect sets it
    double telescopeRa = 0, telescopeDec = 0; // what GetRaDec makes readable as dRA / dDec
    int32_t asynchronous = 1;
    // IsSlewComplete answers these in turn, then slewCompleteAfter for ever.
    std::deque<int32_t> slewComplete;
    int32_t slewCompleteAfter = 1;

    // --- Chart ---
    QMap<int, Variant> documentProperties; // DocumentProperty(index); missing ones read 0

    // The indicators by name; Count and Name(i) list them in the order they were added.
    class FoviTable : public QMap<QString, Fovi>
    {
    public:
        Fovi &operator[](const QString &name)
        {
            if (!contains(name))
                m_order << name;
            return QMap::operator[](name);
        }
        void clear()
        {
            QMap::clear();
            m_order.clear();
        }
        QStringList names() const
        {
            QStringList present;
            for (const QString &name : m_order)
                if (contains(name))
                    present << name;
            return present;
        }

    private:
        QStringList m_order;
    };

    // --- FOVs --- by name, exactly; an unknown name raises an error
    FoviTable fovis;

    // --- Utils ---
    double localSiderealTime = 0;
    // The precessions return the coordinates shifted by these amounts.
    double precessRa = 0, precessDec = 0;

    // --- failures ---
    // Creating the class fails with `error` (default 429 "ActiveX component can't create
    // object"); the attempt is journalled.
    void failCreation(const QString &progId, const VbError &error = CantCreate());
    // A member access fails with `error`; `call` is "Object.Member" for a read or call and
    // "Object.Member=" for an assignment, in any case. The access is journalled first.
    void failMember(const QString &call, const VbError &error);
    void clearFailures();

    static VbError CantCreate();

    // Entries of the journal that start with `prefix` (an object or "Object.Member").
    QStringList calls(const QString &prefix) const;

    // Used by the objects.
    void enter(const QString &entry, const QString &failureKey);
    QHash<QString, VbError> creationFailures; // by case-folded ProgID
    QHash<QString, VbError> memberFailures;   // by case-folded "object.member[=]"
};
