#include "platform/Variant.h"

#include "platform/Vb.h"

bool Variant::toBoolean() const
{
    if (type() == Type::String) {
        const QString &text = std::get<QString>(m_value);
        if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return true;
        if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            return false;
    }
    return toDouble() != 0;
}

// Text converts by its own rules; everything else by way of its value as a Double, which
// holds every Integer, Long and Single exactly.
int16_t Variant::toInteger() const
{
    return type() == Type::String ? vb::CInt(std::get<QString>(m_value)) : vb::CInt(toDouble());
}

int32_t Variant::toLong() const
{
    return type() == Type::String ? vb::CLng(std::get<QString>(m_value)) : vb::CLng(toDouble());
}

float Variant::toSingle() const
{
    return type() == Type::String ? vb::CSng(std::get<QString>(m_value)) : vb::CSng(toDouble());
}

double Variant::toDouble() const
{
    switch (type()) {
    case Type::Empty:
        return 0;
    case Type::Boolean:
        return std::get<bool>(m_value) ? -1 : 0;
    case Type::Integer:
        return std::get<int16_t>(m_value);
    case Type::Long:
        return std::get<int32_t>(m_value);
    case Type::Single:
        return std::get<float>(m_value);
    case Type::Double:
        return std::get<double>(m_value);
    case Type::String:
        return vb::CDbl(std::get<QString>(m_value));
    case Type::Object:
    case Type::Array:
        break;
    }
    throw VbError::typeMismatch();
}

QString Variant::toString() const
{
    switch (type()) {
    case Type::Empty:
        return QString();
    case Type::Boolean:
        return std::get<bool>(m_value) ? QStringLiteral("True") : QStringLiteral("False");
    case Type::Integer:
        return vb::CStr(int32_t(std::get<int16_t>(m_value)));
    case Type::Long:
        return vb::CStr(std::get<int32_t>(m_value));
    case Type::Single:
        return vb::CStr(std::get<float>(m_value));
    case Type::Double:
        return vb::CStr(std::get<double>(m_value));
    case Type::String:
        return std::get<QString>(m_value);
    case Type::Object:
    case Type::Array:
        break;
    }
    throw VbError::typeMismatch();
}

std::shared_ptr<Dispatch> Variant::toObject() const
{
    if (type() != Type::Object)
        throw VbError(424, QStringLiteral("Object required"));
    return std::get<std::shared_ptr<Dispatch>>(m_value);
}

const VariantArray &Variant::toArray() const
{
    if (type() != Type::Array)
        throw VbError::typeMismatch();
    return std::get<VariantArray>(m_value);
}
