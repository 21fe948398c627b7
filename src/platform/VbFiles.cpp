#include "platform/VbFiles.h"

#include "platform/VbError.h"

#include <QFile>
#include <map>
#include <memory>

namespace VbFiles {

namespace {
std::map<int16_t, std::unique_ptr<QFile>> &files()
{
    static std::map<int16_t, std::unique_ptr<QFile>> open;
    return open;
}
} // namespace

int16_t FreeFile()
{
    int16_t number = 1;
    while (files().count(number))
        ++number;
    return number;
}

void Open(int16_t number, const QString &path, Mode mode)
{
    if (files().count(number))
        throw VbError(55, QStringLiteral("File already open"));
    auto file = std::make_unique<QFile>(path);
    const QIODevice::OpenMode flags = mode == Mode::Append ? QIODevice::WriteOnly | QIODevice::Append
                                                           : QIODevice::WriteOnly | QIODevice::Truncate;
    // Unbuffered: every Print is one write(2) and visible at once.
    if (!file->open(flags | QIODevice::Unbuffered))
        throw VbError(75, QStringLiteral("Path/File access error"));
    files()[number] = std::move(file);
}

void Print(int16_t number, const QString &text)
{
    auto it = files().find(number);
    if (it == files().end())
        throw VbError(52, QStringLiteral("Bad file name or number"));
    const QByteArray bytes = text.toLatin1();
    if (it->second->write(bytes) != bytes.size())
        throw VbError(61, QStringLiteral("Disk full"));
}

void Close(int16_t number)
{
    auto it = files().find(number);
    if (it == files().end())
        return;
    it->second->close();
    files().erase(it);
}

bool IsOpen(int16_t number)
{
    return files().count(number) != 0;
}

} // namespace VbFiles
