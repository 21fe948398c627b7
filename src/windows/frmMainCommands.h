#pragma once

#include "platform/UserPrompts.h"
#include "platform/VbError.h"

#include <QString>
#include <QVector>

// What the main window's command handlers share: the texts and titles of their messages,
// the question they ask before a move, and a checked table read.
namespace MainMessages {

inline const QString Vkm = QStringLiteral("VKM");
inline const QString Orva = QStringLiteral("ORVA");

inline const QString NoFocuserResponse = QStringLiteral("No response from focuser");
inline const QString NoTemperatureReported =
    QStringLiteral("No temperature reported by the controller.  The stored position is used without temperature compensation.");
inline const QString ForceMotorOff = QStringLiteral("FORCE MOTOR OFF is checked.  Please uncheck to move motor.");
inline const QString CompensationActive =
    QStringLiteral("Temperature compensation is active.  Focus movement is disabled.");
inline const QString CompensationActiveFocuser =
    QStringLiteral("Temperature compensation is active.  Focuser movement is disabled.");
inline const QString ConfirmSlew = QStringLiteral("Confirm slew?");

// Asks `question` with OK and Cancel; true for OK.
inline bool Confirmed(const QString &question)
{
    return MsgBox(question, vbconst::vbOKCancel | vbconst::vbQuestion, Vkm) != vbconst::vbCancel;
}

// A table element; an index outside the table fails as a subscript out of range.
template <typename T>
const T &Element(const QVector<T> &table, qsizetype index)
{
    if (index < 0 || index >= table.size())
        throw VbError(9, QStringLiteral("Subscript out of range"));
    return table[index];
}

} // namespace MainMessages
