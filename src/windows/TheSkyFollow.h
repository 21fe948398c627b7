#pragma once

#include "link/StepScope.h"
#include "windows/TheSkyFollowHost.h"

#include <cstdint>
#include <optional>

// Keeps the rotator and TheSky's camera indicator in step, for the main window and the
// console alike: the connection (main window only), the follow tick with its meridian
// watch, and the telescope's offset slew. The window-specific parts go through the host.
class TheSkyFollow
{
public:
    explicit TheSkyFollow(TheSkyFollowHost &host);

    // The connect box after the operator's click: connects when checked, else disconnects.
    void ConnectTheSky(bool boxChecked);
    void Disconnect();
    // One tick of tmrTheSky.
    void Tick();

    // What both windows' ticks share.
    struct Shared
    {
        int16_t SlewTickCount = 0;     // ticks TheSky reported slewing since the last meridian check
        double LastFOVIOffsetRA = 0;   // last offsets seen, arcminutes
        double LastFOVIOffsetDec = 0;
        bool Busy = false;             // a tick or connect is under way (waiting on a prompt or the telescope)
        bool TurnRefused = false;      // a turn was refused for the link; not said again until it takes commands
        uint64_t Stops = 0;            // the follow's stops (the operator's, an error's): a tick begun before ends
        uint64_t Connects = 0;         // connects begun: a withdrawn one keeps none of its objects unless a later one began
    };
    static Shared &shared();

    // Bound of each wait for the telescope's jog to end, and the polling period.
    static int SlewWaitLimitMs;
    static int SlewPollMs;

private:
    // The starter's wish: the window open and no stop of the follow since `stops`; a tick
    // (`following`) also needs TheSky's object.
    StepScope::Condition stillOn(uint64_t stops, bool following) const;
    void connectObjects(bool &createdNow);
    bool showIndicator();
    void connectSteps(bool createdNow, bool newTelescope);
    void findPierSide();
    void compareAtConnect();
    void resetOffsets();

    void keepChartSetting();
    void watchMeridian();
    void checkMeridian();
    void flip(int16_t newSide);
    bool flipRotator(int32_t n, int16_t newSide);
    bool turnSent(Serial::SendResult result, int32_t n);
    bool consoleStep(int32_t steps, int32_t n);
    bool flipTheSky(int32_t n);
    void followIndicator();
    bool turnPossible();
    void turnRotatorTo(double angle);
    void slewToOffset();
    void waitForSlew();
    // After a wait or a late-bound call: the tick goes on only while it is still wanted (the
    // window open, the follow on, the port and controller the same, no rotator halt), the
    // connect while its box stays ticked and the window open. Else it ends quietly; once a
    // flip's "p" relabelled the counter (`relabelled`) it says so first.
    void requireWanted(std::optional<int32_t> relabelled = std::nullopt) const;
    void stopFollowing(const QString &description);
    Serial::SendResult send(const QString &letter, int32_t value);

    TheSkyFollowHost &m_host;
    std::optional<StepScope> m_tick; // while a tick or a connect runs
};
