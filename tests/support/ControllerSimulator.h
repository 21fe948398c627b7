#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include "platform/ClockTimer.h"

#include <array>
#include <optional>

class PseudoTerminal;

// A simulated VKM controller on a pseudo-terminal, living in the caller's event loop.
// Point the program's port at devicePath() (VKM_COM1 for port 1).
//
// Commands are read as blank-separated texts: the first character is the command letter,
// the rest its argument ("b1234", "Q", "j-36000"). A text left unterminated is taken after
// a short pause ("l" and "u" are sent without a blank). Queries are answered with bursts of
// report codes, each followed by its value and a blank; the code a driver waits for comes
// last in its burst. Motors move toward their targets on a 10 ms tick of the program's
// clock, so a test clock (support/TestClock.h) moves them too.
//
// Report values not tied to motion live in a table keyed by report code (":t1", ":fm",
// ":p", ...): value() / setValue() reach every one; the typed accessors below are the
// common ones.
class ControllerSimulator : public QObject
{
    Q_OBJECT

public:
    enum class Sensor { Ambient, Primary, Secondary, Electronics };

    explicit ControllerSimulator(QObject *parent = nullptr);
    ~ControllerSimulator() override;

    // The slave path, e.g. "/dev/pts/7"; empty when no pseudo-terminal could be made.
    QString devicePath() const;
    bool isOpen() const;
    QString errorString() const;

    // --- test controls ---
    // Answers nothing (commands still take effect).
    void setSilent(bool silent);
    bool isSilent() const { return m_silent; }
    // Cuts every later output burst after these byte offsets within it; each chunk
    // reaches the reader as an arrival of its own.
    void setChunking(const QList<int> &cutOffsets);
    // Cuts every later burst into chunks of 1 to maxChunk bytes drawn from seed.
    void setRandomChunking(quint32 seed, int maxChunk);
    void clearChunking();
    // True while output is queued or a cut chunk is not yet taken by the reader.
    bool hasPendingOutput() const;
    // True while bytes are on their way between the program and the simulator.
    bool lineBusy() const;
    // The same for any simulator alive.
    static bool anyLineBusy();
    // The device disappears: its node goes, the program's open port sees a hang-up, and
    // nothing more is read or written. Destroy the simulator only after the program has
    // closed its port.
    void vanish();
    // Pushes bytes to the program as one burst (chunked like any other).
    void sendRaw(const QByteArray &bytes);
    // How later answers to one query letter go out: `delayMs` late on the program's clock,
    // with the values of when it was asked (later answers follow it, 10 ms apart), its codes in
    // the order of `codes` (empty: the usual order, the awaited code last). A default Answer
    // restores the usual.
    struct Answer
    {
        int delayMs = 0;
        QStringList codes;
    };
    void setAnswer(QChar query, const Answer &answer);

    // Everything the program sent, Latin-1.
    QString received() const { return m_received; }
    void clearReceived() { m_received.clear(); }
    // Serves events until received() contains text; false at the deadline.
    bool waitForReceived(const QString &text, int timeoutMs);

    // --- report values ---
    // The value the next report of code would carry; empty for a code the simulator
    // does not know. setValue() changes a table value; motion codes (":s", ":a", ":rs",
    // ":rt", ":wr", ":S1" to ":S4", ":SIM", ":CS", ":mo", ":mb") follow the state below.
    QString value(const QString &code) const;
    void setValue(const QString &code, const QString &text);

    // --- focuser (steps) ---
    int focuserPosition() const { return m_focuserPosition; }
    void setFocuserPosition(int steps); // stands there: the target follows
    int focuserTarget() const { return m_focuserTarget; }
    void setFocuserTarget(int steps);   // moves there over time
    bool focuserMoving() const;
    void setFocuserSpeed(int stepsPer10ms); // 0 stalls the motor; default 50
    bool focuserHomed() const;
    void setFocuserHomed(bool homed);
    bool motorForcedOff() const { return m_motorForcedOff; }
    void setMotorForcedOff(bool off);    // a forced-off motor does not move

    // --- rotator (steps, 200 per degree; positions 0 to 71999) ---
    int rotatorPosition() const { return m_rotatorPosition; }
    void setRotatorPosition(int steps); // stands there
    int rotatorTarget() const;
    void setRotatorTarget(int steps);   // moves there directly (not across 0), over time
    int rotatorWrap() const { return m_rotatorWrap; }
    void setRotatorWrap(int steps);
    bool rotatorMoving() const { return m_rotatorToGo != 0; }
    void setRotatorSpeed(int stepsPer10ms); // default 400
    bool rotatorHomed() const;
    void setRotatorHomed(bool homed);

    // --- temperatures (degrees F; reported x 100) ---
    double temperature(Sensor sensor) const;
    void setTemperature(Sensor sensor, double fahrenheit);

