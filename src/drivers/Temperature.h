#pragma once

#include "drivers/DriverFrame.h"

#include <functional>
#include <optional>

// The controller's temperatures, cooling fan, secondary-mirror heater and dew heaters as
// automation clients see them. Temperatures are degrees Fahrenheit as reported.
struct Report;

class Temperature : public DriverFrame
{
public:
    Temperature();

    bool Connected() const { return linkedNow(); }
    void setConnected(bool value);

    // The object's own parser: a client may feed it text, taken as the next chunk. The getters
    // read the link's record of what the controller reported, so fed text reaches only the
    // handshake, the firmware version and the temperatures the windows share.
    void Handle_Received(const QString &buffer);

    void setFanMode(int16_t value);
    void setFanSpeed(int16_t value);
    void setFanDeadband(float value);
    void setFanAggressiveness(float value);
    void setSecondaryHeaterMode(int16_t value);
    void setSecondaryHeaterPower(int16_t value);
    void setSecondaryHeaterSetpoint(float value);
    void setDewHeater1Power(int16_t value);
    void setDewHeater2Power(int16_t value);

protected:
    void dispatchReport(QStringView code, QStringView value) override;

private:
    using Decoder = std::function<std::optional<double>(const Report &)>;
    // Sends "T " unless the status is fresher than a second, then waits briefly for the
    // answer; refuses when `code` has not been reported since the port opened.
    void pollTemperatures(QStringView code);
    // A getter's value: the report of `code` as polled, and once a command (from anyone)
    // changed it, as answered after that; `decode` gives nothing for a value out of range,
    // which is refused as no response.
    double status(QStringView code, const Decoder &decode);
    // The status value `code` as the controller reports it now (answering a query written
    // after the last command that changes it): waits for it, bounded; else refuses with
    // `unavailable`.
    const Report &current(QStringView code, const char *unavailable, bool once = false);
    // The setters' refusal of a reported mode that is not manual, after the wanted rule.
    void requireManual(QStringView modeCode, const char *unavailable, const char *description);
};
