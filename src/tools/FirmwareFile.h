#pragma once

#include <QString>
#include <cstdint>

// The controller's firmware as a text file of S-records. It is not parsed: opening counts
// its lines, and each line goes to the controller exactly as read, without its line end.
// Both members report their own failure in a box and return true, as the wizard expects.
class FirmwareFile
{
public:
    FirmwareFile() = default;
    ~FirmwareFile();
    FirmwareFile(const FirmwareFile &) = delete;
    FirmwareFile &operator=(const FirmwareFile &) = delete;

    // Opens and counts `fileName`, then reopens it at its start. False when done; true after
    // the failure's box (missing or unreadable file, more lines than 32767).
    bool OpenFirmwareFile(const QString &fileName);
    // Sends the next line through the main window's link, as the upload's own text; at the
    // end of the file nothing. False when sent or at the end; true after the failure's box.
    bool SendNextFirmwareLine();
    // Closes the file if it is open.
    void Close();

    int16_t FirmwareFileNumber = 0; // 0 while closed
    int16_t FirmwareLineCount = 0;
};
