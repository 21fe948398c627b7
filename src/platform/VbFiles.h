#pragma once

#include "platform/Variant.h"

#include <QString>
#include <cstdint>
#include <initializer_list>

// Files addressed by number, as the program's logs keep them open across procedures.
// Text is single-byte (Latin-1) both ways. What is written reaches the disk at once, so a
// reader sees every line while the file is open and nothing is lost if the process ends
// abruptly.
namespace VbFiles {

enum class Mode { Output, Append, Input };

// The lowest file number not in use (1 and up).
int16_t FreeFile();

// Opens `path` under `number`. A number already in use throws VbError 55 "File already
// open"; a file that cannot be opened throws VbError 75 "Path/File access error".
void Open(int16_t number, const QString &path, Mode mode);

// Writes `text` exactly as given, whole or not at all: a write cut short (a full disk)
// leaves the file as it was before it and throws VbError 61 "Disk full". A number not open
// throws VbError 52 "Bad file name or number".
void Print(int16_t number, const QString &text);

// Whether the file's name still leads to the open file (not deleted, renamed or replaced
// since it was opened). A number not open throws VbError 52.
bool NameLeadsToFile(int16_t number);

// One record of comma-separated fields ending in CR LF: text between double quotes (as it
// stands: the format has no escape for a quote inside), numbers bare with "." as the
// decimal point (Single with 7 significant digits, Double with 15), Booleans as #TRUE# and
// #FALSE#, Empty as nothing.
void Write(int16_t number, std::initializer_list<Variant> fields);
QString WriteRecordText(std::initializer_list<Variant> fields);
// The same for a record whose fields are known only at run time.
void Write(int16_t number, const VariantArray &fields);
QString WriteRecordText(const VariantArray &fields);

// Reading a file opened with Mode::Input. Past the end each throws VbError 62 "Input past
// end of file"; a number not open for input throws VbError 52.
// One line without its ending (CR LF, LF or a lone CR).
QString LineInput(int16_t number);
// One field: leading blanks are skipped, and line ends too unless a comma came just
// before (then the field is empty); a field in double quotes ends at the closing quote and
// may hold commas (a file that ends before that quote throws VbError 62), an unquoted one
// ends at a comma or a line end and loses its surrounding blanks. The separator after the
// field is consumed.
QString Input(int16_t number);
// True at the very end of the file.
bool EndOfFile(int16_t number);
// True when nothing but blanks and line ends is left and no comma promised a field.
bool EndOfFields(int16_t number);

// Closes the file; a number that is not open is ignored.
void Close(int16_t number);

bool IsOpen(int16_t number);

} // namespace VbFiles
