#include "tools/FirmwareFile.h"

#include "link/ControlWindowHooks.h"
#include "link/HandlerError.h"
#include "link/Serial.h"
#include "platform/Held.h"
#include "platform/UserPrompts.h"
#include "platform/VbError.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cctype>
#include <functional>
#include <limits>
#include <optional>

namespace {

using Line = FirmwareFile::Line;

const QString NotChanged = QStringLiteral("; the firmware was not changed.");

using Say = std::function<void(const QString &)>;

// The failure's description said as the file's owner wants it: in a box of its own unless
// the owner takes the text.
bool failed(const Say &say, const QString &description)
{
    if (say)
        say(description);
    else
        MsgBox(description, vbconst::vbOKOnly);
    return true;
}

bool failed(const Say &say, const std::exception &e)
{
    const auto *vbError = dynamic_cast<const VbError *>(&e);
    return failed(say, vbError ? vbError->description() : QString::fromUtf8(e.what()));
}

// The lines of the file's text that are not blank, without their line ends and trailing
// blanks. The one reading of a firmware file: what is checked is what is sent.
std::vector<Line> firmwareLines(QByteArray bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    if (const qsizetype end = bytes.indexOf('\x1a'); end >= 0)
        bytes.truncate(end);
    std::vector<Line> lines;
    int number = 0;
    for (qsizetype start = 0; start < bytes.size();) {
        ++number;
        qsizetype end = start;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        qsizetype last = end;
        while (last > start && (bytes[last - 1] == ' ' || bytes[last - 1] == '\t'))
            --last;
        if (last > start)
            lines.push_back({number, QString::fromLatin1(bytes.mid(start, last - start))});
        // CRs before an LF (a CR LF file converted once more) end one line; a CR alone too.
        qsizetype next = end;
        while (next < bytes.size() && bytes[next] == '\r')
            ++next;
        if (next < bytes.size() && bytes[next] == '\n')
            start = next + 1;
        else
            start = end + 1;
    }
    return lines;
}

// Address bytes of each record type; 0 for the reserved S4.
constexpr std::array<int, 10> AddressBytes = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};

// The type digit of `text` when it is one S-record: "S", a type digit, then pairs of hex
// digits, the first counting the pairs after it (the whole address of its type and the
// checksum at least), the last making the low byte of the sum of them all 0xFF.
std::optional<int> recordType(const QString &text)
{
    if (text.size() < 6 || text.size() % 2 != 0 || text[0] != u'S' || text[1] < u'0' || text[1] > u'9')
        return std::nullopt;
    const int type = text[1].unicode() - u'0';
    const QByteArray hex = text.mid(2).toLatin1();
    if (AddressBytes[type] == 0
        || !std::all_of(hex.begin(), hex.end(), [](char c) { return std::isxdigit(uchar(c)) != 0; }))
        return std::nullopt;
    const QByteArray bytes = QByteArray::fromHex(hex);
    int sum = 0;
    for (const char b : bytes)
        sum += uchar(b);
    if (uchar(bytes[0]) != bytes.size() - 1 || bytes.size() - 1 < AddressBytes[type] + 1 || (sum & 0xFF) != 0xFF)
        return std::nullopt;
    return type;
}

// What keeps the lines from being complete firmware (each one an S-record, no more than
// the wizard counts, at least one data record and an end record after the last of them),
// for the operator; empty when they are.
QString fault(const std::vector<Line> &lines)
{
    bool data = false, ended = false;
    for (const Line &line : lines) {
        const std::optional<int> type = recordType(line.text);
        if (!type)
            return QStringLiteral("Line %1 is not an S-record").arg(line.number) + NotChanged;
        if (*type >= 1 && *type <= 3)
            data = true, ended = false;
        else if (*type >= 7)
            ended = true;
    }
    if (lines.size() > size_t(std::numeric_limits<int16_t>::max()))
        return QStringLiteral("The file is too long for the wizard (more than %1 records)")
                   .arg(std::numeric_limits<int16_t>::max())
            + NotChanged;
    if (!data)
        return QStringLiteral("The file holds no firmware records") + NotChanged;
    if (!ended)
        return QStringLiteral("The file ends before its end record") + NotChanged;
    return QString();
}

// The file's bytes, read once; a box says why there are none.
std::optional<QByteArray> readFile(const Say &say, const QString &fileName)
{
    if (!QFileInfo::exists(fileName)) {
        failed(say, QStringLiteral("File not found"));
        return std::nullopt;
    }
    QFile file(fileName);
    QByteArray bytes;
    if (!QFileInfo(fileName).isDir() && file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        failed(say, QStringLiteral("The file cannot be read") + NotChanged);
        return std::nullopt;
    }
    return bytes;
}

} // namespace

bool FirmwareFile::OpenFirmwareFile(const QString &fileName)
{
    Close();
    try {
        const std::optional<QByteArray> bytes = readFile(Say, fileName);
        if (!bytes)
            return true;
        std::vector<Line> lines = firmwareLines(*bytes);
        // Nothing goes to the boot loader for a file that would leave the flash erased.
        if (const QString why = fault(lines); !why.isEmpty())
            return failed(Say, why);
        m_lines = std::move(lines);
        FirmwareLineCount = int16_t(m_lines.size());
        return false;
    } catch (const std::exception &e) {
        Close();
        return failed(Say, e);
    }
}

bool FirmwareFile::SendNextFirmwareLine(int deliveryMs)
{
    try {
        if (m_next >= m_lines.size())
            return false;
        const Line &line = m_lines[m_next++];
        const std::shared_ptr<Serial> link = MainWindowLink();
        Held(link).TransmitForUpload(line.text);
        if (!link->OutputDelivered(deliveryMs))
            return failed(Say, QStringLiteral("Line %1 did not reach the controller: %2").arg(line.number).arg(UndeliveredCause(*link)));
        return false;
    } catch (const std::exception &e) {
        return failed(Say, e);
    }
}

void FirmwareFile::Close()
{
    m_lines.clear();
    m_next = 0;
    FirmwareLineCount = 0;
}
