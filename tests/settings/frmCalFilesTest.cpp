#include "OptionsBench.h"

#include "link/ModuleState.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <functional>

namespace {

std::string str(const QString &s)
{
    return s.toStdString();
}

} // namespace

class OptionsFiles : public OptionsBench
{
protected:
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    QByteArray bytes(const char *name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    void write(const char *name, const QByteArray &content) const
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }

    QTemporaryDir dir;
};

TEST_F(OptionsFiles, SettingsSaveWritesTheRecordsAndRefusesQuotes)
{
    frmCal &w = open();
    sent();
    w.optIntFan[1]->setChecked(true);
    w.txtKP->setText(QStringLiteral("12.5"));
    w.txtAcc->setText(QStringLiteral("a,b"));
    w.txtDeadband->setText(QStringLiteral(" 5 x"));
    w.udDBSettle->setValue(36);
    frmCal::SetCheckValue(w.chkAutoCurrent, 2);
    Module().settings.CheckTelescope = true;
    prompts.chosenFile = path("s.dat");
    w.cmdSaveFile->click();

    const QList<QByteArray> lines = bytes("s.dat").split('\n');
    ASSERT_EQ(lines.size(), 35); // 34 records, each ending in CR LF
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\"date\",\"\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\"\r$"))
                    .match(QString::fromLatin1(lines[0])).hasMatch()) << lines[0].toStdString();
    const char *expected[] = {"\"IFMode\",1\r", "\"Kp\",\"12.5\"\r", "\"Acc\",\"a,b\"\r", "\"OverCurrent\",2\r",
                              "\"Deadband\",5\r", "\"DeadbandTime\",36\r", "\"CheckTelescope\",\"1\"\r", "\"PromptTheSky\",0\r"};
    for (const char *line : expected)
        EXPECT_TRUE(lines.contains(QByteArray(line))) << line;
    EXPECT_EQ(lines[9].toStdString(), "\"IFMode\",1\r");
    ASSERT_EQ(prompts.fileDialogs.size(), 1);
    EXPECT_EQ(str(prompts.fileDialogs[0].filter), "Data (*.dat)|*.dat|All (*.*)|*.*");
    EXPECT_FALSE(prompts.fileDialogs[0].confirmOverwrite);

    // Onto an existing file: Cancel keeps it; a quote in a value is refused before the file is opened.
    const QByteArray before = bytes("s.dat");
    prompts.answer = [](const MessageBoxRequest &) { return int(vbconst::vbCancel); };
    w.txtKP->setText(QStringLiteral("1"));
    w.cmdSaveFile->click();
    EXPECT_EQ(bytes("s.dat"), before);
    // The values are taken once the file is chosen: a quote typed meanwhile is seen.
    prompts.answer = [&](const MessageBoxRequest &) {
        w.txtKP->setText(QStringLiteral("1\"2"));
        return int(vbconst::vbOK);
    };
    w.cmdSaveFile->click();
    EXPECT_EQ(bytes("s.dat"), before);
    EXPECT_EQ(boxTexts(), (QStringList{QStringLiteral("Replace current file?"), QStringLiteral("Replace current file?"),
                                       QStringLiteral("The value of \"Kp\" holds a double quote (\") and cannot be saved.  "
                                                      "Nothing was written.")}));
}

