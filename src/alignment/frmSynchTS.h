#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <optional>

class QPushButton;

// "Synchronise ZEL and TheSky": brings the rotator's angle and the camera indicator's angle
// in TheSky into agreement, one of three ways. Each button does its work and closes the
// window; a refusal or failure shows its box and leaves the window open for another choice.
class frmSynchTS : public QDialog
{
    Q_OBJECT

public:
    explicit frmSynchTS(QWidget *parent = nullptr);

    QPushButton *cmdZELtoTS = nullptr;
    QPushButton *cmdTStoZEL = nullptr;
    QPushButton *cmdSetOffset = nullptr;

    // The rotator's position counter takes TheSky's angle.
    void cmdZELtoTS_Click();
    // TheSky's indicator takes the rotator's angle.
    void cmdTStoZEL_Click();
    // The present difference becomes ZELOffset.
    void cmdSetOffset_Click();

    // Shows a fresh window modally.
    static void ask(QWidget *parent = nullptr);

private:
    // Runs a button's work; closes the window when it answers true.
    void attempt(const std::function<bool()> &work);

    // The counter this window's press relabelled ("p") when a later step of that press failed:
    // the synchronisation it still owes, while the controller reports that counter.
    std::optional<int32_t> m_relabelled;
};
