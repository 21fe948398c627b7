#include "tools/HeaterModel.h"

#include "platform/Vb.h"
#include "platform/VbError.h"

#include <algorithm>
#include <cmath>

void HeaterModel::PrepareModelData()
{
    if (PointCount == 0)
        return;
    TimeStep = DataSet[1][Time] - DataSet[0][Time];
    InitialTemperature = DataSet[0][Temperature];
    StartTime = DataSet[0][Time];
    // The step is the power switched on; the last row's power is the step only if it stayed.
    m_switchOnRow = PointCount - 1;
    for (int i = 0; i < PointCount; ++i) {
        if (DataSet[i][Power] != 0) {
            SwitchOnTime = DataSet[i][Time];
            m_switchOnRow = i;
            break;
        }
    }
    HeaterStep = DataSet[m_switchOnRow][Power];
}

std::optional<int> HeaterModel::PowerLeftStep() const
{
    for (int i = m_switchOnRow; i < PointCount; ++i) {
        if (DataSet[i][Power] != HeaterStep)
            return i;
    }
    return std::nullopt;
}

float HeaterModel::ModelValue(float t) const
{
    const float d = t - DeadTime;
    if (!(d > SwitchOnTime))
        return InitialTemperature;
    const double rise = double(Gain * HeaterStep) * (1 - std::exp(-double(t - DeadTime - SwitchOnTime) / TimeConstant));
    return float(InitialTemperature + rise);
}

// Rows lie a fixed step apart, so past the switch-on each row's decay is the previous one's
// times exp(-TimeStep / TimeConstant): one exponential per evaluation instead of one per row.
double HeaterModel::ModelError() const
{
    const double rise = double(Gain * HeaterStep);
    const double ratio = std::exp(-double(TimeStep) / TimeConstant);
    double sum = 0;
    double t = StartTime;
    double decay = 0;
    bool on = false;
    for (int i = 0; i < PointCount; ++i) {
        const float at = float(t);
        float model = InitialTemperature;
        if (at - DeadTime > SwitchOnTime) {
            decay = on ? decay * ratio : std::exp(-double(at - DeadTime - SwitchOnTime) / TimeConstant);
            on = true;
            model = float(InitialTemperature + rise * (1 - decay));
        } else {
            on = false;
        }
        const double diff = double(DataSet[i][Temperature]) - model;
        sum += diff * diff;
        t += TimeStep;
    }
    return sum;
}

bool HeaterModel::FitHeaterModel()
{
    // No power step, or every row at one time, leaves every model value equal: nothing to fit.
    if (PointCount < 2 || HeaterStep == 0 || TimeStep == 0)
        return false;
    // A step whose power changed on the way is no step the model describes.
    if (PowerLeftStep())
        return false;
    const float gainTolerance = 0.0005f, timeTolerance = 0.005f, deadTolerance = 0.005f;
    const int gainCount = 7, timeCount = 11; // halvings from the first steps to the tolerances
    Gain = 0.1f;
    TimeConstant = 60;
    DeadTime = 5;
    double outerPrevious = 0, middlePrevious = 0, innerPrevious = 0;
    int outerIterations = 0;
    float gainStep = 0.05f;
    float gainDirection = 1;
    int gainReversals = 0;
    while (gainStep > gainTolerance) {
        if (++outerIterations > 1000)
            return false;
        Gain = Gain + gainDirection * gainStep;
        if (Gain <= 0) {
            Gain = 0.0005f;
            gainStep /= 2;
        }
        float timeStep = 10;
        float timeDirection = 1;
        int timeReversals = 0;
        int middleIterations = 0;
        double e = 0;
        while (timeStep > timeTolerance) {
            if (++middleIterations > 1000)
                return false;
            TimeConstant = TimeConstant + timeDirection * timeStep;
            if (TimeConstant <= 0) {
                TimeConstant = 0.005f;
                timeStep /= 2;
            }
            float deadStep = 1;
            float deadDirection = 1;
            int innerIterations = 0;
            while (deadStep > deadTolerance) {
                if (++innerIterations > 1000)
                    return false;
                DeadTime = DeadTime + deadDirection * deadStep;
                if (DeadTime < 0) {
                    DeadTime = 0;
                    deadStep /= 2;
                }
                if (DeadTime > 10) {
                    DeadTime = 10;
                    deadStep /= 2;
                }
                e = ModelError();
                if (e >= innerPrevious) {
                    deadDirection = -deadDirection;
                    deadStep /= 2;
                }
                innerPrevious = e;
            }
            if (e >= middlePrevious) {
                timeDirection = -timeDirection;
                timeStep /= 2;
                ++timeReversals;
                if (Progress)
                    Progress(int(vb::Int(double(timeReversals) / timeCount * gainReversals / gainCount * 100)));
            }
            middlePrevious = e;
        }
        if (e > outerPrevious) {
            gainDirection = -gainDirection;
            ++gainReversals;
            gainStep /= 2;
        }
        outerPrevious = e;
        if (Progress)
            Progress(int(vb::Int(double(gainReversals) / gainCount * 100)));
    }
    return true;
}