TEST_F(OptionsFiles, SettingsLoadAppliesRecordsAndMarksThemForUpload)
{
    struct Case { const char *content; const char *box; std::function<void(frmCal &)> check; };
    const Case cases[] = {
        {"\"Kp\",\"12.5\"\r\n", nullptr, [](frmCal &w) { EXPECT_EQ(str(w.txtKP->text()), "12.5"); }},
        {"\"TAmbS\",\"a,b\"\r\n\r\n\r\n", nullptr, [](frmCal &w) { EXPECT_EQ(str(w.txtAmbSlope->text()), "a,b"); }},
        {"\"IFSet\",\"7\"\r\n\"kp\",\"9\"\r\n\"StepSize\",\"0.3\"\r\n\"IFMode\",2.5\r\n", nullptr,
         [](frmCal &w) {
             EXPECT_EQ(w.udIntFanSet->value(), 7);
             EXPECT_EQ(str(w.txtKP->text()), "");
             EXPECT_EQ(str(w.txtStepSize->text()), "0.3");
             EXPECT_TRUE(w.optIntFan[2]->isChecked());
         }},
        {"\"CheckTelescope\",\"5\"\r\n", nullptr,
         [](frmCal &w) {
             EXPECT_TRUE(w.chkTeleEastWest->isChecked());
             EXPECT_FALSE(Module().settings.CheckTelescope);
         }},
        {"\"CheckTelescope\",\"1\"\r\n\"DeadbandTime\",40\r\n", nullptr,
         [](frmCal &w) {
             EXPECT_TRUE(Module().settings.CheckTelescope);
             EXPECT_EQ(str(w.txtDeadbandSettle->text()), "2.0");
         }},
        // A refused file changes no control and marks nothing.
        {"\"IFMode\",2.7\r\n", "Invalid value for \"IFMode\": 2.7", [](frmCal &) {}},
        {"\"Kd\",\"4\"\r\n\"Kp\"\r\n", "Input past end of file", [](frmCal &w) { EXPECT_EQ(str(w.txtKd->text()), ""); }},
        {"\"OverCurrent\",\"3\"\r\n", "Invalid value for \"OverCurrent\": 3", [](frmCal &) {}},
        {"\"IFHyst\",\"x\"\r\n", "Invalid value for \"IFHyst\": x", [](frmCal &) {}},
        {"\"CheckTelescope\",\"0\"\r\n\"Velocity\",\"junk\"\r\n\"Kp\",\"9z9\"\r\n\"StepSize\",\"-4\"\r\n", "Invalid value for \"Velocity\": junk",
         [](frmCal &w) { EXPECT_EQ(str(w.txtStepSize->text()), "0.3"); }},
        {"\"Kp\",\"9z9\"\r\n", "Invalid value for \"Kp\": 9z9", [](frmCal &) {}},
        {"\"StepSize\",\"-4\"\r\n", "Invalid value for \"StepSize\": -4", [](frmCal &) {}},
        {"\"Deadband\",\"abc\"\r\n", "Invalid value for \"Deadband\": abc", [](frmCal &) {}},
        {"\"sKp\",\"1e12\"\r\n", "Invalid value for \"sKp\": 1e12", [](frmCal &) {}},
    };
    frmCal &w = open();
    for (const Case &c : cases) {
        w.ChangedFlags.fill(false);
        w.cmdUploadVKM->setEnabled(false);
        w.IsLoading = true;
        w.chkTeleEastWest->setChecked(true);
        w.IsLoading = false;
        Module().settings.CheckTelescope = true;
        w.txtKP->clear();
        prompts.boxes.clear();
        write("in.dat", c.content);
        prompts.chosenFile = path("in.dat");
        w.cmdRetrieveFile->click();
        c.check(w);
        const bool failed = c.box != nullptr;
        EXPECT_EQ(boxTexts(), failed ? QStringList{QString::fromLatin1(c.box)} : QStringList()) << c.content;
        if (failed) // nothing applied
            EXPECT_TRUE(w.txtKP->text().isEmpty() && w.chkTeleEastWest->isChecked() && Module().settings.CheckTelescope) << c.content;
        for (int i = 0; i <= 33; ++i)
            EXPECT_EQ(w.ChangedFlags[i], !failed) << c.content << " entry " << i;
        EXPECT_EQ(w.cmdUploadVKM->isEnabled(), !failed) << c.content;
    }
    write("in.dat", "\"Velocity\",\"-4.57762145996094\"\r\n\"Deadband\",3\r\n"); // a velocity shown to 15 digits
    w.cmdRetrieveFile->click();
    w.ChangedFlags.fill(false);
    w.ChangedFlags[10] = w.ChangedFlags[23] = w.SkipUploadPrompt = true;
    sent();
    w.cmdUploadVKM_Click();
    EXPECT_EQ(str(sent()), "v-299999 Y3 ");

    prompts.boxes.clear();
    prompts.chosenFile = path("missing.dat");
    w.cmdRetrieveFile->click();
    EXPECT_EQ(boxTexts(), QStringList{QStringLiteral("Error opening file.")});

    // A fresh window's own file loads back once the controller's values are in: each partner
    // box shows its spinner from the start.
    frmCal &fresh = open();
    for (QLineEdit *box : fresh.findChildren<QLineEdit *>(QRegularExpression(QStringLiteral("^txt(K|k|Deriv|il|Vel|Acc|S|Sec)"))))
        box->setText(QStringLiteral("1"));
    prompts.boxes.clear();
    QFile::remove(path("fresh.dat"));
    prompts.chosenFile = path("fresh.dat");
    fresh.cmdSaveFile->click();
    for (const char *record : {"\"IFSet\",\"0\"\r\n", "\"IFHyst\",\"0\"\r\n", "\"CFThreshold\",\"0\"\r\n",
                               "\"CFPulse\",\"0\"\r\n", "\"Deadband\",0\r\n"})
        EXPECT_TRUE(bytes("fresh.dat").contains(record)) << record;
    fresh.cmdRetrieveFile->click();
    EXPECT_TRUE(prompts.boxes.isEmpty());
    EXPECT_TRUE(fresh.cmdUploadVKM->isEnabled());
}

