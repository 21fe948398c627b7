#pragma once

#include "link/ControlWindowHooks.h"
#include "link/DriverSettings.h"
#include "platform/NamedControls.h"
#include "settings/frmCal.h"
#include "support/ControllerBench.h"
#include "support/DiskFullAt.h"
#include "support/DriverKey.h"
#include "support/FakeControlWindows.h"
#include "support/RecordingPrompts.h"
#include "support/SentText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <memory>

// An options window on a silent simulated controller reached through a stand-in main
// window, with a fresh driver key.
class OptionsBench : public ControllerBench
{
protected:
    void SetUp() override
    {
        ControllerBench::SetUp();
        sim.setSilent(true);
        link->setPort(1);
        link->setConnected(true);
        ASSERT_TRUE(link->Connected());
        main.serial = link;
        DriverKey::store(QStringLiteral("EnableSlew"), REG_DWORD, 0); // the driver key, without the slow full check
    }

    void TearDown() override
    {
        form.reset();
        link->setConnected(false);
        ControllerBench::TearDown();
    }

    frmCal &open()
    {
        form = std::make_unique<frmCal>();
        form->showWindow();
        return *form;
    }

    // Everything sent since the last call, once a marker has arrived behind it.
    QString sent() { return SentText(*link, sim); }

    // The controller's report as the main window's parser writes it into the window.
    static ControlSink &parser() { return *ControlWindows().SettingsWindow; }

    QStringList boxTexts() const
    {
        QStringList texts;
        for (const MessageBoxRequest &box : prompts.boxes)
            texts << box.prompt;
        return texts;
    }

    RecordingPrompts prompts;
    FakeMainWindow main;
    std::shared_ptr<Serial> link = std::make_shared<Serial>();
    std::unique_ptr<frmCal> form;
};
