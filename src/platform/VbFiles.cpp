#include "platform/VbFiles.h"

#include "platform/Vb.h"
#include "platform/VbError.h"

#include <QFile>
#include <sys/stat.h>
#include <map>
#include <utility>
#include <memory>

namespace VbFiles {

namespace {

// An open file; one opened for input is read whole at open and consumed from `pos`.
struct OpenFile
{
    std::unique_ptr<QFile> file;
    QByteArray input;
    qsizetype pos = 0;
    bool reading = false;
    bool afterComma = false; // the last field ended at a comma: a field follows on this line
};

std::map<int16_t, OpenFile> &files()
{
    static std::map<int16_t, OpenFile> open;
    return open;
}

OpenFile &opened(int16_t number)
{
    auto it = files().find(number);
    if (it == files().end())
        throw VbError(52, QStringLiteral("Bad file name or number"));
    return it->second;
}

OpenFile &forInput(int16_t number)
{
    OpenFile &f = opened(number);
    if (!f.reading)
        throw VbError(54, QStringLiteral("Bad file mode"));
    return f;
}

VbError pastEnd()
{
    return VbError(62, QStringLiteral("Input past end of file"));
}

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

// Consumes one line ending (CR LF, LF or CR) at `pos`, if there is one.
void skipLineEnd(OpenFile &f)
{
    if (f.pos < f.input.size() && f.input[f.pos] == '\r')
        ++f.pos;
    if (f.pos < f.input.size() && f.input[f.pos] == '\n')
        ++f.pos;
}

QString fieldText(const Variant &v)
{
    switch (v.type()) {
    case Variant::Type::Empty:
        return QString();
    case Variant::Type::Boolean:
        return v.toBoolean() ? QStringLiteral("#TRUE#") : QStringLiteral("#FALSE#");
    case Variant::Type::Integer:
    case Variant::Type::Long:
        return QString::number(v.toLong());
    case Variant::Type::Single:
        return vb::CStr(v.toSingle());
    case Variant::Type::Double:
        return vb::CStr(v.toDouble());
    default:
        return QLatin1Char('"') + v.toString() + QLatin1Char('"');
    }
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
    OpenFile f;
    f.file = std::make_unique<QFile>(path);
    if (mode == Mode::Input) {
        if (!f.file->open(QIODevice::ReadOnly))
            throw VbError(53, QStringLiteral("File not found"));
        f.input = f.file->readAll();
        f.file->close();
        f.reading = true;
    } else {
        const QIODevice::OpenMode flags = mode == Mode::Append ? QIODevice::WriteOnly | QIODevice::Append
                                                               : QIODevice::WriteOnly | QIODevice::Truncate;
        // Unbuffered: every Print is one write(2) and visible at once.
        if (!f.file->open(flags | QIODevice::Unbuffered))
            throw VbError(75, QStringLiteral("Path/File access error"));
    }
    files()[number] = std::move(f);
}

void Print(int16_t number, const QString &text)
{
    OpenFile &f = opened(number);
    if (f.reading)
        throw VbError(54, QStringLiteral("Bad file mode"));
    const QByteArray bytes = text.toLatin1();
    const qint64 before = f.file->size();
    if (f.file->write(bytes) != bytes.size()) {
        // Nothing of a write cut short stays: the next one must not be glued to a fragment.
        f.file->resize(before);
        f.file->seek(before);
        throw VbError(61, QStringLiteral("Disk full"));
    }
}

bool NameLeadsToFile(int16_t number)
{
    const OpenFile &f = opened(number);
    struct stat named {};
    struct stat open {};
    return f.file->isOpen() && ::stat(QFile::encodeName(f.file->fileName()).constData(), &named) == 0
           && ::fstat(f.file->handle(), &open) == 0 && named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

QString WriteRecordText(const VariantArray &fields)
{
    QStringList texts;
    for (const Variant &v : fields)
        texts << fieldText(v);
    return texts.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

QString WriteRecordText(std::initializer_list<Variant> fields)
{
    return WriteRecordText(VariantArray(fields));
}

void Write(int16_t number, std::initializer_list<Variant> fields)
{
    Print(number, WriteRecordText(fields));
}

void Write(int16_t number, const VariantArray &fields)
{
    Print(number, WriteRecordText(fields));
}

QString LineInput(int16_t number)
{
    OpenFile &f = forInput(number);
    if (f.pos >= f.input.size())
        throw pastEnd();
    const qsizetype start = f.pos;
    while (f.pos < f.input.size() && !isLineEnd(f.input[f.pos]))
        ++f.pos;
    const QString line = QString::fromLatin1(f.input.mid(start, f.pos - start));
    skipLineEnd(f);
    return line;
}

QString Input(int16_t number)
{
    OpenFile &f = forInput(number);
    const QByteArray &in = f.input;
    // A line end separates fields as a comma does: after a comma it ends an empty field.
    const bool fieldDue = std::exchange(f.afterComma, false);
    while (f.pos < in.size() && (in[f.pos] == ' ' || in[f.pos] == '\t' || (!fieldDue && isLineEnd(in[f.pos]))))
        ++f.pos;
    if (f.pos >= in.size()) {
        if (fieldDue)
            return QString();
        throw pastEnd();
    }
    QByteArray field;
    if (in[f.pos] == '"') {
        const qsizetype close = in.indexOf('"', f.pos + 1);
        if (close < 0) { // the file ends inside the field: it was cut short
            f.pos = in.size();
            throw pastEnd();
        }
        field = in.mid(f.pos + 1, close - f.pos - 1);
        f.pos = close + 1;
        // Whatever stands between the closing quote and the separator is dropped.
        while (f.pos < in.size() && in[f.pos] != ',' && !isLineEnd(in[f.pos]))
            ++f.pos;
    } else {
        const qsizetype start = f.pos;
        while (f.pos < in.size() && in[f.pos] != ',' && !isLineEnd(in[f.pos]))
            ++f.pos;
        field = in.mid(start, f.pos - start).trimmed();
    }
    if (f.pos < in.size() && in[f.pos] == ',') {
        ++f.pos;
        f.afterComma = true;
    } else {
        skipLineEnd(f);
    }
    return QString::fromLatin1(field);
}

bool EndOfFile(int16_t number)
{
    const OpenFile &f = forInput(number);
    return f.pos >= f.input.size();
}

bool EndOfFields(int16_t number)
{
    const OpenFile &f = forInput(number);
    if (f.afterComma)
        return false;
    for (qsizetype i = f.pos; i < f.input.size(); ++i) {
        const char c = f.input[i];
        if (c != ' ' && c != '\t' && !isLineEnd(c))
            return false;
    }
    return true;
}

void Close(int16_t number)
{
    auto it = files().find(number);
    if (it == files().end())
        return;
    if (it->second.file->isOpen())
        it->second.file->close();
    files().erase(it);
}

bool IsOpen(int16_t number)
{
    return files().count(number) != 0;
}

} // namespace VbFiles
