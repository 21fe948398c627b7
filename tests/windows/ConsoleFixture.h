#pragma once

#include "link/DriverSettings.h"
#include "link/ModuleState.h"
#include "link/Serial.h"
#include "platform/Wait.h"
#include "support/ControllerSimulator.h"
#include "support/DriverKey.h"
#include "support/RecordingPrompts.h"
#include "support/TestClock.h"
#include "windows/Forms.h"
#include "windows/frmConsole.h"
#include "windows/frmMain.h"
#include "windows/frmWrapMessage.h"
#include "windows/WindowRules.h"

#include <QAction>
#include <QPointer>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QMouseEvent>
#include <gtest/gtest.h>

// The controller's answer to `query` (" Q ", "8 ") in the link's record, the queries a silent
// controller left unanswered given up first. Answers go to the oldest query waiting, so it
// asks until its own query has had its answer.
inline void answered(ControllerSimulator &sim, const QString &query)
{
    Wait::For(ControllerReports::LostAfterMs + 1);
    const bool silent = sim.isSilent();
    sim.setSilent(false);
    const ControllerReports &reports = Module().link.SharedSerial->Reports();
    const QChar letter = query.trimmed().front();
    for (int tries = 0; tries < 8 && (tries == 0 || reports.Waiting(letter) != 0); ++tries) {
        Module().link.SharedSerial->Transmit(query);
        const uint64_t sent = reports.QueriesSent(letter);
        EXPECT_TRUE(Wait::Until(2000, [&] { return reports.Answered(letter) >= sent; }));
    }
    sim.setSilent(silent);
}

// Once the record no longer knows where the rotator is, a window's own " R " is answered late,
// and `meanwhile` (another sender's) lands while it waits, followed by that sender's own " R ".
// Disconnect the returned hook and restore the answer afterwards.
inline QMetaObject::Connection whileRotatorAsked(ControllerSimulator &sim, const char *meanwhile)
{
    sim.clearReceived();
    Module().link.SharedSerial->Transmit(QStringLiteral("j0 MARK "));
    EXPECT_TRUE(sim.waitForReceived(QStringLiteral("MARK "), 2000));
    sim.clearReceived();
    sim.setAnswer('R', {.delayMs = 200, .codes = {}});
    return QObject::connect(&sim, &ControllerSimulator::commandReceived, [meanwhile, done = false](const QString &command) mutable {
        if (done || command != QLatin1String("R"))
            return;
        done = true;
        Module().link.SharedSerial->Transmit(QString::fromLatin1(meanwhile));
        Module().link.SharedSerial->Transmit(QStringLiteral(" R "));
    });
}

// A console against a silent simulated controller on port 1, the port open. The module
// state starts fresh with one holder already counted, so closing the console never ends
// the test program. The poll is off unless a test turns it on.
class ConsoleFixture : public ::testing::Test
{
protected:
    ControllerSimulator sim;
    RecordingPrompts prompts;
    TestClock clock;
    frmConsole *form = nullptr;
    const std::function<Qt::MouseButtons()> pointerButtons = WindowRules::PointerButtons;

    void SetUp() override
    {
        qputenv("VKM_COM1", sim.devicePath().toLocal8Bit());
        Module() = ModuleState{};
        Module().link.ClientCount = 1;
        Module().link.SharedSerial = std::make_shared<Serial>();
        CheckRegistry();
        sim.setSilent(true);
        // The pointer is down while a test holds a jog button.
        WindowRules::PointerButtons = [] { return Qt::MouseButtons(Qt::LeftButton); };
    }

    void TearDown() override
    {
        Module().tools.LoggingActive = false;
        WindowRules::PointerButtons = pointerButtons;
        closeWindows();
        if (auto *message = WrapMessageForm(false))
            message->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (Module().link.SharedSerial)
            Module().link.SharedSerial->setConnected(false);
    }

    frmConsole *open(bool portOpen = true)
    {
        if (portOpen) {
            Serial &link = *Module().link.SharedSerial;
            if (!link.Connected()) {
                link.setPort(1);
                link.setConnected(true);
            }
        }
        form = ConsoleForm();
        form->show();
        form->Timer2.setEnabled(false);
        return form;
    }

    static void closeWindows()
    {
        if (frmConsole *console = ConsoleForm(false))
            console->close();
        if (frmMain *main = MainForm(false))
            main->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void feed(const QStringList &chunks)
    {
        for (const QString &c : chunks)
            form->Handle_Received(c);
    }

    // What was sent since the last call, once the simulator has seen it all.
    QString sent()
    {
        const QString marker = QStringLiteral("MARK ");
        Module().link.SharedSerial->Transmit(marker);
        EXPECT_TRUE(sim.waitForReceived(marker, 2000));
        QString text = sim.received();
        sim.clearReceived();
        return text.left(text.lastIndexOf(marker));
    }

    static void mouse(QWidget *w, QEvent::Type type)
    {
        // Near the left edge: a check box's indicator, a spinner's text.
        const QPointF at(std::min(8.0, w->width() / 2.0), w->height() / 2.0);
        const Qt::MouseButtons buttons = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
        QMouseEvent event(type, at, w->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &event);
    }
    static void press(QWidget *w) { mouse(w, QEvent::MouseButtonPress); }
    static void release(QWidget *w) { mouse(w, QEvent::MouseButtonRelease); }
    static void click(QWidget *w) { press(w), release(w); }
};
