#pragma once

#include "tools/FirmwareFile.h"

#include <QString>
#include <cstdint>
#include <memory>

class Serial;

// What the upload shows while it runs: the wizard's status line and progress bar.
class FirmwareUploadView
{
public:
    virtual void setStatus(const QString &text) = 0;
    virtual void setProgress(int percent) = 0;
    virtual void redraw() = 0;

protected:
    ~FirmwareUploadView() = default;
};

// The exchange with the controller's boot loader through the main window's link: the
// handshake "x ", the erase "E", the program command "P" and every line of the firmware
// file, each acknowledged with "*". While it runs the normal receive path is suspended
// (FlashInProgress, FlashAckFlag) and the port is read here, mostly without serving events.
class FirmwareUpload
{
public:
    // The waits of the exchange, in milliseconds.
    struct Timings
    {
        int handshakeMs = 1000;    // per attempt, two attempts
        int eraseMs = 10000;       // for the erase status
        int programPauseMs = 2000; // after "P", serving events
        int lineMs = 5000;         // for each line's "*"
        int drainMs = 10000;       // for the output to leave
    };

    // The error codes of a failed upload (0: every line was sent).
    enum Error : int16_t {
        NoResponse = 1,
        NoProgrammingVoltage = 2,
        EraseFailed = 3,
        FileNotOpened = 4,
        LineNotSent = 5,
        NoLineHandshake = 6,
    };

    FirmwareUpload(FirmwareUploadView &view, Timings timings);

    // Uploads `fileName`; 0 on success, else the error code. Run-time failures (no main
    // window) are thrown. However it ends, the receive path is back and the file closed
    // before any box says why.
    int16_t run(const QString &fileName);

    int16_t FirmwareLinesSent = 0;

private:
    int16_t upload(const QString &fileName);
    int16_t exchange(const QString &fileName);
    bool handshake();
    void awaitErase();
    bool drained();
    bool acknowledged();
    void send(const QString &text);
    void passToParser();

    FirmwareUploadView &m_view;
    Timings m_timings;
    FirmwareFile m_file;
    std::shared_ptr<Serial> m_link;
    QString m_failure; // what a box says once the line is given back
};
