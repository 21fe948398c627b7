#include "platform/RegistryFile.h"

#include <algorithm>

namespace RegistryFile {

namespace {

constexpr uint32_t TypeString = 1;
constexpr uint32_t TypeBinary = 3;
constexpr uint32_t TypeDword = 4;

QByteArray quoted(const QByteArray &text)
{
    QByteArray out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + '"';
}

// Text followed by exactly one NUL and free of control characters can be written as "text".
bool isPlainText(const QByteArray &data)
{
    if (data.isEmpty() || data.back() != '\0')
        return false;
    for (qsizetype i = 0; i + 1 < data.size(); ++i)
        if (static_cast<uint8_t>(data[i]) < 0x20)
            return false;
    return true;
}

QByteArray formatData(const RegistryValue &value)
{
    const QByteArray &data = value.data;
    if (value.type == TypeString && isPlainText(data))
        return quoted(data.chopped(1));
    if (value.type == TypeDword && data.size() == 4) {
        uint32_t number = 0;
        for (int i = 3; i >= 0; --i)
            number = (number << 8) | static_cast<uint8_t>(data[i]);
        return "dword:" + QByteArray::number(number, 16).rightJustified(8, '0');
    }
    QByteArray out = value.type == TypeBinary ? QByteArray("hex:")
                                              : "hex(" + QByteArray::number(value.type, 16) + "):";
    return out + data.toHex(',');
}

// Reads the quoted text starting at `pos` (on the opening quote); `pos` ends after the
// closing quote.
bool readQuoted(const QByteArray &line, qsizetype &pos, QByteArray *text)
{
    if (pos >= line.size() || line[pos] != '"')
        return false;
    for (++pos; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\') {
            if (++pos >= line.size() || (line[pos] != '\\' && line[pos] != '"'))
                return false;
            c = line[pos];
        }
        *text += c;
    }
    return false;
}

bool parseHexBytes(const QByteArray &list, QByteArray *data)
{
    const QByteArray trimmed = list.trimmed();
    if (trimmed.isEmpty())
        return true;
    for (const QByteArray &item : trimmed.split(',')) {
        const QByteArray digits = item.trimmed();
        bool ok = false;
        const uint byte = digits.toUInt(&ok, 16);
        if (!ok || digits.size() > 2 || byte > 0xFF)
            return false;
        *data += static_cast<char>(byte);
    }
    return true;
}

// The data after "=": "text", dword:n, hex:bytes or hex(type):bytes.
bool parseData(const QByteArray &text, RegistryValue *value)
{
    if (text.startsWith('"')) {
        qsizetype pos = 0;
        QByteArray content;
        if (!readQuoted(text, pos, &content) || !text.mid(pos).trimmed().isEmpty())
            return false;
        value->type = TypeString;
        value->data = content + '\0';
        return true;
    }
    if (text.startsWith("dword:")) {
        const QByteArray digits = text.mid(6).trimmed();
        bool ok = false;
        const uint32_t number = digits.toUInt(&ok, 16);
        if (!ok || digits.size() > 8)
            return false;
        value->type = TypeDword;
        value->data.clear();
        for (int i = 0; i < 4; ++i)
            value->data += static_cast<char>((number >> (8 * i)) & 0xFF);
        return true;
    }
    qsizetype listStart = -1;
    if (text.startsWith("hex:")) {
        value->type = TypeBinary;
        listStart = 4;
    } else if (text.startsWith("hex(")) {
        const qsizetype close = text.indexOf("):");
        if (close < 0)
            return false;
        bool ok = false;
        value->type = text.mid(4, close - 4).toUInt(&ok, 16);
        if (!ok)
            return false;
        listStart = close + 2;
    } else {
        return false;
    }
    value->data.clear();
    return parseHexBytes(text.mid(listStart), &value->data);
}

} // namespace

QByteArray format(const QList<RegistryKey> &keys)
{
    QByteArray out = "REGEDIT4\n";
    for (const RegistryKey &key : keys) {
        out += "\n[" + key.path.toLatin1() + "]\n";
        for (const RegistryValue &value : key.values) {
            out += value.name.isEmpty() ? QByteArray("@") : quoted(value.name.toLatin1());
            out += '=' + formatData(value) + '\n';
        }
    }
    return out;
}

std::optional<QList<RegistryKey>> parse(const QByteArray &text, QString *error)
{
    QList<RegistryKey> keys;
    if (text.trimmed().isEmpty())
        return keys;
    QList<QByteArray> lines = text.split('\n');
    for (QByteArray &line : lines)
        line = line.trimmed();
    auto fail = [&](qsizetype index, const char *what) {
        *error = QStringLiteral("line %1: %2").arg(index + 1).arg(QLatin1String(what));
        return std::nullopt;
    };
    if (lines.first() != "REGEDIT4")
        return fail(0, "not a REGEDIT4 file");
    for (qsizetype i = 1; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (line.isEmpty() || line.startsWith(';'))
            continue;
        if (line.startsWith('[')) {
            if (!line.endsWith(']') || line.size() < 3 || line[1] == '-')
                return fail(i, "malformed key");
            keys.append(RegistryKey{QString::fromLatin1(line.mid(1, line.size() - 2)), {}});
            continue;
        }
        if (keys.isEmpty())
            return fail(i, "value outside a key");
        RegistryValue value;
        qsizetype pos = 0;
        QByteArray name;
        if (line.startsWith('@'))
            pos = 1;
        else if (!readQuoted(line, pos, &name))
            return fail(i, "malformed value name");
        if (pos >= line.size() || line[pos] != '=')
            return fail(i, "missing \"=\"");
        QByteArray data = line.mid(pos + 1).trimmed();
        while (data.startsWith("hex") && data.endsWith('\\') && i + 1 < lines.size())
            data = data.chopped(1) + lines[++i];
        value.name = QString::fromLatin1(name);
        if (!parseData(data, &value))
            return fail(i, "malformed value data");
        QList<RegistryValue> &values = keys.last().values;
        auto same = std::find_if(values.begin(), values.end(), [&](const RegistryValue &v) {
            return v.name.compare(value.name, Qt::CaseInsensitive) == 0;
        });
        if (same != values.end())
            *same = value;
        else
            values.append(value);
    }
    return keys;
}

} // namespace RegistryFile