    // --- fan and heaters (modes 0 manual, 1 and 2 automatic; powers in percent) ---
    int fanMode() const;
    void setFanMode(int mode);
    int fanSpeed() const;
    void setFanSpeed(int percent);
    int heaterMode() const;
    void setHeaterMode(int mode);
    int heaterPower() const;
    void setHeaterPower(int percent);
    int dewHeaterPower(int zone) const; // zone 1 or 2
    void setDewHeaterPower(int zone, int percent);

    // --- steppers (channels 1 to 4) and the mirror cover ---
    int stepperPosition(int channel) const;
    void setStepperPosition(int channel, int steps);
    bool stepperMoving(int channel) const;
    void setStepperSpeed(int stepsPer10ms); // default 10
    int coverState() const { return m_coverState; }
    void setCoverState(int state);      // 0 closed, 7 open, ... as reported by ":CS"

    // --- boot loader ---
    // What the boot loader answers at each step; an empty answer leaves that step silent.
    struct BootLoader
    {
        QByteArray handshake = ":x \x03 "; // to each "x "
        QByteArray erase = ":x \x03 ";     // to "E"
        QByteArray program;                // to "P"
        QByteArray line = "*";             // to each S-record line
        int silentFromLine = 0;            // this line (1 = the first) and later get no answer; 0 never
        bool entered = false;              // already running, as after an interrupted upgrade
    };
    // Setting one ends any earlier hand-over. With a boot loader set, "x " hands the line over to it: from then on every byte goes
    // to the loader, which takes "x ", "E", "P" and S-records (their length from their count
    // field) and executes nothing as a controller command.
    void setBootLoader(const BootLoader &loader);
    bool inBootLoader() const { return m_inLoader; }
    // The S-record lines the loader took, in order.
    QStringList loaderLines() const { return m_loaderLines; }
    // Every byte the loader received, foreign ones included, Latin-1.
    QString loaderReceived() const { return m_loaderReceived; }

    // Paces both directions as a line at `baud` would (ten bits a byte): a byte is taken at
    // its arrival time on the wire, an answer leaves once its bytes had time to pass.
    // 0 (the default) turns pacing off. Paced, the simulator sleeps up to 2 ms at a time to
    // keep each byte's time: run it on a SimulatorThread.
    void setLinePacing(int baud);

signals:
    // One command text as taken from the stream, without its blank ("b1234", "Q").
    void commandReceived(const QString &command);
    // Emitted after every arrival of bytes from the program.
    void bytesReceived(const QByteArray &bytes);

private:
    struct Timed
    {
        qint64 due = 0; // wire-clock nanoseconds
        QByteArray bytes;
    };

    void onBytes(const QByteArray &bytes);
    void takeBytes(const QByteArray &bytes);
    void takeDueBytes();
    void send(const QByteArray &bytes);
    void sendDue();
    void schedule(QTimer &timer, const QList<Timed> &queue);
    void loaderByte(char c);
    void takePendingCommand();
    void execute(const QString &command);
    bool executeFocuser(QChar letter, const QString &argument, bool hasArgument);
    bool executeRotator(QChar letter, const QString &argument, bool hasArgument);
    bool executeTemperature(QChar letter, const QString &argument);
    bool executeStepper(QChar letter, const QString &argument);
    bool executeSettings(QChar letter, const QString &argument);
    void answer(const QStringList &codes, int delayMs);
    void sendLate();
    void tick();
    void startMotion();
    bool anythingMoving() const;
    void setFlag(const QString &code, int bit, bool on);

    PseudoTerminal *m_terminal = nullptr;
    QString m_received;
    QByteArray m_commandText; // the command being received
    ClockTimer m_commandPause;
    ClockTimer m_motion;
    bool m_silent = false;

    QHash<QString, QString> m_values;
    QHash<QChar, Answer> m_answers;
    QList<std::pair<int64_t, QByteArray>> m_late; // answers held back, by due time
    ClockTimer m_lateTimer;

    int m_focuserPosition = 0;
    int m_focuserTarget = 0;
    int m_focuserSpeed = 50;
    bool m_focuserHoming = false;
    bool m_motorForcedOff = false;

    int m_rotatorPosition = 0;
    int m_rotatorToGo = 0; // signed steps still to turn
    int m_rotatorWrap = 0;
    int m_rotatorSpeed = 400;
    bool m_rotatorHoming = false;

    std::array<int, 4> m_stepperPosition{};
    std::array<int, 4> m_stepperToGo{};
    int m_stepperSpeed = 10;
    int m_coverState = 0;
    int m_coverTicks = 0; // ticks left in the current cover phase

    std::optional<BootLoader> m_loader;
    bool m_inLoader = false;
    QByteArray m_loaderText; // the loader command or record being received
    QStringList m_loaderLines;
    QString m_loaderReceived;

    qint64 m_byteNs = 0; // wire time of one byte; 0 without pacing
    QElapsedTimer m_wireClock;
    QList<Timed> m_inbound, m_outbound;
    qint64 m_inboundFree = 0, m_outboundFree = 0;
    qint64 m_now = -1; // the wire time of the byte being taken; -1 outside
    QTimer m_inboundTimer, m_outboundTimer;
};
