#include "ToolsBench.h"
#include "platform/DataFolder.h"
#include "platform/Wait.h"
#include "platform/VbFiles.h"
#include "support/DiskFullAt.h"
#include "support/FakeControlWindows.h"
#include "tools/frmSecHeaterWizard.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <cmath>
#include <functional>
#include <optional>

namespace {

const QString Beyond = QStringLiteral(" is beyond what the controller takes; nothing was uploaded.");

const char *const ConvergeText = "Unable to converge on solution.  The data collected is suspect.  Please restart this "
                                 "wizard and collect new data.";

class HeaterWizard : public ToolsBench
{
protected:
    void SetUp() override
    {
        ToolsBench::SetUp();
        main.serial = sharedLink();
    }

    static QString write(const char *name, const QByteArray &text)
    {
        const QString path = DataFolder::path() + QLatin1Char('/') + QString::fromLatin1(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(text);
        return path;
    }

    // Set A as data-set text: heated from line `heatedFrom` on, rising by `rise`, first at `first`.
    static QByteArray setAText(int heatedFrom = 5, double rise = 10, double first = 40)
    {
        QByteArray text;
        for (int i = 1; i <= 120; ++i) {
            const double t = 0.5 * i;
            const double y = i == 1 ? first : t <= 5.5 ? 40.0 : 40 + rise * (1 - std::exp(-(t - 5.5) / 15));
            text += VbFiles::WriteRecordText({Variant(float(t)), Variant(i >= heatedFrom ? 50.0f : 0.0f), Variant(float(y))})
                        .toLatin1();
        }
        return text;
    }

    static QString setA() { return write("setA.txt", setAText()); }

    // From the welcome page to the analysis of `file`, through the buttons as they stand.
    static void analyse(frmSecHeaterWizard &wizard, const QString &file)
    {
        wizard.cmdNext->click();
        wizard.txtDataSet->setText(file);
        wizard.optBegin[1]->setChecked(true);
        wizard.cmdNext->click();
    }

    QStringList prompts_() const
    {
        QStringList texts;
        for (const MessageBoxRequest &box : prompts.boxes)
            texts << box.prompt;
        return texts;
    }

    FakeMainWindow main;
};

} // namespace

TEST_F(HeaterWizard, ASavedSetIsFittedShownAndUploaded)
{
    frmSecHeaterWizard wizard;
    EXPECT_TRUE(Module().tools.HeaterWizardOpen);
    EXPECT_FALSE(wizard.cmdBack->isEnabled());
    analyse(wizard, setA());
    EXPECT_EQ(prompts_(), QStringList());
    EXPECT_EQ(wizard.WizardStep, 4);
    EXPECT_EQ(wizard.Label4->text(), QStringLiteral("Analysis complete"));
    EXPECT_TRUE(wizard.lblFootnote->text().startsWith(
        QStringLiteral("Gain = 0.2008, Time Constant = 15.19, Dead Time = 2.95, Goodness of Fit = 0.99")));
    EXPECT_NEAR(wizard.model.FitGoodness, 0.9977, 0.001);
    EXPECT_TRUE(wizard.cmdNext->isEnabled());
    EXPECT_FALSE(wizard.cmdBack->isEnabled());

    wizard.cmdNext->click();
    EXPECT_EQ(sent(), QStringLiteral("l "));
    EXPECT_TRUE(wizard.conwiz[4]->isVisibleTo(&wizard));
    const std::pair<QLabel *, const char *> shown[] = {
        {wizard.lblGain, "0.2008"}, {wizard.lblPT, "15.19"}, {wizard.lblDT, "2.95"},    {wizard.lblKP[1], "0.2168"},
        {wizard.lblKI[1], "15.19"}, {wizard.lblKD[1], "1.48"}, {wizard.lblDerT[1], "10"}, {wizard.lblIL[1], "350"}};
    for (const auto &[label, text] : shown)
        EXPECT_EQ(label->text(), QString::fromLatin1(text)) << qPrintable(label->objectName());

    // The main window's parser fills the "Current" column by name while the wizard is open.
    ControlWindows().HeaterWizard->setText(QStringLiteral("lblKP_0"), QStringLiteral("0.25"));
    EXPECT_EQ(wizard.lblKP[0]->text(), QStringLiteral("0.25"));

    wizard.cmdUpload_Click();
    EXPECT_EQ(sent(), QStringLiteral("L22 ^148 ?10 #1519 ~350 "));
    ASSERT_EQ(prompts.boxes.size(), 1);
    EXPECT_EQ(prompts.boxes[0].prompt, QStringLiteral("Coefficients uploaded to VKM."));
    EXPECT_EQ(prompts.boxes[0].buttons, vbconst::vbInformation);

    wizard.cmdNext->click();
    EXPECT_TRUE(wizard.conwiz[3]->isVisibleTo(&wizard));
    EXPECT_TRUE(wizard.cmdFinish->isEnabled());

    // Saving writes every point; loading the file back gives the same count.
    prompts.chosenFile = DataFolder::path() + QStringLiteral("/saved.txt");
    wizard.cmdSave_Click();
    QFile saved(*prompts.chosenFile);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray text = saved.readAll();
    EXPECT_EQ(text.count('\n'), 120);
    EXPECT_TRUE(text.startsWith("0.5,0,40\r\n1,0,40\r\n"));
    EXPECT_FALSE(prompts.fileDialogs.last().confirmOverwrite);
    wizard.txtDataSet->setText(*prompts.chosenFile);
    EXPECT_EQ(wizard.LoadDataSet(), 120);
    saved.close();
    std::optional<DiskFullAt> full(100); // a save over it that fails leaves it byte for byte
    wizard.cmdSave_Click();
    full.reset();
    EXPECT_EQ(prompts.boxes.last().prompt, QStringLiteral("Unable to save %1: File too large").arg(*prompts.chosenFile));
    EXPECT_TRUE(saved.open(QIODevice::ReadOnly) && saved.readAll() == text);

    wizard.close();
    EXPECT_FALSE(Module().tools.HeaterWizardOpen);
    EXPECT_EQ(ControlWindows().HeaterWizard, nullptr);
}

TEST_F(HeaterWizard, UploadSendsTheShownTextsOnlyThroughAnOpenMainWindowLink)
{
    frmSecHeaterWizard wizard;
    const char *texts[] = {"0.1234", "1.25", "10", "35.50", "1438"};
    QLabel *labels[] = {wizard.lblKP[1], wizard.lblKD[1], wizard.lblDerT[1], wizard.lblKI[1], wizard.lblIL[1]};
    for (int i = 0; i < 5; ++i)
        labels[i]->setText(QString::fromLatin1(texts[i]));
    wizard.cmdUpload_Click();
    EXPECT_EQ(sent(), QStringLiteral("L12 ^125 ?10 #3550 ~1438 "));

    // A row the controller cannot take (beyond 16 bits, or not 0 but going out as 0): nothing goes.
    prompts.boxes.clear();
    for (const auto &[label, text, box] : {std::tuple(wizard.lblKD, "400", "Derivative 400"), {wizard.lblKI, "346.28", "Integral 346.28"},
                                          {wizard.lblKP, "0.0042", "Proportionality 0.0042"}}) {
        const QString shown = label[1]->text();
        label[1]->setText(QLatin1String(text));
        wizard.cmdUpload_Click();
        EXPECT_EQ(sent(), QString());
        EXPECT_EQ(prompts.takePrompts(), QStringList{QLatin1String(box) + Beyond});
        label[1]->setText(shown);
    }

    // No main window link, or its port gone at the click (the first row never leaves): a box says so.
    using Failure = std::tuple<std::function<void()>, const char *, const char *>;
    for (const auto &[make, box, title] :
         {Failure{[&] { main.serial.reset(); }, "Error:  The communications port is not open.", "ORVA"},
          Failure{[&] { main.serial = sharedLink(), sim.vanish(); }, "Upload stopped at Proportionality: the port is not open.", "VKM"}}) {
        make(), wizard.cmdUpload_Click();
        ASSERT_EQ(prompts.boxes.size(), 1);
        EXPECT_EQ(prompts.boxes[0].prompt, QLatin1String(box));
        EXPECT_EQ(prompts.boxes[0].title, QLatin1String(title));
        EXPECT_EQ(prompts.boxes[0].buttons, vbconst::vbExclamation);
        EXPECT_EQ(main.serial ? QString() : sent(), QString());
        prompts.boxes.clear();
    }
}

TEST_F(HeaterWizard, BadDataSetsAreRefusedAndLeaveNothingToUpload)
{
    struct Case { const char *name; QByteArray text; QStringList boxes; int points; };
    const Case cases[] = {
        {"two.txt", "1,0\r\n2,50,41\r\n", {"Error:  The data set does not have 3 columns.", "Invalid data file."}, 0},
        {"four.txt", "1,0,40\r\n2,50,41,7\r\n", {"Subscript out of range", "Invalid data file."}, 0},
        // The header is dropped and the blank line skipped; no heater power.
        {"flat.txt", "time,power,temp\r\n0.5,0,40\r\n1,0,40\r\n\r\n1.5,0,40\r\n", {ConvergeText}, 3},
        // Heated in the last line only; the first line twice (time step 0); a falling response.
        {"late.txt", setAText(120, 10, 40.37), {ConvergeText}, 120}, // 40.37: inexact in float sums
        {"twice.txt", "0.5,0,40.37\r\n" + setAText(5, 10, 40.37), {ConvergeText}, 121},
        {"falling.txt", setAText(5, -10), {ConvergeText}, 120},
        {"changed.txt", setAText().replace("\r\n60,50,", "\r\n60,20,"),
         {"The secondary heater power was 20 % at 60 minutes, not the heat challenge's 50 %.  This data set cannot be fitted."}, 120},
    };
    for (const Case &c : cases) {
        prompts.boxes.clear();
        frmSecHeaterWizard wizard;
        analyse(wizard, write(c.name, c.text));
        EXPECT_EQ(prompts_(), c.boxes) << c.name;
        EXPECT_EQ(wizard.model.PointCount, c.points) << c.name;
        if (c.boxes.size() == 2) {
            EXPECT_EQ(wizard.WizardStep, 1);
            EXPECT_TRUE(wizard.conwiz[1]->isVisibleTo(&wizard));
            continue;
        }
        // Only Cancel leads on, and nothing claims an upload.
        EXPECT_TRUE(wizard.lblKP[1]->text().isEmpty()) << c.name;
        EXPECT_FALSE(wizard.cmdNext->isEnabled() || wizard.cmdBack->isEnabled()) << c.name;
        wizard.cmdUpload_Click();
        EXPECT_EQ(prompts_(), c.boxes) << c.name;
        EXPECT_EQ(sent(), QString()) << c.name;
    }

    prompts.boxes.clear();
    frmSecHeaterWizard wizard;
    analyse(wizard, DataFolder::path() + QStringLiteral("/none.txt"));
    EXPECT_EQ(prompts_(), QStringList{QStringLiteral("Unable to find data set file.")});
    EXPECT_EQ(wizard.WizardStep, 1);
}

TEST_F(HeaterWizard, RecordingTakesTwoPointsAMinuteAndChallengesAtTwoMinutes)
{
    // Each point holds what the controller reported since the last one, and the wizard asks
    // itself also while the log runs and the graph asks less often.
    sim.setSilent(false);
    sim.setTemperature(ControllerSimulator::Sensor::Secondary, 0);
    ModuleState::Tools &tools = Module().tools;
    tools = {};
    tools.LoggingActive = true;
    tools.LogInterval = 30;
    tools.GraphPeriod = 60;
    frmSecHeaterWizard wizard;
    wizard.cmdNext->click();
    wizard.udSampleTime->setValue(3);
    wizard.cmdNext->click();
    EXPECT_EQ(wizard.Timer1.Interval(), 15000);
    EXPECT_TRUE(wizard.Timer1.Enabled());
    EXPECT_FALSE(wizard.cmdNext->isEnabled());
    const auto tick = [](frmSecHeaterWizard &w) { w.Timer1_Timer(), Wait::For(30); };

    tick(wizard);
    EXPECT_EQ(sent(), QStringLiteral(" T "));
    tick(wizard); // no secondary temperature yet: no point
    EXPECT_EQ(wizard.PlotRow, 0);
    sim.setTemperature(ControllerSimulator::Sensor::Secondary, 40);
    QString all;
    for (int i = 0; i < 12; ++i)
        tick(wizard), all += sent();
    EXPECT_EQ(all, QStringLiteral(" T  T  T  T s50  T  T "));
    EXPECT_FALSE(wizard.Timer1.Enabled());
    EXPECT_EQ(wizard.model.PointCount, 6);
    EXPECT_FLOAT_EQ(wizard.model.DataSet[5][HeaterModel::Time], 3.0f);
    EXPECT_EQ(wizard.model.DataSet[3][HeaterModel::Power], 0); // the power known before the challenge
    EXPECT_EQ(wizard.model.DataSet[4][HeaterModel::Power], 50);
    EXPECT_GE(wizard.WizardStep, 3); // the last point started the analysis

    // A client's power or mode (also one undone before the next point), another port, an unsent
    // challenge, or a point missing (the controller silent, the timer held up): a box says so,
    // and nothing leads on to a fit.
    const QString unusable = QStringLiteral("  This recording cannot be used: press Back to collect new data.");
    struct Case { int at; std::function<void()> change; const char *box; };
    frmSecHeaterWizard *recording_ = nullptr;
    // A client's commands, then its question, answered before the wizard's point.
    const auto client = [&](const char *commands) {
        sharedLink()->Transmit(QLatin1String(commands) + QStringLiteral(" T ")), Wait::For(30);
    };
    const Case cases[] = {
        {5, [&] { client("s20 "); }, "The secondary heater power was 20 % at 2.5 minutes, not the heat challenge's 50 %."},
        {2, [&] { client("s20 "); }, "The secondary heater power was 20 % at 1 minutes, not the 0 % it keeps before the heat challenge."},
        {2, [&] { client("w1 "); }, "The secondary heater mode changed during the recording."},
        {6, [&] { client("s0 s50 "); }, "A command changed the secondary heater power or mode during the recording."},
        {6, [&] { sharedLink()->Transmit(QStringLiteral("s0 ")); }, // not yet reported at the point
         "A command changed the secondary heater power or mode during the recording."},
        {3, [&] { recording_->Timer1.setEnabled(false), Wait::For(90000), recording_->Timer1.setEnabled(true); },
         "No point was taken at 1.5 minutes, and the fit needs a point every half minute."},
        {2, [&] { sharedLink()->setConnected(false), sharedLink()->setConnected(true); }, "The port changed during the recording."},
        {4, [] { Module().tools.FlashInProgress = true; },
         "The heat challenge \"s50 \" was not sent: a firmware upload is in progress."},
        {3, [&] { sim.setSilent(true); }, "No point was taken at 2 minutes, and the fit needs a point every half minute."},
    };
    for (const Case &c : cases) {
        sim.setHeaterMode(0), sim.setHeaterPower(0), sim.setSilent(false), prompts.boxes.clear();
        frmSecHeaterWizard recording;
        recording_ = &recording;
        recording.cmdNext->click(), recording.cmdNext->click();
        for (int pair = 1; pair <= 8 && recording.Timer1.Enabled(); ++pair)
            tick(recording), pair == c.at ? c.change() : void(), tick(recording);
        Module().tools.FlashInProgress = false;
        EXPECT_EQ(prompts_(), QStringList{QLatin1String(c.box) + unusable});
        EXPECT_TRUE(!recording.Timer1.Enabled() && !recording.cmdNext->isEnabled() && recording.WizardStep == 2) << c.box;
    }
}

TEST_F(HeaterWizard, BackFromRecordingAsksThenStopsAndClears)
{
    sim.setSilent(false);
    frmSecHeaterWizard wizard;
    wizard.cmdNext->click();
    wizard.udSampleTime->setValue(1); // two points: the next point tick ends the recording
    wizard.cmdNext->click();
    Wait::For(50000);
    ASSERT_EQ(wizard.PlotRow, 1);

    prompts.answer = [](const MessageBoxRequest &) { return int(vbconst::vbCancel); };
    wizard.cmdBack->click();
    EXPECT_EQ(wizard.WizardStep, 2);
    EXPECT_TRUE(wizard.Timer1.Enabled());

    // The last point's tick falls due while the warning is up.
    prompts.answer = [](const MessageBoxRequest &) { return Wait::For(20000), int(vbconst::vbOK); };
    wizard.cmdBack->click();
    ASSERT_EQ(prompts.boxes.size(), 2); // no analysis inside the box
    EXPECT_EQ(prompts.boxes[1].prompt,
              QStringLiteral("Warning:  Navigating back will erase all collected datapoints.  Do you wish to continue?"));
    EXPECT_EQ(wizard.WizardStep, 1);
    EXPECT_FALSE(wizard.Timer1.Enabled());
    EXPECT_EQ(wizard.PlotRow, 0);
    EXPECT_EQ(wizard.ElapsedTime, 0);
    sent();
    Wait::For(60000);
    EXPECT_EQ(sent(), QString()); // nothing more on the wire
}

TEST_F(HeaterWizard, TheChoicePageShowsItsWholeText)
{
    frmSecHeaterWizard wizard;
    wizard.show();
    wizard.cmdNext->click();
    const QLabel *text = wizard.Label2;
    EXPECT_TRUE(Wait::Until(1000, [&] { return text->height() >= text->heightForWidth(text->width()); }));
}
