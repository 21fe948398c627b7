#pragma once

#include <QString>
#include <exception>

// A run-time error in VB's form: a number, a description and a source. Conversions throw it (6 "Overflow", 13 "Type mismatch"); automation members
// throw it for their refusals, and it reaches an automation client unchanged.
class VbError : public std::exception
{
public:
    VbError(qint32 number, QString description, QString source = QString())
        : m_number(number), m_description(std::move(description)), m_source(std::move(source)),
          m_what(m_description.toUtf8())
    {
    }

    qint32 number() const { return m_number; }
    const QString &description() const { return m_description; }
    const QString &source() const { return m_source; }
    const char *what() const noexcept override { return m_what.constData(); }

    static VbError overflow() { return VbError(6, QStringLiteral("Overflow")); }
    static VbError typeMismatch() { return VbError(13, QStringLiteral("Type mismatch")); }
    static VbError objectNotSet() { return VbError(91, QStringLiteral("Object variable or With block variable not set")); }

private:
    qint32 m_number;
    QString m_description;
    QString m_source;
    QByteArray m_what;
};
