#pragma once

#include "ConsoleFixture.h"
#include "MainWindowFixture.h"
#include "support/OperatorInput.h"
#include "windows/EditHold.h"

#include <functional>

// A loaded main window whose poll and handshake are stopped, so that only what a test does
// reaches the simulator.
class MainWindowCommands : public MainWindowFixture
{
protected:
    frmMain *form = nullptr;

    void SetUp() override
    {
        MainWindowFixture::SetUp();
        // No stored positions left behind by an earlier test of the same program.
        for (const char *name : {"ORVA.DAT", "RUDODovovez.DAT"})
            QFile::remove(DataFolder::file(QString::fromLatin1(name)));
        form = openQuiet();
        form->Timer4.setEnabled(false);
        form->Timer6.setEnabled(false);
        ASSERT_TRUE(flushTo(QStringLiteral("START ")));
    }

    // The text that `act` sends, and nothing else.
    QString sentBy(const std::function<void()> &act)
    {
        sim.clearReceived();
        act();
        const QString marker = QStringLiteral("MARK ");
        EXPECT_TRUE(flushTo(marker));
        QString sent = sim.received();
        if (sent.endsWith(marker))
            sent.chop(marker.size());
        return sent;
    }

    // The states the focuser and jog guards test: force motor off, the controller's compensation mode, the port.
    void setGuards(bool forceOff, int16_t compensationMode, bool portOpen)
    {
        form->Check1->setChecked(forceOff);
        sim.setValue(QStringLiteral(":tc"), QString::number(compensationMode));
        if (portOpen)
            form->mnuConnect_Click();
        else
            form->mnuDisconnect_Click();
        form->Timer6.setEnabled(false);
        if (portOpen)
            answeredFor();
    }

    // The controller's answer to `query` in the link's record, and nothing sent.
    void answeredFor(const char *query = " Q ")
    {
        answered(sim, QString::fromLatin1(query));
        sim.clearReceived();
        EXPECT_TRUE(flushTo(QStringLiteral("MARK ")));
    }

    // The prompt texts shown so far, and forgets them.
    QStringList takeBoxes() { return prompts.takePrompts(); }
};
