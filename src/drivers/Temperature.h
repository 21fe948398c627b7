#pragma once

#include "drivers/DriverFrame.h"

// The controller's temperatures, cooling fan, secondary-mirror heater and dew heaters as
// automation clients see them. Temperatures are degrees Fahrenheit as reported.
class Temperature : public DriverFrame
{
public:
    Temperature();

    bool Connected() const { return linkedNow(); }
    void setConnected(bool value);

    // The object's own parser: a client may feed it text, taken as the next chunk.
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
    // Sends "T " unless data is fresher than a second, then waits briefly for ":t1".
    void pollTemperatures();
    // A getter that polls, then returns `field`.
    template <typename T> auto polled(const T &field)
    {
        return [this, &field] {
            pollTemperatures();
            return field;
        };
    }
    // The setters' refusal of a mode that is not manual.
    static void requireManual(int16_t mode, const char *description);

    double ElectronicTempValue = 0;
    int16_t RawAmbient = 0;
    int16_t RawPrimary = 0;
    int16_t RawSecondary = 0;
    int16_t FanModeValue = 0;
    int16_t FanSpeedValue = 0;
    float FanDeadbandValue = 0;
    float FanAggressivenessValue = 0;
    int16_t HeaterModeValue = 0;
    int16_t HeaterPowerValue = 0;
    float HeaterSetpointValue = 0;
    int16_t Dew1PowerValue = 0;
    int16_t Dew2PowerValue = 0;
    bool AmbientSeen = false;
    bool StatusSeen = false;
};
