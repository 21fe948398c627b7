// Damaged heater data sets and firmware files: each ends fitted or refused with its box.
#include "ToolsBench.h"
#include "platform/DataFolder.h"
#include "platform/VbFiles.h"
#include "support/FakeControlWindows.h"
#include "support/FirmwareRecords.h"
#include "support/Fuzz.h"
#include "tools/FirmwareFile.h"
#include "tools/frmSecHeaterWizard.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <cmath>

namespace {

class ToolFilesFuzz : public ToolsBench
{
protected:
    void SetUp() override
    {
        ToolsBench::SetUp();
        main.serial = sharedLink();
    }

    QString write(const QByteArray &content) const
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(content);
        return path;
    }

    void expectSoundBoxes()
    {
        for (const MessageBoxRequest &box : std::as_const(prompts.boxes))
            EXPECT_FALSE(box.prompt.trimmed().isEmpty());
        prompts.boxes.clear();
    }

    const QString path = DataFolder::path() + QStringLiteral("/fuzz.txt");
    FakeMainWindow main;
};

// A heater data set that fits: a power step at 2 minutes and the temperature following it.
QByteArray heaterSet()
{
    QByteArray text;
    for (int i = 1; i <= 60; ++i) {
        const double t = 0.5 * i;
        const double y = t <= 5.5 ? 40.0 : 40 + 10 * (1 - std::exp(-(t - 5.5) / 15));
        text += VbFiles::WriteRecordText({Variant(float(t)), Variant(t <= 2.0 ? 0.0f : 50.0f), Variant(float(y))}).toLatin1();
    }
    return text;
}

} // namespace

TEST_F(ToolFilesFuzz, AHeaterDataSetIsFittedOrRefused)
{
    const QByteArray valid = heaterSet();
    Fuzz::Run(100, [&](Fuzz::Gen &gen) {
        frmSecHeaterWizard wizard;
        wizard.cmdNext_Click();
        wizard.optBegin[1]->setChecked(true);
        wizard.txtDataSet->setText(write(gen.chance(0.8) ? gen.mutate(valid) : gen.text(300)));
        wizard.cmdNext_Click();
        // Back on the choice page, on the analysis page (no fit) or on the results page.
        EXPECT_TRUE(wizard.WizardStep == 1 || wizard.WizardStep == 3 || wizard.WizardStep == 4)
            << wizard.WizardStep << " " << prompts.takePrompts().join(QLatin1Char('|')).toStdString();
        if (wizard.WizardStep == 1) {
            EXPECT_FALSE(prompts.boxes.isEmpty()); // refused, and it says why
        }
        expectSoundBoxes();
    });
}

TEST_F(ToolFilesFuzz, AFirmwareFileIsSentLineByLineOrRefused)
{
    const QByteArray valid = (FirmwareRecords(8).join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1();
    Fuzz::Run(300, [&](Fuzz::Gen &gen) {
        FirmwareFile firmware;
        if (firmware.OpenFirmwareFile(write(gen.chance(0.7) ? gen.mutate(valid) : gen.bytes(300)))) {
            EXPECT_FALSE(prompts.boxes.isEmpty());
            expectSoundBoxes();
            return;
        }
        EXPECT_GT(firmware.FirmwareLineCount, 0);
        for (int i = 0; i < firmware.FirmwareLineCount; ++i)
            ASSERT_FALSE(firmware.SendNextFirmwareLine());
        sent();
        EXPECT_FALSE(firmware.SendNextFirmwareLine()); // at the end (or a Ctrl-Z): nothing
        EXPECT_EQ(sent(), QString());
        expectSoundBoxes();
    });
}
