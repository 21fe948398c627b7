#include "platform/LogFile.h"

#include "platform/VbFiles.h"

#include <QFileInfo>

void LogFile::open(const QString &path, const QString &header)
{
    close();
    m_path = path;
    m_header = header;
    m_failing = true; // the caller tells the operator about this one
    m_number = VbFiles::FreeFile();
    try {
        VbFiles::Open(m_number, path, VbFiles::Mode::Output);
        VbFiles::Print(m_number, header);
    } catch (const VbError &) {
        closeFile();
        throw;
    }
    m_failing = false;
}

void LogFile::close()
{
    closeFile();
    m_path.clear();
}

void LogFile::closeFile()
{
    VbFiles::Close(m_number);
    m_number = 0;
}

void LogFile::reopen()
{
    closeFile();
    m_number = VbFiles::FreeFile();
    try {
        VbFiles::Open(m_number, m_path, VbFiles::Mode::Append);
        if (QFileInfo(m_path).size() == 0)
            VbFiles::Print(m_number, m_header);
    } catch (const VbError &) {
        closeFile();
        throw;
    }
}

std::optional<VbError> LogFile::print(const QString &text)
{
    if (m_path.isEmpty())
        return std::nullopt; // never opened
    try {
        if (m_number == 0 || !VbFiles::NameLeadsToFile(m_number))
            reopen();
        VbFiles::Print(m_number, text);
    } catch (const VbError &e) {
        if (m_failing)
            return std::nullopt;
        m_failing = true;
        return e;
    }
    m_failing = false;
    return std::nullopt;
}
