#pragma once

#include <QString>
#include <cstdint>

// Files addressed by number, as the program's logs keep them open across procedures.
// Text is written as single-byte (Latin-1) and reaches the disk at once, so a reader sees
// every line while the file is open and nothing is lost if the process ends abruptly.
namespace VbFiles {

enum class Mode { Output, Append };

// The lowest file number not in use (1 and up).
int16_t FreeFile();

// Opens `path` under `number`. A number already in use throws VbError 55 "File already
// open"; a file that cannot be opened throws VbError 75 "Path/File access error".
void Open(int16_t number, const QString &path, Mode mode);

// Writes `text` exactly as given. A number not open throws VbError 52 "Bad file name or number".
void Print(int16_t number, const QString &text);

// Closes the file; a number that is not open is ignored.
void Close(int16_t number);

bool IsOpen(int16_t number);

} // namespace VbFiles
