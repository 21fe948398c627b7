#include "link/ModuleState.h"
#include "settings/frmCalculateStepSize.h"
#include "support/RecordingPrompts.h"
#include "support/WidgetInput.h"

#include <QLabel>
#include <QLineEdit>
#include <gtest/gtest.h>

using namespace WidgetInput;

namespace {

class CalculateStepSize : public ::testing::Test
{
protected:
    void SetUp() override { Module().settings.StepSize = 0.25f; }
};

} // namespace

TEST_F(CalculateStepSize, OpensOnTheStoredStepSizeAndOkKeepsIt)
{
    struct Case { float stored; const char *magnification; const char *shown; };
    const Case cases[] = {
        {0.25f, "3.000", "0.250"},
        {0.01f, "0.000", "0.010"}, // below 0.025: no magnification gives it
        {0.2505f, "3.003", "0.251"}, // not the 0.250 that the rounded magnification gives
        {0.0251f, "0.063", "0.025"},
    };
    for (const Case &c : cases) {
        Module().settings.StepSize = c.stored;
        frmCalculateStepSize dialog;
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Calculate Step Size"));
        EXPECT_EQ(dialog.txtMag->text(), QString::fromLatin1(c.magnification)) << c.stored;
        EXPECT_EQ(dialog.lblStepSize->text(), QString::fromLatin1(c.shown)) << c.stored;
        dialog.cmdOK->click();
        EXPECT_FLOAT_EQ(dialog.chosen().value_or(0), QString::fromLatin1(c.shown).toFloat()) << c.stored;
        EXPECT_FLOAT_EQ(Module().settings.StepSize, c.stored); // taken over by the caller's OK only
    }
}

TEST_F(CalculateStepSize, MagnificationGivesTheStepSizeRoundedAsShown)
{
    // A magnification that is no number shows no step size, and OK refuses it and stays.
    struct Case { const char *magnification; const char *shown; float stored; };
    const Case cases[] = {
        {"4", "0.425", 0.425f}, {"1.23456", "0.063", 0.063f}, {"", "", 0},
        {".", "", 0},           {"0", "0.025", 0.025f},       {"2", "0.125", 0.125f},
        {"5", "0.650", 0.65f},  {"12abc", "", 0},             // pasted, not a number
    };
    for (const Case &c : cases) {
        RecordingPrompts prompts;
        frmCalculateStepSize dialog;
        dialog.txtMag->setText(QString::fromLatin1(c.magnification));
        EXPECT_EQ(dialog.lblStepSize->text(), QString::fromLatin1(c.shown)) << c.magnification;
        dialog.cmdOK->click();
        EXPECT_FLOAT_EQ(dialog.chosen().value_or(0), c.stored) << c.magnification;
        EXPECT_EQ(dialog.result(), c.stored != 0 ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_EQ(prompts.takePrompts(), c.stored != 0 ? QStringList() : QStringList{"Illegal value for magnification"});
    }
}

TEST_F(CalculateStepSize, CancelAfterEditingChangesNothing)
{
    frmCalculateStepSize dialog;
    dialog.txtMag->setText(QStringLiteral("4"));
    dialog.cmdCancel->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.chosen());
    EXPECT_FLOAT_EQ(Module().settings.StepSize, 0.25f);
}

TEST_F(CalculateStepSize, OnlyDigitsBackspaceAndOnePointCanBeTyped)
{
    struct Case { const char *typed; const char *text; };
    const Case cases[] = {
        {"4", "4"}, {"1.2.5", "1.25"}, {"-3a,x 7", "37"}, {"12\b5", "15"}, {"..5", ".5"},
    };
    for (const Case &c : cases) {
        frmCalculateStepSize dialog;
        dialog.txtMag->clear();
        type(dialog.txtMag, QString::fromLatin1(c.typed));
        EXPECT_EQ(dialog.txtMag->text(), QString::fromLatin1(c.text)) << c.typed;
    }

    // A point is refused even when the selected point would be replaced by it.
    frmCalculateStepSize dialog;
    dialog.txtMag->setText(QStringLiteral("1.5"));
    dialog.txtMag->selectAll();
    type(dialog.txtMag, QStringLiteral("."));
    EXPECT_EQ(dialog.txtMag->text(), QStringLiteral("1.5"));
    type(dialog.txtMag, QStringLiteral("4"));
    EXPECT_EQ(dialog.txtMag->text(), QStringLiteral("4"));
    EXPECT_EQ(dialog.lblStepSize->text(), QStringLiteral("0.425"));
}

TEST_F(CalculateStepSize, ShownModallyItReturnsWhenClosed)
{
    whenModal([](QWidget *w) {
        EXPECT_EQ(w->objectName(), QStringLiteral("frmCalculateStepSize"));
        w->findChild<QLineEdit *>(QStringLiteral("txtMag"))->setText(QStringLiteral("2"));
        click(w, "cmdOK");
    });
    EXPECT_FLOAT_EQ(frmCalculateStepSize::showModal().value_or(0), 0.125f);
    EXPECT_FLOAT_EQ(Module().settings.StepSize, 0.25f);
}
