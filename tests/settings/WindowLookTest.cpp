#include "link/ModuleState.h"
#include "settings/frmCal.h"
#include "settings/frmCalculateStepSize.h"
#include "settings/frmStoreFocus.h"
#include "settings/frmStoreRotator.h"
#include "settings/frmTempComp.h"
#include "support/FakeControlWindows.h"
#include "support/RecordingPrompts.h"
#include "support/WindowLook.h"

#include <QTabWidget>
#include <gtest/gtest.h>

TEST(WindowLook, SettingsWindowsShowWholeHeadersAndValues)
{
    RecordingPrompts prompts;
    FakeMainWindow main;
    ModuleState::Positions &p = Module().positions;
    p = ModuleState::Positions{};
    p.FocusPositions = QVector<FocusRecord>(21);
    p.FocusTemperatures = QVector<float>(21, -12.5f);
    p.RotatorPositions = QVector<RotatorRecord>(21);
    p.FocusPositions[1] = {QStringLiteral("Imaging train with the filter wheel and the reducer"), 1234567, -12.5f};
    p.FocusPositionCount = 2;
    p.RotatorPositions[1] = {QStringLiteral("North up"), 35999};
    p.RotatorPositionCount = 2;
    Look::expectWholeTexts({{"storefocus", [] { return new frmStoreFocus; }},
                            {"storerotator", [] { return new frmStoreRotator; }},
                            {"tempcomp", [] { return new frmTempComp([] { return std::shared_ptr<Serial>(); }); }},
                            {"stepsize", [] { return new frmCalculateStepSize; }}});

    // The options window as opened, one picture per tab.
    const auto options = [](int tab) -> std::function<QWidget *()> {
        return [tab] { auto *w = new frmCal; w->showWindow(); w->SSTab1->setCurrentIndex(tab); return w; };
    };
    Look::expectWholeTexts({{"options-general", options(0)}, {"options-focus", options(1)},
                            {"options-heater", options(2)}, {"options-steppers", options(3)}});
    Module().link.SettingsWindowOpen = false;
}