TEST_F(OptionsFiles, CalibrationFitsMarkedPointsAndUploadsTheCoefficients)
{
    frmCal &w = open();
    sent();
    w.txtRefTemp->setText(QStringLiteral("abc"));
    w.cmdCalMark->click();
    w.txtRefTemp->setText(QStringLiteral("1"));
    w.cmdCalMark->click(); // no raw readings yet
    w.cmdCalibrate->setEnabled(true);
    w.cmdCalibrate->click();
    EXPECT_EQ(w.CalPointCount, 0);
    EXPECT_EQ(boxTexts(), (QStringList{QStringLiteral("Invalid reference temperature."),
                                       QStringLiteral("Error number: 13 Type mismatch"),
                                       QStringLiteral("Error:  A minimum of two points is required to calculate the coefficients.")}));

    // Ambient 100, 200, 300 against -5, 3, 10; the primary sensor reads the same throughout.
    const char *raw[] = {"100", "200", "300"}, *reference[] = {"-5", "3", "10"};
    w.cmdCalibrate->setEnabled(false);
    for (int k = 0; k < 3; ++k) {
        parser().setText(QStringLiteral("lblTemp_5"), QString::fromLatin1(raw[k]));
        parser().setText(QStringLiteral("lblTemp_4"), QStringLiteral("50"));
        parser().setText(QStringLiteral("lblTemp_3"), QString::number(k * 2));
        w.txtRefTemp->setText(QString::fromLatin1(reference[k]));
        w.cmdCalMark->click();
        EXPECT_EQ(w.cmdCalibrate->isEnabled(), k > 0);
    }
    EXPECT_EQ(str(w.lblCalPoints->text()), "3");
    w.cmdCalibrate->click();
    EXPECT_EQ(str(w.lblCalScope[0]->text()), ".075000");
    EXPECT_EQ(str(w.lblCalInt[0]->text()), "-12.333333");
    EXPECT_EQ(str(w.lblR2[0]->text()), "0.998521");
    EXPECT_EQ(str(w.lblCalScope[1]->text()), ".000000");
    EXPECT_EQ(str(w.lblR2[1]->text()), "0.000000");
    EXPECT_TRUE(w.cmdCalUpload->isEnabled());

    prompts.boxes.clear();
    w.cmdCalUpload->click();
    EXPECT_EQ(boxTexts(), QStringList{QStringLiteral("Upload new coefficients to the VKM?")});
    EXPECT_EQ(str(sent()), "A0.0750000 B0.0000000 C3.7500000 D-12.3333333 E0.0000000 F-4.8333333 ");
    w.cmdRetrieveCoef->click();
    EXPECT_EQ(str(sent()), "l");

    // The table holds 101 points; the next Mark leaves the count.
    w.CalPointCount = 100;
    w.cmdCalMark->click();
    EXPECT_EQ(str(w.lblCalPoints->text()), "101");
    prompts.boxes.clear();
    w.cmdCalMark->click();
    EXPECT_EQ(boxTexts(), QStringList{QStringLiteral("Error number: 9 Subscript out of range")});
    EXPECT_EQ(w.CalPointCount, 101);
}

