#pragma once

#include "platform/VbError.h"

#include <QString>
#include <cstdint>
#include <optional>

// A log the program writes line by line under a fixed name (a file number of VbFiles). When
// the name no longer leads to the open file (deleted, renamed or replaced while open), the
// next write opens the name afresh, a new file beginning with the header, so that no line
// goes into a file nobody can read. A log whose opening failed tries again on each write.
class LogFile
{
public:
    LogFile() = default;
    LogFile(const LogFile &) = delete;
    LogFile &operator=(const LogFile &) = delete;
    ~LogFile() { close(); }

    // Opens `path` for output, replacing any file of that name, and writes `header`.
    // Throws VbError (75 when it cannot be opened, 61 when the header does not fit); the
    // writes that follow stay quiet about it until one succeeds.
    void open(const QString &path, const QString &header);
    // Closes the file; nothing is written after this.
    void close();

    // Writes `text` whole or not at all. A failure gives its error the first time; while
    // the log goes on failing it gives nothing more, until a write succeeds again.
    std::optional<VbError> print(const QString &text);

    const QString &path() const { return m_path; }

private:
    // Opens the name for appending, and writes the header into a file that is new.
    void reopen();
    void closeFile();

    int16_t m_number = 0;
    QString m_path;
    QString m_header;
    bool m_failing = false; // the last write failed and that was told
};
