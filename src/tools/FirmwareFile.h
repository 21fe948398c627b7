#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

// The controller's firmware as a text file of S-records. Opening reads the file once and
// checks it whole; the lines it checked are the lines it then sends, each exactly as
// checked. Blank lines are no part of it (neither counted nor sent); a line ends at LF,
// CR LF, CR CR LF or a lone CR, so line numbers are those an editor shows; a UTF-8
// byte-order mark at the start is skipped, and a Ctrl-Z ends the file, as in a DOS text
// file. Both members report their own failure (in a box unless Say takes it) and return
// true, as the wizard expects.
class FirmwareFile
{
public:
    // Reads and checks `fileName`. False when done; true after the failure's box (a file
    // that is missing or cannot be read, more than 32767 records, a line that is no
    // S-record, no data record or no end record after the last one).
    bool OpenFirmwareFile(const QString &fileName);
    // Sends the next line through the main window's link, as the upload's own text, and
    // waits up to `deliveryMs` for it to leave the port; at the end of the file nothing.
    // False when sent or at the end; true after the failure's box, which names the line
    // when it did not leave an open port.
    bool SendNextFirmwareLine(int deliveryMs = 1000);
    // Forgets the lines.
    void Close();

    int16_t FirmwareLineCount = 0; // the records, blank lines not counted
    // Takes a failure's text instead of a box (the upload says it once it gave the line back).
    std::function<void(const QString &)> Say;

    struct Line
    {
        int number; // in the file, counting blank lines
        QString text;
    };

private:
    std::vector<Line> m_lines;
    size_t m_next = 0;
};
