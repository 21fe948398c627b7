#include "platform/Dispatch.h"

Dispatch::~Dispatch() = default;

Variant Dispatch::Get(const QString &name, const VariantArray &args)
{
    return Invoke(Access::Get, name, args, Variant());
}

void Dispatch::Let(const QString &name, const Variant &value)
{
    Invoke(Access::Let, name, {}, value);
}

void Dispatch::Let(const QString &name, const VariantArray &args, const Variant &value)
{
    Invoke(Access::Let, name, args, value);
}

Variant Dispatch::Call(const QString &name, const VariantArray &args)
{
    return Invoke(Access::Call, name, args, Variant());
}

Variant Dispatch::Invoke(Access access, const QString &name, const VariantArray &args,
                         const Variant &value)
{
    const auto found = m_members.constFind(name.toCaseFolded());
    if (found != m_members.constEnd()) {
        // A copy: the call may pump events, and the object must not be reshaped under it.
        const Member member = *found;
        switch (access) {
        case Access::Get:
            if (member.get || member.method)
                return run(member.get ? member.get : member.method, args);
            break;
        case Access::Call:
            if (member.method || member.get)
                return run(member.method ? member.method : member.get, args);
            break;
        case Access::Let:
            if (member.let) {
                VariantArray list = args;
                list.push_back(value);
                return run(member.let, list);
            }
            break;
        }
    }
    throw VbError(438, QStringLiteral("Object doesn't support this property or method"));
}

Dispatch::Member &Dispatch::member(const QString &name)
{
    return m_members[name.toCaseFolded()];
}

Variant Dispatch::run(const Invoker &invoker, const VariantArray &list)
{
    if (invoker.parameters >= 0 && list.size() < size_t(invoker.parameters))
        throw VbError(449, QStringLiteral("Argument not optional"));
    if (invoker.parameters >= 0 && list.size() > size_t(invoker.parameters))
        throw VbError(450, QStringLiteral("Wrong number of arguments or invalid property assignment"));
    return invoker.call(list);
}
