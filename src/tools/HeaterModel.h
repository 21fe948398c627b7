#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

// The secondary heater as a first-order-plus-dead-time model fitted to a heat challenge
// (time in minutes, heater power in percent, secondary temperature), and the PID
// coefficients derived from it. Parameter and step arithmetic is single precision.
class HeaterModel
{
public:
    static constexpr int Rows = 251;
    enum Column { Time = 0, Power = 1, Temperature = 2 };

    std::array<std::array<float, 3>, Rows> DataSet{};
    int16_t PointCount = 0;

    // Prepared from the data.
    float TimeStep = 0;
    float InitialTemperature = 0;
    float StartTime = 0;
    float HeaterStep = 0;
    float SwitchOnTime = 0;

    // The model: temperature rise per percent, time constant and dead time in minutes.
    float Gain = 0;
    float TimeConstant = 0;
    float DeadTime = 0;
    float FitGoodness = 0;

    // Told the progress (0 to 100) as the search narrows; may repaint.
    std::function<void(int)> Progress;

    // HeaterStep is the power of the first row with power, the switch-on.
    void PrepareModelData();
    // The first row from the switch-on on whose power is not HeaterStep; nothing when the
    // power stayed at the step.
    std::optional<int> PowerLeftStep() const;
    // The nested search. False when an iteration limit is passed, or when the data hold no
    // heater power step, a step whose power did not stay, or no time step.
    bool FitHeaterModel();
    // The squared least-squares slope of measured against model temperatures; nothing when
    // the model is flat or the result is not a finite number.
    std::optional<float> GoodnessOfFit() const;
    // True when the model values at the rows are all equal, to a millionth of their size:
    // a time step of 0, no row past the switch-on plus the dead time, or no rise to speak of.
    // The goodness's Single sums cannot be trusted to find that out.
    bool ModelIsFlat() const;
    float ModelValue(float t) const;
    // Sum of squared differences; rows lie at StartTime + i x TimeStep.
    double ModelError() const;

    // The coefficients as shown and uploaded.
    struct Coefficients
    {
        QString proportional; // "0.0000"
        QString integral;     // "0.00"
        QString derivative;   // "0.00"
        QString derivativeTime;
        QString integralLimit;
    };
    // Nothing when the shown proportional gain is 0, which leaves no integral limit. The
    // integral limit is left empty where the gain it comes from cannot be uploaded.
    static std::optional<Coefficients> Derive(float gain, float timeConstant, float deadTime);
    // The hundredths a shown coefficient is uploaded as; nothing when they do not fit the
    // controller's 16 bits, or when a value that is not 0 would go out as 0.
    static std::optional<int16_t> Hundredths(const QString &shown);

private:
    int m_switchOnRow = 0;
};