bool HeaterModel::ModelIsFlat() const
{
    constexpr double Tolerance = 1e-6; // relative
    if (PointCount == 0 || TimeStep == 0)
        return true;
    bool risen = false;
    double low = 0, high = 0;
    float t = StartTime;
    for (int i = 0; i < PointCount; ++i, t += TimeStep) {
        risen = risen || float(t - DeadTime) > SwitchOnTime;
        const double m = ModelValue(t);
        low = i == 0 ? m : std::min(low, m);
        high = i == 0 ? m : std::max(high, m);
    }
    return !risen || high - low <= Tolerance * std::max(std::abs(low), std::abs(high));
}

std::optional<float> HeaterModel::GoodnessOfFit() const
{
    if (ModelIsFlat())
        return std::nullopt;
    float sm = 0, sy = 0, sym = 0, smm = 0;
    float t = StartTime;
    for (int i = 0; i < PointCount; ++i) {
        const float m = ModelValue(t);
        const float y = DataSet[i][Temperature];
        sm += m;
        sy += y;
        sym += y * m;
        smm += m * m;
        t += TimeStep;
    }
    const float n = PointCount;
    const float denominator = smm - sm * sm / n;
    if (denominator == 0 || !std::isfinite(denominator))
        return std::nullopt;
    const float slope = (sym - sm * sy / n) / denominator;
    if (!std::isfinite(slope * slope))
        return std::nullopt;
    return slope * slope;
}

std::optional<HeaterModel::Coefficients> HeaterModel::Derive(float gain, float timeConstant, float deadTime)
{
    const double k = gain, t = timeConstant, l = deadTime;
    if (k == 0)
        return std::nullopt;
    const float lambda = 0.8 * l >= 0.1 * t ? float(0.8 * l) : float(0.1 * t);
    const double denominator = lambda + 0.5 * l;
    if (denominator == 0)
        return std::nullopt;
    const double p = (0.011 / k) * t / denominator;
    Coefficients c;
    c.proportional = vb::Format(p, QStringLiteral("0.0000"));
    c.integral = vb::Format(timeConstant, QStringLiteral("0.00"));
    c.derivative = vb::Format(0.5 * l, QStringLiteral("0.00"));
    c.derivativeTime = QStringLiteral("10");
    const double shownP = vb::Val(c.proportional);
    if (shownP == 0)
        return std::nullopt;
    if (Hundredths(c.proportional))
        c.integralLimit = vb::CStr(vb::Int(5 * t / shownP));
    return c;
}

std::optional<int16_t> HeaterModel::Hundredths(const QString &shown)
{
    try {
        const double value = vb::CDbl(shown);
        const int16_t hundredths = vb::CInt(value * 100);
        if (hundredths == 0 && value != 0)
            return std::nullopt;
        return hundredths;
    } catch (const VbError &) {
        return std::nullopt;
    }
}
