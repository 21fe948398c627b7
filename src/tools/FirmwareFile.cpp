#include "tools/FirmwareFile.h"

#include "link/ControlWindowHooks.h"
#include "link/Serial.h"
#include "platform/Held.h"
#include "platform/UserPrompts.h"
#include "platform/VbError.h"
#include "platform/VbFiles.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace {

const QString NotChanged = QStringLiteral("; the firmware was not changed.");

// The failure's description in a box of its own, as the reader reports it.
bool failed(const QString &description)
{
    MsgBox(description, vbconst::vbOKOnly);
    return true;
}

bool failed(const std::exception &e)
{
    const auto *vbError = dynamic_cast<const VbError *>(&e);
    return failed(vbError ? vbError->description() : QString::fromUtf8(e.what()));
}

// The type digit of `text` when it is one S-record: "S", a type digit, then pairs of hex
// digits, the first counting the pairs after it, the last making the low byte of the sum
// of them all 0xFF. Nothing otherwise.
std::optional<int> recordType(QStringView text)
{
    if (text.size() < 6 || text.size() % 2 != 0 || text[0] != u'S' || text[1] < u'0' || text[1] > u'9')
        return std::nullopt;
    const QByteArray hex = text.mid(2).toLatin1();
    if (!std::all_of(hex.begin(), hex.end(), [](char c) { return std::isxdigit(uchar(c)) != 0; }))
        return std::nullopt;
    const QByteArray bytes = QByteArray::fromHex(hex);
    int sum = 0;
    for (const char b : bytes)
        sum += uchar(b);
    if (uchar(bytes[0]) != bytes.size() - 1 || (sum & 0xFF) != 0xFF)
        return std::nullopt;
    return text[1].unicode() - u'0';
}

// Whether the lines make complete firmware: each one blank or an S-record, at least one
// data record (S1 to S3) and an end record (S7 to S9) after the last of them.
class FirmwareCheck
{
public:
    void add(int number, const QString &line)
    {
        if (m_badLine != 0)
            return;
        QStringView text(line);
        while (!text.isEmpty() && (text.back() == u' ' || text.back() == u'\t' || text.back() == u'\r'))
            text.chop(1);
        if (text.isEmpty())
            return;
        const std::optional<int> type = recordType(text);
        if (!type) {
            m_badLine = number;
        } else if (*type >= 1 && *type <= 3) {
            m_data = true;
            m_ended = false;
        } else if (*type >= 7) {
            m_ended = true;
        }
    }

    // What is wrong, for the operator; empty when the firmware is complete.
    QString fault() const
    {
        if (m_badLine != 0)
            return QStringLiteral("Line %1 is not an S-record").arg(m_badLine) + NotChanged;
        if (!m_data)
            return QStringLiteral("The file holds no firmware records") + NotChanged;
        if (!m_ended)
            return QStringLiteral("The file ends before its end record") + NotChanged;
        return QString();
    }

private:
    int m_badLine = 0;
    bool m_data = false;
    bool m_ended = false;
};

} // namespace

FirmwareFile::~FirmwareFile()
{
    Close();
}

bool FirmwareFile::OpenFirmwareFile(const QString &fileName)
{
    try {
        open(fileName);
        FirmwareCheck check;
        int lines = 0;
        while (const std::optional<QString> line = nextLine()) {
            if (++lines > std::numeric_limits<int16_t>::max())
                throw VbError::overflow();
            check.add(lines, *line);
        }
        // Nothing goes to the boot loader for a file that would leave the flash erased.
        if (const QString fault = check.fault(); !fault.isEmpty()) {
            Close();
            return failed(fault);
        }
        FirmwareLineCount = int16_t(lines);
        open(fileName);
        return false;
    } catch (const std::exception &e) {
        Close();
        return failed(e);
    }
}

bool FirmwareFile::SendNextFirmwareLine()
{
    try {
        if (const std::optional<QString> line = nextLine())
            Held(MainWindowLink()).TransmitForUpload(*line);
        return false;
    } catch (const std::exception &e) {
        return failed(e);
    }
}

void FirmwareFile::Close()
{
    if (FirmwareFileNumber != 0)
        VbFiles::Close(FirmwareFileNumber);
    FirmwareFileNumber = 0;
}

void FirmwareFile::open(const QString &fileName)
{
    Close();
    m_ended = false;
    FirmwareFileNumber = VbFiles::FreeFile();
    VbFiles::Open(FirmwareFileNumber, fileName, VbFiles::Mode::Input);
}

std::optional<QString> FirmwareFile::nextLine()
{
    if (m_ended || VbFiles::EndOfFile(FirmwareFileNumber))
        return std::nullopt;
    QString line = VbFiles::LineInput(FirmwareFileNumber);
    if (const qsizetype end = line.indexOf(QChar(26)); end >= 0) {
        m_ended = true;
        if (end == 0)
            return std::nullopt;
        line.truncate(end);
    }
    return line;
}
