#pragma once

#include "platform/Dispatch.h"
#include "support/FakeTheSky.h"

#include <QHash>
#include <QStringList>
#include <memory>

// The base of the fakes of outside programs: every access goes to the FakeTheSky journal
// under the object's name and the member's declared spelling, scripted failures are raised,
// then the member is served.
namespace FakeAutomation {

// A value as the journal writes it.
inline QString text(const Variant &value)
{
    try {
        return value.toString();
    } catch (const VbError &) {
        return QStringLiteral("?");
    }
}

} // namespace FakeAutomation

// One object of the fake: journals every access under its own name and the member's
// declared spelling, raises the scripted failures, then serves the member.
class FakeObject : public Dispatch
{
public:
    FakeObject(QString name, std::shared_ptr<FakeTheSky> sky) : m_name(std::move(name)), sky(std::move(sky)) {}

protected:
    Variant Invoke(Access access, const QString &name, const VariantArray &args, const Variant &value) override
    {
        const QString member = m_spelling.value(name.toCaseFolded(), name);
        QStringList shown;
        for (const Variant &arg : args)
            shown << FakeAutomation::text(arg);
        QString entry = m_name + QLatin1Char('.') + member;
        if (!args.empty())
            entry += QLatin1Char('(') + shown.join(QLatin1Char(',')) + QLatin1Char(')');
        QString key = m_name + QLatin1Char('.') + member;
        if (access == Access::Let) {
            entry += QLatin1Char('=') + FakeAutomation::text(value);
            key += QLatin1Char('=');
        }
        sky->enter(entry, key.toCaseFolded());
        return Dispatch::Invoke(access, name, args, value);
    }

    void spell(const QString &member) { m_spelling.insert(member.toCaseFolded(), member); }
    template <typename F> void get(const QString &member, F f) { spell(member); PropertyGet(member, std::move(f)); }
    template <typename F> void let(const QString &member, F f) { spell(member); PropertyLet(member, std::move(f)); }
    template <typename F> void method(const QString &member, F f) { spell(member); Method(member, std::move(f)); }
    void number(const QString &member, double FakeTheSky::*field)
    {
        get(member, [this, field] { return (*sky).*field; });
        let(member, [this, field](double value) { (*sky).*field = value; });
    }

    const QString m_name;
    QHash<QString, QString> m_spelling;
    std::shared_ptr<FakeTheSky> sky;
};

