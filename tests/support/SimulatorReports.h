#pragma once

#include <QChar>
#include <QHash>
#include <QString>
#include <QStringList>

// What the simulated controller reports: its values at power-up, the bursts that answer
// its queries, and the settings commands that each store one report value.
namespace SimulatorReports {

// Report values that do not follow motion, keyed by report code.
QHash<QString, QString> defaultValues();

// Command letters that, sent without an argument, query: the codes of the answer burst.
const QHash<QChar, QStringList> &queries();

// Command letters whose argument is stored as the value of one report code.
const QHash<QChar, QString> &settingCodes();

} // namespace SimulatorReports
