#pragma once

#include "platform/VbError.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <variant>
#include <vector>

class Dispatch;
class Variant;

// A refusal of an automation member: number, description, source. It reaches the client
// unchanged, in process and over the bus.
using AutomationError = VbError;

// Argument lists and array values.
using VariantArray = std::vector<Variant>;

// The value of a late-bound call: what an automation member takes and returns. Integer is
// 16 bits, Long 32, Single a float; Boolean True is -1 when read as a number.
class Variant
{
public:
    enum class Type { Empty, Boolean, Integer, Long, Single, Double, String, Object, Array };

    Variant() = default;
    Variant(bool value) : m_value(value) {}
    Variant(int16_t value) : m_value(value) {}
    Variant(int32_t value) : m_value(value) {}
    Variant(float value) : m_value(value) {}
    Variant(double value) : m_value(value) {}
    Variant(const QString &value) : m_value(value) {}
    Variant(const char *value) : m_value(QString::fromUtf8(value)) {}
    Variant(std::shared_ptr<Dispatch> object) : m_value(std::move(object)) {}
    Variant(VariantArray array) : m_value(std::move(array)) {}
    // A stray pointer would otherwise become a Boolean.
    Variant(const void *) = delete;

    Type type() const { return Type(m_value.index()); }
    bool isEmpty() const { return type() == Type::Empty; }

    // Coercions as a late-bound call makes them. Empty reads as 0, "" or False; a number as
    // Boolean is "not zero"; text converts when it is numeric (and to Boolean also when it is
    // "True" or "False", any case). Whole numbers round halves to even. Out of range throws
    // VbError 6 "Overflow"; what does not convert (other text, Object, Array) VbError 13.
    bool toBoolean() const;
    int16_t toInteger() const;
    int32_t toLong() const;
    float toSingle() const;
    double toDouble() const;
    QString toString() const;
    // The object held; VbError 424 "Object required" for anything else.
    std::shared_ptr<Dispatch> toObject() const;
    // The elements held; VbError 13 for anything else.
    const VariantArray &toArray() const;

    // Same type and same value (not VB's "=", which compares across types).
    bool operator==(const Variant &other) const { return m_value == other.m_value; }

private:
    // Alternatives in the order of Type.
    std::variant<std::monostate, bool, int16_t, int32_t, float, double, QString,
                 std::shared_ptr<Dispatch>, VariantArray>
        m_value;
};
