#pragma once

#include "platform/Variant.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <tuple>
#include <type_traits>
#include <utility>

// The base of every automation object: members reached by name, case-insensitively, as a
// late-bound call reaches them.
//
// A class declares its members in its constructor:
//
//     PropertyGet("Position", [this] { return Actual; });             // returns a Long
//     PropertyLet("TempComp", [this](bool on) { SetTempComp(on); });
//     PropertyLet("Link", [this](const Variant &value) { SetLink(value); });
//     Method("Move", [this](int32_t position) { Move(position); });
//
// Parameters typed bool, int16_t, int32_t, float, double or QString are coerced from the
// caller's values as the late-bound call would (VbError 13 or 6 when that fails); a
// `const Variant &` takes the value as it came. The argument count must match the
// parameters (VbError 449 too few, 450 too many), except for a member whose one parameter
// is `const VariantArray &` (a letter: `const VariantArray &, const Variant &`), which
// takes any list. A returned bool, int16_t, int32_t, float, double or QString becomes the
// matching Variant; no return value reads as Empty.
class Dispatch
{
public:
    enum class Access { Get, Let, Call };

    Dispatch() = default;
    virtual ~Dispatch();
    Dispatch(const Dispatch &) = delete;
    Dispatch &operator=(const Dispatch &) = delete;

    // Late-bound access. A name the object lacks throws VbError 438. A method can be read as
    // a property and a readable property called as a method, as late binding allows; a
    // member without a letter cannot be assigned, one without a getter cannot be read.
    Variant Get(const QString &name, const VariantArray &args = {});
    void Let(const QString &name, const Variant &value);
    void Let(const QString &name, const VariantArray &args, const Variant &value);
    Variant Call(const QString &name, const VariantArray &args = {});

    // The names of the declared members, case-folded.
    QStringList MemberNames() const { return m_members.keys(); }

    // Its client let it go (Release, or the client's connection left) while one of its
    // calls may still be running: such a call must act no further for nobody.
    void Abandon() { m_abandoned = true; }
    bool Abandoned() const { return m_abandoned; }

protected:
    // Serves one access; the member table below does it unless a subclass forwards
    // elsewhere (the bus proxy). For Let, `value` is the assigned value.
    virtual Variant Invoke(Access access, const QString &name, const VariantArray &args,
                           const Variant &value);

    template <typename F> void PropertyGet(const QString &name, F getter)
    {
        member(name).get = adapt(std::function(std::move(getter)));
    }
    template <typename F> void PropertyLet(const QString &name, F letter)
    {
        member(name).let = adapt(std::function(std::move(letter)));
    }
    template <typename F> void Method(const QString &name, F method)
    {
        member(name).method = adapt(std::function(std::move(method)));
    }

private:
    // A member's callable over the whole list (for a letter: the arguments, then the value).
    struct Invoker
    {
        int parameters = -1; // -1: any count
        std::function<Variant(const VariantArray &)> call;
        explicit operator bool() const { return bool(call); }
    };
    struct Member
    {
        Invoker get, let, method;
    };

    Member &member(const QString &name);
    static Variant run(const Invoker &invoker, const VariantArray &list);

    template <typename T> static std::decay_t<T> coerce(const Variant &value)
    {
        using V = std::decay_t<T>;
        if constexpr (std::is_same_v<V, Variant>)
            return value;
        else if constexpr (std::is_same_v<V, bool>)
            return value.toBoolean();
        else if constexpr (std::is_same_v<V, int16_t>)
            return value.toInteger();
        else if constexpr (std::is_same_v<V, int32_t>)
            return value.toLong();
        else if constexpr (std::is_same_v<V, float>)
            return value.toSingle();
        else if constexpr (std::is_same_v<V, double>)
            return value.toDouble();
        else if constexpr (std::is_same_v<V, QString>)
            return value.toString();
        else
            static_assert(!sizeof(V), "parameter type has no late-bound coercion");
    }

    // f(args...) as a Variant; Empty when f returns nothing.
    template <typename R, typename F, typename... Args> static Variant result(const F &f, Args &&...args)
    {
        if constexpr (std::is_void_v<R>) {
            f(std::forward<Args>(args)...);
            return Variant();
        } else {
            return Variant(f(std::forward<Args>(args)...));
        }
    }

    template <typename R, typename... A> static Invoker adapt(std::function<R(A...)> f)
    {
        return {int(sizeof...(A)), [f = std::move(f)](const VariantArray &list) {
                    // Braced initialisation coerces left to right.
                    auto coerced = [&]<size_t... I>(std::index_sequence<I...>) {
                        return std::tuple<std::decay_t<A>...>{coerce<A>(list[I])...};
                    }(std::index_sequence_for<A...>{});
                    return std::apply([&](auto &...values) { return result<R>(f, values...); }, coerced);
                }};
    }
    // Members that take the list as it comes.
    template <typename R> static Invoker adapt(std::function<R(const VariantArray &)> f)
    {
        return {-1, [f = std::move(f)](const VariantArray &list) { return result<R>(f, list); }};
    }
    template <typename R> static Invoker adapt(std::function<R(const VariantArray &, const Variant &)> f)
    {
        return {-1, [f = std::move(f)](const VariantArray &list) {
                    return result<R>(f, VariantArray(list.begin(), list.end() - 1), list.back());
                }};
    }

    QHash<QString, Member> m_members; // by case-folded name
    bool m_abandoned = false;
};
