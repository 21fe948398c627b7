#include "platform/AutomationWire.h"

#include <QDBusArgument>
#include <QDBusVariant>
#include <charconv>
#include <cmath>
#include <limits>

namespace AutomationWire {

namespace {

Variant wholeNumber(double value)
{
    if (value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max())
        return Variant(int32_t(value));
    return Variant(value);
}

// The double closest to the shortest text that reads back as the same float, so that 0.1f
// goes out as 0.1 and a client that narrows it again gets the float back exactly.
double widenSingle(float value)
{
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    double wide = value;
    std::from_chars(text, written.ptr, wide);
    return wide;
}

VariantArray fromArgument(const QDBusArgument &argument)
{
    if (argument.currentType() != QDBusArgument::ArrayType)
        throw VbError::typeMismatch();
    VariantArray list;
    argument.beginArray();
    while (!argument.atEnd())
        list.push_back(FromWire(argument.asVariant()));
    argument.endArray();
    return list;
}

} // namespace

Variant FromWire(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return Variant(value.toBool());
    case QMetaType::UChar:
    case QMetaType::Short:
        return Variant(int16_t(value.toInt()));
    case QMetaType::UShort:
    case QMetaType::Int:
        return Variant(int32_t(value.toInt()));
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return wholeNumber(value.toDouble());
    case QMetaType::Double:
        // VB arithmetic never makes these; a member must not store or compute with them.
        if (!std::isfinite(value.toDouble()))
            throw VbError::overflow();
        return Variant(value.toDouble());
    case QMetaType::QString:
        return Variant(value.toString());
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        VariantArray list;
        for (const QVariant &element : value.toList())
            list.push_back(FromWire(element));
        return Variant(std::move(list));
    }
    default:
        break;
    }
    if (value.metaType() == QMetaType::fromType<QDBusVariant>())
        return FromWire(value.value<QDBusVariant>().variant());
    if (value.metaType() == QMetaType::fromType<QDBusArgument>())
        return Variant(fromArgument(value.value<QDBusArgument>()));
    throw VbError::typeMismatch();
}

VariantArray FromWireList(const QVariant &list)
{
    return FromWire(list).toArray();
}

QVariant ToWire(const Variant &value)
{
    switch (value.type()) {
    case Variant::Type::Empty:
        return QString(QLatin1String(""));
    case Variant::Type::Boolean:
        return value.toBoolean();
    case Variant::Type::Integer:
        return QVariant::fromValue<qint16>(value.toInteger());
    case Variant::Type::Long:
        return QVariant::fromValue<qint32>(value.toLong());
    case Variant::Type::Single:
        return widenSingle(value.toSingle());
    case Variant::Type::Double:
        return value.toDouble();
    case Variant::Type::String:
        return value.toString();
    case Variant::Type::Array:
        return ToWireList(value.toArray());
    case Variant::Type::Object:
        break;
    }
    throw VbError::typeMismatch();
}

QVariantList ToWireList(const VariantArray &list)
{
    QVariantList wire;
    for (const Variant &element : list)
        wire << ToWire(element);
    return wire;
}

QDBusMessage ErrorReply(const QDBusMessage &call, const VbError &error)
{
    QDBusMessage reply = call.createErrorReply(ErrorName, error.description());
    reply << QVariant::fromValue<qint32>(error.number()) << error.source();
    return reply;
}

VbError ErrorFrom(const QDBusMessage &reply)
{
    const QVariantList body = reply.arguments();
    if (reply.errorName() == ErrorName && body.size() >= 3)
        return VbError(body.at(1).toInt(), reply.errorMessage(), body.at(2).toString());
    return VbError(440, QStringLiteral("Automation error\n") + reply.errorMessage(), reply.errorName());
}

} // namespace AutomationWire
