#include "link/ModuleState.h"
#include "settings/frmCalculateStepSize.h"
#include "settings/frmStoreFocus.h"
#include "settings/frmStoreRotator.h"
#include "settings/frmTempComp.h"
#include "support/FakeControlWindows.h"
#include "support/RecordingPrompts.h"
#include "support/WindowLook.h"

#include <QHeaderView>
#include <QTableWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

class WindowLook : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ModuleState::Positions &p = Module().positions;
        p = ModuleState::Positions{};
        p.FocusPositions = QVector<FocusRecord>(21);
        p.FocusTemperatures = QVector<float>(21);
        p.RotatorPositions = QVector<RotatorRecord>(21);
        p.FocusPositions[1] = {QStringLiteral("Imaging train with the filter wheel and the reducer"), 1234567, -12.5f};
        p.FocusTemperatures[1] = -12.5f;
        p.FocusPositions[2] = {QStringLiteral("Visual"), 250, 68.25f};
        p.FocusTemperatures[2] = 68.25f;
        p.FocusPositionCount = 3;
        p.RotatorPositions[1] = {QStringLiteral("North up"), 35999};
        p.RotatorPositionCount = 2;
    }

    RecordingPrompts prompts;
    FakeMainWindow main;
};

} // namespace

TEST_F(WindowLook, SettingsWindowsShowWholeTextsAndTheGridFillsItsWidth)
{
    Look::expectWholeTexts(
        {
            {"storefocus", [] { return new frmStoreFocus; }},
            {"storerotator", [] { return new frmStoreRotator; }},
            {"tempcomp", [] { return new frmTempComp([] { return std::shared_ptr<Serial>(); }); }},
            {"stepsize", [] { return new frmCalculateStepSize; }},
        },
        [](const char *name, QWidget *w) {
            if (auto *grid = w->findChild<QTableWidget *>())
                EXPECT_EQ(grid->horizontalHeader()->length(), grid->viewport()->width()) << name;
        });
}
