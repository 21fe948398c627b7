#include "MainWindowFixture.h"

#include "settings/frmCal.h"
#include "support/OperatorInput.h"
#include "support/WidgetInput.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

using OptionsWindowWiring = MainWindowFixture;

// Tools > Options opens the window modeless on the main window's link; the main window's
// parser fills it without marking anything, and its poll rests while it is open.
TEST_F(OptionsWindowWiring, TheMenuOpensTheWindowThatTheParserFills)
{
    frmMain *main = openQuiet();
    ASSERT_TRUE(flushTo(QStringLiteral("M1 ")));
    sim.clearReceived();
    main->PrimaryCoverMode = 1;
    main->findChild<QAction *>(QStringLiteral("mnuTempCal"))->trigger();
    frmCal *cal = CalForm(false);
    ASSERT_NE(cal, nullptr);
    EXPECT_TRUE(cal->isVisible());
    EXPECT_FALSE(cal->isModal());
    EXPECT_TRUE(Module().link.SettingsWindowOpen);
    EXPECT_FALSE(control<QGroupBox>(QStringLiteral("pnlPrimaryCover"))->isHidden());
    ASSERT_TRUE(flushTo(QStringLiteral("M2 ")));
    EXPECT_TRUE(sim.received().endsWith(QStringLiteral("l M2 "))) << sim.received().toStdString();

    main->Handle_Received(QStringLiteral(":c 2048 :dbt 5 :sl2 -0.5 :of3 1.25 :t4 812 :S4C 45 :S5C 0 :ifh 4 :fp 55 :S5SM 2 "));
    EXPECT_EQ(cal->txtAcc->text().toStdString(), "0.0313");
    EXPECT_EQ(cal->txtDeadbandSettle->text().toStdString(), "0.3");
    EXPECT_EQ(cal->txtPrimSlope->text().toStdString(), "-0.50000");
    EXPECT_EQ(cal->lblSlope[1]->text().toStdString(), "-0.50000");
    EXPECT_EQ(cal->lblInt[2]->text().toStdString(), "1.25000");
    EXPECT_EQ(cal->lblTemp[5]->text().toStdString(), "812");
    EXPECT_EQ(cal->lblStepCurrent[2]->text().toStdString(), "0.50");
    EXPECT_EQ(cal->UpDown3[3]->value(), 0);
    EXPECT_EQ(cal->lblStepCurrent[3]->text().toStdString(), "0.00"); // channel 4's own current
    EXPECT_EQ(cal->txtintfanhyst->text().toStdString(), "4");
    EXPECT_EQ(cal->txtFanPulsePower->text().toStdString(), "55");
    EXPECT_EQ(cal->cmbStepperStepMode[3]->currentIndex(), 2);
    EXPECT_EQ(Module().tools.DownloadState, 4);
    for (bool f : cal->ChangedFlags)
        EXPECT_FALSE(f);
    EXPECT_FALSE(cal->cmdUploadVKM->isEnabled());

    cal->close();
    EXPECT_FALSE(Module().link.SettingsWindowOpen);
    main->Handle_Received(QStringLiteral(":c 65536 "));
    EXPECT_EQ(cal->txtAcc->text().toStdString(), "0.0313");
    main->PrimaryCoverMode = 0;
    main->mnuTempCal_Click(); // the same window again, loaded afresh
    EXPECT_EQ(CalForm(false), cal);
    EXPECT_TRUE(Module().link.SettingsWindowOpen);
    EXPECT_TRUE(control<QGroupBox>(QStringLiteral("pnlPrimaryCover"))->isHidden());
    cal->close();
}

// The read-back chain runs on the controller's own reports; what the operator did not edit
// goes back as the controller holds it, and a late report leaves the ended chain alone.
TEST_F(OptionsWindowWiring, TheReadBackChainEndsAndOnlyTheOperatorsEditsGoBack)
{
    sim.setValue(QStringLiteral(":v"), QStringLiteral("65537"));
    sim.setValue(QStringLiteral(":c"), QStringLiteral("2048"));
    frmMain *main = open();
    // The handshake's own " V  l " first: its report would start the chain over.
    ASSERT_TRUE(sim.waitForReceived(QStringLiteral(" V  l "), 5000)) << sim.received().toStdString();
    ASSERT_TRUE(flushTo(QStringLiteral("M1 ")));
    sim.clearReceived();
    main->mnuTempCal_Click();
    frmCal *cal = CalForm(false);
    ASSERT_TRUE(Wait::Until(5000, [&] { return !cal->Timer1.Enabled(); }));
    EXPECT_EQ(Module().tools.DownloadState, 5);
    EXPECT_TRUE(sim.received().startsWith(QStringLiteral("l G < 1 "))) << sim.received().toStdString();
    EXPECT_EQ(cal->txtVelocity->text().toStdString(), "1.00001525878906");
    EXPECT_EQ(cal->txtAcc->text().toStdString(), "0.0313");

    // Through the Focus tab: moving marks nothing; a velocity typed and taken back is marked
    // and goes back as the controller's value, not as the shown text converted.
    for (QLineEdit *box : {cal->txtKP, cal->txtKd, cal->txtDeriv, cal->txtki, cal->txtil, cal->txtVelocity, cal->txtAcc})
        OperatorInput::key(box, Qt::Key_Tab);
    for (bool f : cal->ChangedFlags)
        EXPECT_FALSE(f);
    WidgetInput::type(cal->txtVelocity, QStringLiteral("5\b"));
    EXPECT_TRUE(cal->ChangedFlags[10]);

    // A Stepper client's "1 " after the chain: its ":S5SM" keeps the chain ended and marks
    // nothing, so only the operator's step mode counts.
    sim.setValue(QStringLiteral(":S5SM"), QStringLiteral("1"));
    main->GetSerial->Transmit(QStringLiteral("1 "));
    ASSERT_TRUE(Wait::Until(2000, [&] { return cal->cmbStepperStepMode[3]->currentIndex() == 1; }));
    EXPECT_EQ(Module().tools.DownloadState, 5);
    EXPECT_FALSE(cal->ChangedFlags[38]);
    OperatorInput::choose(cal->cmbStepperStepMode[1], 1);
    EXPECT_TRUE(cal->ChangedFlags[38]);

    // Closing the main window asks the options window's question first, while its link still works; OK uploads.
    sim.clearReceived();
    prompts.boxes.clear();
    main->close();
    EXPECT_FALSE(Module().link.SettingsWindowOpen);
    EXPECT_EQ(prompts.boxes.value(0).prompt.toStdString(), "One or more items have changed.  Would you like to upload changed to the VKM?");
    ASSERT_TRUE(sim.waitForReceived(QStringLiteral("D17 "), 2000));
    const QString upload = sim.received();
    EXPECT_TRUE(upload.startsWith(QStringLiteral("v65537 D4 D9 D12 D17 "))) << upload.toStdString();
    EXPECT_FALSE(upload.contains(QStringLiteral(" a"))) << upload.toStdString();
    EXPECT_FALSE(upload.contains(QStringLiteral("u"))) << upload.toStdString();
}
