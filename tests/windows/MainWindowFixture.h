#pragma once

#include "link/DriverSettings.h"
#include "link/ModuleState.h"
#include "link/Serial.h"
#include "platform/DataFolder.h"
#include "platform/Wait.h"
#include "support/ControllerSimulator.h"
#include "support/DriverKey.h"
#include "support/RecordingPrompts.h"
#include "support/TestClock.h"
#include "windows/Forms.h"
#include "windows/frmMain.h"
#include "windows/frmRotIndicator.h"
#include "windows/frmWrapMessage.h"
#include "windows/WindowRules.h"

#include <QCoreApplication>
#include <QFile>
#include <gtest/gtest.h>

// A main window against a simulated controller on port 1. The module state starts fresh
// with one holder already counted, so closing the window never ends the test program.
class MainWindowFixture : public ::testing::Test
{
protected:
    ControllerSimulator sim;
    RecordingPrompts prompts;
    TestClock clock;
    const std::function<Qt::MouseButtons()> m_pointerButtons = WindowRules::PointerButtons;

    void SetUp() override
    {
        qputenv("VKM_COM1", sim.devicePath().toLocal8Bit());
        Module() = ModuleState{};
        Module().link.ClientCount = 1;
        Module().link.SharedSerial = std::make_shared<Serial>();
        // The pointer is down while a test holds a jog button.
        WindowRules::PointerButtons = [] { return Qt::MouseButtons(Qt::LeftButton); };
    }

    void TearDown() override
    {
        WindowRules::PointerButtons = m_pointerButtons;
        Module().tools.LoggingActive = false;
        closeMain();
        if (auto *dial = RotIndicatorForm(false))
            dial->close();
        if (auto *message = WrapMessageForm(false))
            message->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (Module().link.SharedSerial)
            Module().link.SharedSerial->setConnected(false);
    }

    frmMain *open()
    {
        frmMain *form = MainForm();
        form->show();
        return form;
    }

    // A main window whose controller says nothing unless a test feeds it.
    frmMain *openQuiet()
    {
        sim.setSilent(true);
        return open();
    }

    static void closeMain()
    {
        if (frmMain *form = MainForm(false))
            form->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    template <typename W = QWidget>
    static W *control(const QString &name)
    {
        W *w = MainForm(false) ? MainForm(false)->findChild<W *>(name) : nullptr;
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }

    // Everything sent so far has reached the simulator once it has seen `marker`.
    bool flushTo(const QString &marker)
    {
        Module().link.SharedSerial->Transmit(marker);
        return sim.waitForReceived(marker, 2000);
    }

    static void writeSetting(const QString &name, DWORD type, const QVariant &value)
    {
        CheckRegistry();
        HKEY key = 0;
        ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, DriverKeyPath, 0, SettingsKeyAccess, &key), ERROR_SUCCESS);
        SetRegistryValue(key, name, int32_t(type), value);
        RegCloseKey(key);
    }

    static QVariant readSetting(const QString &name) { return DriverKey::stored(name); }

    static QByteArray fileBytes(const QString &name)
    {
        QFile file(DataFolder::file(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};
