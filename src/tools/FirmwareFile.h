#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// The controller's firmware as a text file of S-records. Opening counts its lines and
// refuses a file that is no complete firmware; each line then goes to the controller
// exactly as read, without its line end. A Ctrl-Z ends the file, as in a DOS text file.
// Both members report their own failure in a box and return true, as the wizard expects.
class FirmwareFile
{
public:
    FirmwareFile() = default;
    ~FirmwareFile();
    FirmwareFile(const FirmwareFile &) = delete;
    FirmwareFile &operator=(const FirmwareFile &) = delete;

    // Opens, counts and checks `fileName`, then reopens it at its start. False when done;
    // true after the failure's box (missing or unreadable file, more lines than 32767, a
    // line that is no S-record, no data record or no end record after the last one).
    bool OpenFirmwareFile(const QString &fileName);
    // Sends the next line through the main window's link, as the upload's own text; at the
    // end of the file nothing. False when sent or at the end; true after the failure's box.
    bool SendNextFirmwareLine();
    // Closes the file if it is open.
    void Close();

    int16_t FirmwareFileNumber = 0; // 0 while closed
    int16_t FirmwareLineCount = 0;

private:
    void open(const QString &fileName);
    // The next line, or nothing at the end of the file or at a Ctrl-Z.
    std::optional<QString> nextLine();

    bool m_ended = false; // a Ctrl-Z was read
};
