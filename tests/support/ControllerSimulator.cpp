#include "support/ControllerSimulator.h"

#include "platform/Clock.h"
#include "platform/Wait.h"
#include "support/PseudoTerminal.h"
#include "support/SimulatorReports.h"

#include <QStringList>

#include <algorithm>
#include <chrono>
#include <thread>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int StepsPerTurn = 72000;
constexpr int CommandPauseMs = 50; // an unterminated command is taken after this pause
constexpr int CoverPhaseTicks = 10;
constexpr int MotionTickMs = 10;
constexpr int FollowLateMs = 10; // about one answer's time on the line

QList<const ControllerSimulator *> &alive()
{
    static QList<const ControllerSimulator *> simulators;
    return simulators;
}

int foldTurn(int steps)
{
    return ((steps % StepsPerTurn) + StepsPerTurn) % StepsPerTurn;
}

// A distance added to one still to go saturates rather than wrapping.
int addSaturated(int toGo, int more)
{
    return int(std::clamp<int64_t>(int64_t(toGo) + more, INT_MIN, INT_MAX));
}

// Wide arithmetic: a fuzzed command may ask for any 32-bit distance, INT_MIN included.
int stepToward(int64_t toGo, int speed)
{
    const int step = int(std::min<int64_t>(toGo < 0 ? -toGo : toGo, speed));
    return toGo < 0 ? -step : step;
}

QString sensorCode(ControllerSimulator::Sensor sensor)
{
    switch (sensor) {
    case ControllerSimulator::Sensor::Ambient: return QStringLiteral(":t1");
    case ControllerSimulator::Sensor::Primary: return QStringLiteral(":t2");
    case ControllerSimulator::Sensor::Secondary: return QStringLiteral(":t3");
    case ControllerSimulator::Sensor::Electronics: return QStringLiteral(":t7");
    }
    return {};
}

} // namespace

