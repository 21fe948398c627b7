#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <ctime>

// CPU time this process has used, in seconds: tells a blocking wait from a spinning one.
inline double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// User plus system CPU time of another process, in clock ticks; -1 when it is gone.
inline long processCpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLong() + fields.value(12).toLong(); // utime, stime
}