TEST_F(OptionsFiles, CoefficientFileKeepsTheCurrentCoefficients)
{
    frmCal &w = open();
    parser().setText(QStringLiteral("lblSlope_1"), QStringLiteral("0.50000"));
    parser().setText(QStringLiteral("lblInt_1"), QStringLiteral("1.25000"));
    prompts.chosenFile = path("c.dat");
    w.cmdSaveCoef->click();
    const QList<QByteArray> lines = bytes("c.dat").split('\n');
    ASSERT_EQ(lines.size(), 5);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\"date\",\"\\d\\d-\\d\\d-\\d{4}\",\"\\d\\d:\\d\\d:\\d\\d\"\r$"))
                    .match(QString::fromLatin1(lines[0])).hasMatch()) << lines[0].toStdString();
    EXPECT_EQ(lines[1].toStdString(), "\"T1\",\"\",\"\"\r");
    EXPECT_EQ(lines[2].toStdString(), "\"T2\",\"0.50000\",\"1.25000\"\r");

    w.CalCoefficients[0][0] = 7;
    write("c.dat", "\"date\",\"x\",\"y\"\r\n\"t1\",\"9\",\"9\"\r\n\"T2\",\"12.50000\", 1.2e-3\r\n\"T3\",\"4\"\r\n");
    w.cmdLoad->click();
    EXPECT_EQ(w.CalCoefficients[0][0], 7);
    EXPECT_EQ(w.CalCoefficients[0][1], 12.5);
    EXPECT_DOUBLE_EQ(w.CalCoefficients[1][1], 0.0012);
    EXPECT_EQ(str(w.lblCalScope[1]->text()), "12.50000");
    EXPECT_EQ(str(w.lblCalInt[1]->text()), "1.2e-3");
    EXPECT_EQ(str(w.lblCalScope[2]->text()), "");
    EXPECT_TRUE(w.cmdCalUpload->isEnabled());
    EXPECT_TRUE(prompts.boxes.isEmpty());

    // Hand-edited files: an empty field at a line end stays in its record, and a field
    // beyond a Double is passed over while the rest loads.
    write("c.dat", "T1,,\r\nT2,1.5,2.5\r\n");
    w.cmdLoad->click();
    EXPECT_EQ(w.CalCoefficients[0][0], 0);
    EXPECT_EQ(w.CalCoefficients[0][1], 1.5);
    EXPECT_EQ(w.CalCoefficients[1][1], 2.5);
    write("c.dat", "\"T1\",\"1e400\",\"2\"\r\n\"T3\",\"4\",\"5\"\r\n");
    w.cmdLoad->click();
    EXPECT_EQ(w.CalCoefficients[0][0], 0);
    EXPECT_EQ(str(w.lblCalScope[0]->text()), "");
    EXPECT_EQ(w.CalCoefficients[1][0], 2);
    EXPECT_EQ(w.CalCoefficients[0][2], 4);
    EXPECT_EQ(w.CalCoefficients[1][2], 5);

    prompts.chosenFile = path("nowhere/c.dat");
    w.cmdSaveCoef->click();
    EXPECT_EQ(boxTexts(), QStringList{QStringLiteral("Unable to create file.")});
}
