// Damaged heater data sets and firmware files: each ends fitted or refused with its box.
#include "ToolsBench.h"
#include "platform/DataFolder.h"
#include "platform/VbFiles.h"
#include "support/FakeControlWindows.h"
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
        if (wizard.WizardStep == 1)
            EXPECT_FALSE(prompts.boxes.isEmpty()); // refused, and it says why
        expectSoundBoxes();
    });
}

TEST_F(ToolFilesFuzz, AFirmwareFileIsSentLineByLineOrRefused)
{
    QByteArray valid;
    for (int i = 0; i < 8; ++i)
        valid += QByteArray("S113") + QByteArray::number(i * 16, 16).rightJustified(4, '0')
                 + "000102030405060708090A0B0C0D0E0F" + QByteArray::number(i, 16).rightJustified(2, '0') + "\r\n";
    Fuzz::Run(300, [&](Fuzz::Gen &gen) {
        FirmwareFile firmware;
        if (firmware.OpenFirmwareFile(write(gen.chance(0.7) ? gen.mutate(valid) : gen.bytes(300)))) {
            EXPECT_FALSE(prompts.boxes.isEmpty());
            expectSoundBoxes();
            return;
        }
        EXPECT_GE(firmware.FirmwareLineCount, 0);
        int sent = 0;
        while (VbFiles::IsOpen(firmware.FirmwareFileNumber) && !VbFiles::EndOfFile(firmware.FirmwareFileNumber)) {
            ASSERT_FALSE(firmware.SendNextFirmwareLine());
            ASSERT_LE(++sent, firmware.FirmwareLineCount);
        }
        EXPECT_EQ(sent, firmware.FirmwareLineCount);
        EXPECT_FALSE(firmware.SendNextFirmwareLine()); // at the end: nothing
        expectSoundBoxes();
    });
}