ControllerSimulator::ControllerSimulator(QObject *parent)
    : QObject(parent)
    , m_terminal(new PseudoTerminal(this))
    , m_values(SimulatorReports::defaultValues())
{
    connect(m_terminal, &PseudoTerminal::bytesReceived, this, &ControllerSimulator::onBytes);
    m_commandPause.setSingleShot(true);
    connect(&m_commandPause, &ClockTimer::timeout, this, &ControllerSimulator::takePendingCommand);
    connect(&m_motion, &ClockTimer::timeout, this, &ControllerSimulator::tick);
    m_lateTimer.setSingleShot(true);
    connect(&m_lateTimer, &ClockTimer::timeout, this, &ControllerSimulator::sendLate);
    alive().append(this);
    for (QTimer *timer : {&m_inboundTimer, &m_outboundTimer}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(&m_inboundTimer, &QTimer::timeout, this, &ControllerSimulator::takeDueBytes);
    connect(&m_outboundTimer, &QTimer::timeout, this, &ControllerSimulator::sendDue);
    m_wireClock.start();
}

ControllerSimulator::~ControllerSimulator()
{
    alive().removeOne(this);
}

QString ControllerSimulator::devicePath() const { return m_terminal->slavePath(); }
bool ControllerSimulator::isOpen() const { return m_terminal->isOpen(); }
QString ControllerSimulator::errorString() const { return m_terminal->errorString(); }

void ControllerSimulator::setSilent(bool silent) { m_silent = silent; }
void ControllerSimulator::setChunking(const QList<int> &cutOffsets) { m_terminal->setCuts(cutOffsets); }
void ControllerSimulator::setRandomChunking(quint32 seed, int maxChunk) { m_terminal->setRandomCuts(seed, maxChunk); }
void ControllerSimulator::clearChunking() { m_terminal->clearCuts(); }
bool ControllerSimulator::hasPendingOutput() const { return m_terminal->hasPendingOutput(); }
bool ControllerSimulator::lineBusy() const { return m_terminal->hasBytesInFlight(); }

bool ControllerSimulator::anyLineBusy()
{
    return std::any_of(alive().begin(), alive().end(), [](const ControllerSimulator *sim) { return sim->lineBusy(); });
}
void ControllerSimulator::sendRaw(const QByteArray &bytes) { m_terminal->write(bytes); }
void ControllerSimulator::setAnswer(QChar query, const Answer &answer) { m_answers[query] = answer; }

void ControllerSimulator::vanish()
{
    m_terminal->hangUp();
    m_commandPause.stop();
    m_commandText.clear();
}

bool ControllerSimulator::waitForReceived(const QString &text, int timeoutMs)
{
    return Wait::Until(timeoutMs, [&] { return m_received.contains(text); });
}

// --- the command stream ---

void ControllerSimulator::onBytes(const QByteArray &bytes)
{
    if (m_byteNs == 0) {
        takeBytes(bytes);
        return;
    }
    qint64 due = std::max(m_wireClock.nsecsElapsed(), m_inboundFree);
    for (char c : bytes) {
        due += m_byteNs;
        m_inbound.append({due, QByteArray(1, c)});
    }
    m_inboundFree = due;
    takeDueBytes();
}

void ControllerSimulator::takeBytes(const QByteArray &bytes)
{
    m_received += QString::fromLatin1(bytes);
    for (char c : bytes) {
        if (c == '\x11' || c == '\x13') // flow control from the line discipline
            continue;
        if (m_inLoader) {
            m_loaderReceived += QLatin1Char(c);
            loaderByte(c);
        }
        else if (c == ' ')
            takePendingCommand();
        else
            m_commandText.append(c);
    }
    if (m_commandText.isEmpty())
        m_commandPause.stop();
    else
        m_commandPause.start(CommandPauseMs);
    emit bytesReceived(bytes);
}

void ControllerSimulator::takePendingCommand()
{
    if (m_commandText.isEmpty())
        return;
    const QString command = QString::fromLatin1(m_commandText);
    m_commandText.clear();
    execute(command);
    emit commandReceived(command);
}

void ControllerSimulator::execute(const QString &command)
{
    if (m_loader && command == QLatin1String("x")) {
        m_inLoader = true;
        send(m_loader->handshake);
        return;
    }
    const QChar letter = command.front();
    const QString argument = command.mid(1);
    const bool hasArgument = !argument.isEmpty();
    if (!hasArgument && SimulatorReports::queries().contains(letter)) {
        const Answer how = m_answers.value(letter);
        answer(how.codes.isEmpty() ? SimulatorReports::queries().value(letter) : how.codes, how.delayMs);
        return;
    }
    if (executeFocuser(letter, argument, hasArgument) || executeRotator(letter, argument, hasArgument)
        || executeStepper(letter, argument) || executeTemperature(letter, argument))
        return;
    executeSettings(letter, argument);
}

bool ControllerSimulator::executeFocuser(QChar letter, const QString &argument, bool hasArgument)
{
    bool isNumber = false;
    const int number = argument.toInt(&isNumber);
    switch (letter.unicode()) {
    case 'b':
        if (isNumber) {
            m_focuserHoming = false;
            setFocuserTarget(number);
        }
        return true;
    case 'S':
        m_focuserHoming = false;
        setFocuserTarget(m_focuserPosition);
        return true;
    case 'h': // home
    case 'o': // goto before the home is known: finds it first
        m_focuserHoming = m_focuserPosition != 0;
        setFocuserTarget(0);
        if (!m_focuserHoming)
            setFocuserHomed(true);
        return true;
    case 'U':
        setMotorForcedOff(isNumber && number != 0);
        return true;
    case '+': m_values[":tc"] = argument; return true;
    case '=': m_values[":tcc"] = argument; return true;
    case '`': setFlag(":frp", 1, number != 0); return true;
    case 'f': setFlag(":frp", 8, true); return true;
    case 'F':
        if (argument.contains('.'))
            return false; // a calibration coefficient
        m_values[":tcm"] = argument;
        return true;
    default:
        return !hasArgument && letter == 'H'; // sent after a link; nothing to do
    }
}

bool ControllerSimulator::executeRotator(QChar letter, const QString &argument, bool hasArgument)
{
    bool isNumber = false;
    const int number = argument.toInt(&isNumber);
    switch (letter.unicode()) {
    case 'j':
        if (!isNumber)
            return false;
        m_rotatorHoming = false;
        m_rotatorToGo = number;
        startMotion();
        return true;
    case 'q':
        if (!isNumber)
            return false;
        m_rotatorHoming = false;
        m_rotatorToGo = number == 0 ? 0 : addSaturated(m_rotatorToGo, number);
        startMotion();
        return true;
    case 'r': {
        int toGo = -m_rotatorPosition;
        if (toGo < -StepsPerTurn / 2)
            toGo += StepsPerTurn;
        m_rotatorHoming = toGo != 0;
        m_rotatorToGo = toGo;
        if (!m_rotatorHoming)
            setRotatorHomed(true);
        startMotion();
        return true;
    }
    case 'p':
        if (!isNumber)
            return false;
        setRotatorPosition(number);
        return true;
    case 'i':
        if (hasArgument)
            return false;
        m_rotatorWrap = 0;
        return true;
    case 'v':
        if (hasArgument)
            return false;
        setFlag(":rrp", 8, true);
        return true;
    case '/': setFlag(":rrp", 1, number != 0); return true;
    default: return false;
    }
}

bool ControllerSimulator::executeStepper(QChar letter, const QString &argument)
{
    bool isNumber = false;
    const int number = argument.toInt(&isNumber);
    if (!isNumber)
        return false;
    static const QString moveLetters = QStringLiteral("aBCd");
    if (const qsizetype channel = moveLetters.indexOf(letter); channel >= 0) {
        m_stepperToGo[size_t(channel)] = addSaturated(m_stepperToGo[size_t(channel)], number);
        startMotion();
        return true;
    }
    switch (letter.unicode()) {
    case '0': m_values[":S2M"] = argument; return true;
    case '3': // halt one channel, or all for any other number
        for (int channel = 1; channel <= 4; ++channel) {
            if (number == channel || number < 1 || number > 4)
                m_stepperToGo[size_t(channel - 1)] = 0;
        }
        return true;
    case '7':
        if (number == 1 || number == 4) {
            m_coverState = number == 1 ? 2 : 5;
            m_coverTicks = CoverPhaseTicks;
            startMotion();
        }
        return true;
    case '9': { // current in 1/60 A, 64 per channel offset; reported in 1/90 A
        const int channel = std::clamp(number / 64, 0, 3);
        m_values[QStringLiteral(":S%1C").arg(channel + 2)] = QString::number((number - 64 * channel) * 3 / 2);
        return true;
    }
    case 'D': { // microstep mode: 4 per channel, channels from 1
        const int channel = number / 4;
        if (channel >= 1 && channel <= 4)
            m_values[QStringLiteral(":S%1SM").arg(channel + 1)] = QString::number(number % 4);
        return true;
    }
    default:
        return false;
    }
}

bool ControllerSimulator::executeTemperature(QChar letter, const QString &argument)
{
    switch (letter.unicode()) {
    case 'y':
        m_values[":fm"] = QStringLiteral("0");
        m_values[":fs"] = argument;
        return true;
    case 'n': m_values[":fm"] = argument; return true;
    case 'O': m_values[":ft"] = argument; return true;
    case 'g': m_values[":fg"] = argument; return true;
    case 'w': m_values[":sm"] = argument; return true;
    case 's':
        m_values[":sm"] = QStringLiteral("0");
        m_values[":ss"] = argument;
        return true;
    case 'P': m_values[":st"] = argument; return true;
    case 'c': m_values[":d1"] = argument; return true;
    case 'k': m_values[":d2"] = argument; return true;
    default: return false;
    }
}

bool ControllerSimulator::executeSettings(QChar letter, const QString &argument)
{
    if (const QString code = SimulatorReports::settingCodes().value(letter); !code.isEmpty()) {
        m_values[code] = argument;
        return true;
    }
    bool isNumber = false;
    const double number = argument.toDouble(&isNumber);
    const auto scaled = [&] { return QString::number(std::llround(number * 100000)); };
    switch (letter.unicode()) {
    case '{':
        m_values[":ifo"] = QString::number(number != 0 ? 1 : 0);
        m_values[":ifa"] = QStringLiteral("0");
        return true;
    case '}': m_values[":ifa"] = QStringLiteral("1"); return true;
    // temperature calibration: slopes and intercepts of the sensors
    case 'A': if (isNumber) m_values[":sl1"] = scaled(); return isNumber;
    case 'B': if (isNumber) m_values[":sl2"] = argument; return isNumber;
    case 'C': if (isNumber) m_values[":sl3"] = argument; return isNumber;
    case 'D': if (isNumber) m_values[":of1"] = scaled(); return isNumber;
    case 'E': if (isNumber) m_values[":of2"] = argument; return isNumber;
    case 'F': if (isNumber) m_values[":of3"] = argument; return isNumber;
    default: return false; // unknown commands are ignored
    }
}

void ControllerSimulator::answer(const QStringList &codes, int delayMs)
{
    if (m_silent)
        return;
    QByteArray burst;
    for (const QString &code : codes) {
        QString text = value(code);
        if (text.isEmpty())
            text = QStringLiteral("0"); // never leave a code without its value
        burst += (code + ' ' + text + ' ').toLatin1();
    }
    if (m_late.isEmpty() && delayMs <= 0) {
        send(burst);
        return;
    }
    // In order: an answer behind a late one follows it as over the line, a moment after.
    int64_t due = Clock::Now() + delayMs;
    if (!m_late.isEmpty())
        due = std::max(due, m_late.last().first + FollowLateMs);
    m_late.append({due, burst});
    sendLate();
}

void ControllerSimulator::sendLate()
{
    while (!m_late.isEmpty() && m_late.front().first <= Clock::Now())
        send(m_late.takeFirst().second);
    // On the program's clock: a test clock moving time forward stops at it.
    if (!m_late.isEmpty())
        m_lateTimer.start(int(m_late.front().first - Clock::Now()));
}

// --- the boot loader ---

void ControllerSimulator::setBootLoader(const BootLoader &loader)
{
    m_loader = loader;
    m_inLoader = loader.entered;
    m_loaderText.clear();
    m_loaderLines.clear();
    m_loaderReceived.clear();
}

void ControllerSimulator::loaderByte(char c)
{
    if (m_loaderText.isEmpty()) {
        switch (c) {
        case 'E': send(m_loader->erase); return;
        case 'P': send(m_loader->program); return;
        case 'x':
        case 'S': m_loaderText.append(c); return;
        default: return; // not for the loader
        }
    }
    m_loaderText.append(c);
    if (m_loaderText.front() == 'x') {
        if (c == ' ')
            send(m_loader->handshake);
        m_loaderText.clear();
        return;
    }
    // "S", the record type, two hex digits of the byte count, then that many bytes in hex.
    if (m_loaderText.size() < 4)
        return;
    bool isHex = false;
    const int count = m_loaderText.mid(2, 2).toInt(&isHex, 16);
    if (!isHex) {
        m_loaderText.clear();
        return;
    }
    if (m_loaderText.size() < 4 + 2 * count)
        return;
    m_loaderLines << QString::fromLatin1(m_loaderText);
    m_loaderText.clear();
    if (m_loader->silentFromLine == 0 || m_loaderLines.size() < m_loader->silentFromLine)
        send(m_loader->line);
}

// --- line pacing ---

void ControllerSimulator::setLinePacing(int baud)
{
    m_byteNs = baud > 0 ? 10'000'000'000LL / baud : 0;
}

void ControllerSimulator::takeDueBytes()
{
    const qint64 now = m_wireClock.nsecsElapsed();
    while (!m_inbound.isEmpty() && m_inbound.front().due <= now) {
        const Timed next = m_inbound.takeFirst();
        m_now = next.due; // an answer starts when the byte was complete, not when we got to it
        takeBytes(next.bytes);
    }
    m_now = -1;
    schedule(m_inboundTimer, m_inbound);
}

void ControllerSimulator::send(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    if (m_byteNs == 0) {
        m_terminal->write(bytes);
        return;
    }
    const qint64 start = m_now >= 0 ? m_now : m_wireClock.nsecsElapsed();
    m_outboundFree = std::max(start, m_outboundFree) + m_byteNs * bytes.size();
    m_outbound.append({m_outboundFree, bytes});
    sendDue();
}

void ControllerSimulator::sendDue()
{
    const qint64 now = m_wireClock.nsecsElapsed();
    while (!m_outbound.isEmpty() && m_outbound.front().due <= now)
        m_terminal->write(m_outbound.takeFirst().bytes);
    schedule(m_outboundTimer, m_outbound);
}

void ControllerSimulator::schedule(QTimer &timer, const QList<Timed> &queue)
{
    if (queue.isEmpty())
        return;
    // The timer wakes us a little early (it keeps whole milliseconds); the rest is slept
    // here, so that each byte is due within a fraction of its own wire time.
    constexpr qint64 SleepNs = 2'000'000;
    const qint64 ns = queue.front().due - m_wireClock.nsecsElapsed();
    if (ns <= SleepNs) {
        if (ns > 0)
            std::this_thread::sleep_for(std::chrono::nanoseconds(ns));
        timer.start(0);
        return;
    }
    timer.start(int((ns - SleepNs) / 1'000'000));
}

// --- report values ---

QString ControllerSimulator::value(const QString &code) const
{
    const auto text = [](int number) { return QString::number(number); };
    if (code == QLatin1String(":s"))
        return text(m_focuserTarget);
    if (code == QLatin1String(":a"))
        return text(m_focuserPosition);
    if (code == QLatin1String(":mo") || code == QLatin1String(":mb"))
        return text(m_motorForcedOff ? 1 : 0);
    if (code == QLatin1String(":rs"))
        return text(rotatorTarget());
    if (code == QLatin1String(":rt"))
        return text(m_rotatorPosition);
    if (code == QLatin1String(":wr"))
        return text(m_rotatorWrap);
    if (code == QLatin1String(":CS"))
        return text(m_coverState);
    if (code == QLatin1String(":SIM")) {
        int bits = 0;
        for (int channel = 1; channel <= 4; ++channel)
            bits |= stepperMoving(channel) ? 1 << (channel - 1) : 0;
        return text(bits);
    }
    static const QStringList stepperCodes = {":S1", ":S2", ":S3", ":S4"};
    if (const qsizetype channel = stepperCodes.indexOf(code); channel >= 0)
        return text(m_stepperPosition[size_t(channel)]);
    return m_values.value(code);
}

void ControllerSimulator::setValue(const QString &code, const QString &text)
{
    m_values[code] = text;
}

void ControllerSimulator::setFlag(const QString &code, int bit, bool on)
{
    const int bits = m_values.value(code).toInt();
    m_values[code] = QString::number(on ? bits | bit : bits & ~bit);
}

// --- focuser ---

void ControllerSimulator::setFocuserPosition(int steps)
{
    m_focuserPosition = m_focuserTarget = steps;
}

void ControllerSimulator::setFocuserTarget(int steps)
{
    m_focuserTarget = steps;
    startMotion();
}

bool ControllerSimulator::focuserMoving() const { return m_focuserPosition != m_focuserTarget; }

void ControllerSimulator::setFocuserSpeed(int stepsPer10ms)
{
    m_focuserSpeed = std::max(stepsPer10ms, 0);
    startMotion();
}

bool ControllerSimulator::focuserHomed() const { return m_values.value(":h") == QLatin1String("1"); }
void ControllerSimulator::setFocuserHomed(bool homed) { m_values[":h"] = QString::number(homed ? 1 : 0); }

void ControllerSimulator::setMotorForcedOff(bool off)
{
    m_motorForcedOff = off;
    startMotion();
}

// --- rotator ---

void ControllerSimulator::setRotatorPosition(int steps)
{
    m_rotatorPosition = foldTurn(steps);
    m_rotatorToGo = 0;
    m_rotatorHoming = false;
}

int ControllerSimulator::rotatorTarget() const { return foldTurn(m_rotatorPosition + m_rotatorToGo); }

void ControllerSimulator::setRotatorTarget(int steps)
{
    m_rotatorToGo = foldTurn(steps) - m_rotatorPosition;
    startMotion();
}

void ControllerSimulator::setRotatorWrap(int steps) { m_rotatorWrap = steps; }

void ControllerSimulator::setRotatorSpeed(int stepsPer10ms)
{
    m_rotatorSpeed = std::max(stepsPer10ms, 0);
    startMotion();
}

bool ControllerSimulator::rotatorHomed() const { return m_values.value(":rh") == QLatin1String("1"); }
void ControllerSimulator::setRotatorHomed(bool homed) { m_values[":rh"] = QString::number(homed ? 1 : 0); }

// --- temperatures, fan and heaters ---

double ControllerSimulator::temperature(Sensor sensor) const
{
    return m_values.value(sensorCode(sensor)).toDouble() / 100;
}

void ControllerSimulator::setTemperature(Sensor sensor, double fahrenheit)
{
    m_values[sensorCode(sensor)] = QString::number(std::lround(fahrenheit * 100));
}

int ControllerSimulator::fanMode() const { return m_values.value(":fm").toInt(); }
void ControllerSimulator::setFanMode(int mode) { m_values[":fm"] = QString::number(mode); }
int ControllerSimulator::fanSpeed() const { return m_values.value(":fs").toInt(); }
void ControllerSimulator::setFanSpeed(int percent) { m_values[":fs"] = QString::number(percent); }
int ControllerSimulator::heaterMode() const { return m_values.value(":sm").toInt(); }
void ControllerSimulator::setHeaterMode(int mode) { m_values[":sm"] = QString::number(mode); }
int ControllerSimulator::heaterPower() const { return m_values.value(":ss").toInt(); }
void ControllerSimulator::setHeaterPower(int percent) { m_values[":ss"] = QString::number(percent); }

int ControllerSimulator::dewHeaterPower(int zone) const
{
    return m_values.value(zone == 2 ? ":d2" : ":d1").toInt();
}

void ControllerSimulator::setDewHeaterPower(int zone, int percent)
{
    m_values[zone == 2 ? ":d2" : ":d1"] = QString::number(percent);
}

// --- steppers and cover ---

int ControllerSimulator::stepperPosition(int channel) const
{
    return channel >= 1 && channel <= 4 ? m_stepperPosition[size_t(channel - 1)] : 0;
}

void ControllerSimulator::setStepperPosition(int channel, int steps)
{
    if (channel < 1 || channel > 4)
        return;
    m_stepperPosition[size_t(channel - 1)] = steps;
    m_stepperToGo[size_t(channel - 1)] = 0;
}

bool ControllerSimulator::stepperMoving(int channel) const
{
    return channel >= 1 && channel <= 4 && m_stepperToGo[size_t(channel - 1)] != 0;
}

void ControllerSimulator::setStepperSpeed(int stepsPer10ms)
{
    m_stepperSpeed = std::max(stepsPer10ms, 0);
    startMotion();
}

void ControllerSimulator::setCoverState(int state)
{
    m_coverState = state;
    m_coverTicks = 0;
}

// --- motion ---

bool ControllerSimulator::anythingMoving() const
{
    return focuserMoving() || rotatorMoving() || m_coverTicks > 0
        || std::any_of(m_stepperToGo.begin(), m_stepperToGo.end(), [](int toGo) { return toGo != 0; });
}

void ControllerSimulator::startMotion()
{
    if (anythingMoving() && !m_motion.isActive())
        m_motion.start(MotionTickMs);
}

void ControllerSimulator::tick()
{
    if (!m_motorForcedOff)
        m_focuserPosition += stepToward(int64_t(m_focuserTarget) - m_focuserPosition, m_focuserSpeed);
    if (m_focuserHoming && !focuserMoving()) {
        m_focuserHoming = false;
        setFocuserHomed(true);
    }

    const int rotatorStep = stepToward(m_rotatorToGo, m_rotatorSpeed);
    m_rotatorPosition = foldTurn(m_rotatorPosition + rotatorStep);
    m_rotatorWrap += rotatorStep;
    m_rotatorToGo -= rotatorStep;
    if (m_rotatorHoming && m_rotatorToGo == 0) {
        m_rotatorHoming = false;
        setRotatorHomed(true);
    }

    for (size_t i = 0; i < m_stepperToGo.size(); ++i) {
        const int step = stepToward(m_stepperToGo[i], m_stepperSpeed);
        m_stepperPosition[i] += step;
        m_stepperToGo[i] -= step;
    }

    if (m_coverTicks > 0 && --m_coverTicks == 0) {
        // Opening runs 2, 3, 7 (open); closing 5, 6, 0 (closed).
        static const QHash<int, int> next = {{2, 3}, {3, 7}, {5, 6}, {6, 0}};
        m_coverState = next.value(m_coverState, m_coverState);
        if (m_coverState == 3 || m_coverState == 6)
            m_coverTicks = CoverPhaseTicks;
    }

    if (!anythingMoving())
        m_motion.stop();
}
