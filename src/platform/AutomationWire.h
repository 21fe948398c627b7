#pragma once

#include "platform/Variant.h"

#include <QDBusMessage>
#include <QVariant>

// The automation contract on D-Bus as both ends see it: names, and values and refusals in
// their wire form.
namespace AutomationWire {

inline const QString FactoryPath = QStringLiteral("/");
inline const QString FactoryInterface = QStringLiteral("automation.ClassFactory");
inline const QString DispatchInterface = QStringLiteral("automation.Dispatch");
inline const QString ErrorName = QStringLiteral("automation.Error");

// A received value (a variant's content) as a late-bound call takes it: b Boolean, y and n
// Integer, q and i Long, u x t Long when they fit and Double otherwise, d Double (NaN and
// infinities throw VbError 6), s String, arrays of these Array. Anything else throws
// VbError 13.
Variant FromWire(const QVariant &value);
VariantArray FromWireList(const QVariant &list);

// A value to send: Boolean b, Integer n, Long i, Single and Double d, String s, Empty the
// empty string, Array av. An Object does not cross the bus: VbError 13.
QVariant ToWire(const Variant &value);
QVariantList ToWireList(const VariantArray &list);

// The refusal `error` as the reply to `call`: automation.Error, the description as the
// message, then i number and s source.
QDBusMessage ErrorReply(const QDBusMessage &call, const VbError &error);
// A received error reply as the error a caller throws. Any other error (the object or its
// process gone, a timeout) is 440: "Automation error", a line break and the bus's text, with
// the bus's error name as the source.
VbError ErrorFrom(const QDBusMessage &reply);

} // namespace AutomationWire
