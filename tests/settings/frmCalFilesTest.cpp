#include "OptionsBench.h"

#include "link/ModuleState.h"
#include "settings/OptionRows.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <vector>

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

    // A save onto a disk that fills on the way: the old file stays whole, nothing beside it.
    void expectFullDiskKeeps(QAbstractButton *save, const char *name, rlim_t limit)
    {
        const QByteArray before = bytes(name);
        prompts.boxes.clear();
        {
            const DiskFullAt full(limit);
            save->click();
        }
        EXPECT_EQ(bytes(name), before);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QString::fromLatin1(name)});
        EXPECT_EQ(boxTexts(), (QStringList{QStringLiteral("Replace current file?"),
                                           QStringLiteral("Unable to create file.  The old file is unchanged.")}));
    }

    // Every row the controller reports, read back as 0.
    void readEveryRow()
    {
        for (const OptionRow &row : OptionRows::all())
            if (row.reports)
                OptionRows::readBack(QString::fromLatin1(row.reports).section(u' ', 0, 0), QStringLiteral("0"), parser());
    }

    QTemporaryDir dir;
};

TEST_F(OptionsFiles, SettingsSaveWritesTheRecordsAndRefusesQuotes)
{
    frmCal &w = open();
    sent();
    readEveryRow();
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
    prompts.answer = nullptr;
    w.txtKP->setText(QStringLiteral("2"));
    expectFullDiskKeeps(w.cmdSaveFile, "s.dat", before.size() / 2);
}

TEST_F(OptionsFiles, SettingsLoadAppliesRecordsAndMarksThemForUpload)
{
    // marked: the entries the load marks, exactly; a refused file marks none.
    struct Case { const char *content; const char *box; std::vector<int> marked; std::function<void(frmCal &)> check; };
    const Case cases[] = {
        {"\"Kp\",\"12.5\"\r\n", nullptr, {5}, [](frmCal &w) { EXPECT_EQ(str(w.txtKP->text()), "12.5"); }},
        {"\"TAmbS\",\"-1.5\"\r\n\r\n\r\n", nullptr, {12}, [](frmCal &w) { EXPECT_EQ(str(w.txtAmbSlope->text()), "-1.5"); }},
        {"\"IFSet\",\"7\"\r\n\"kp\",\"9\"\r\n\"StepSize\",\"0.3\"\r\n\"IFMode\",2.5\r\n", nullptr, {1, 30, 0},
         [](frmCal &w) {
             EXPECT_EQ(w.udIntFanSet->value(), 7);
             EXPECT_EQ(str(w.txtKP->text()), "");
             EXPECT_EQ(str(w.txtStepSize->text()), "0.3");
             EXPECT_TRUE(w.optIntFan[2]->isChecked());
         }},
        {"\"CheckTelescope\",\"5\"\r\n\"IFMode\",3\r\n", nullptr, {},
         [](frmCal &w) {
             EXPECT_TRUE(w.chkTeleEastWest->isChecked());
             EXPECT_FALSE(Module().settings.CheckTelescope);
         }},
        {"\"CheckTelescope\",\"1\"\r\n\"DeadbandTime\",40\r\n", nullptr, {33, 24},
         [](frmCal &w) {
             EXPECT_TRUE(Module().settings.CheckTelescope);
             EXPECT_EQ(str(w.txtDeadbandSettle->text()), "2.0");
         }},
        // An empty value, as a window that never read the controller saves, loads and marks nothing.
        {"\"Kp\",\"\"\r\n\"Kd\",\"3\"\r\n", nullptr, {6}, [](frmCal &w) { EXPECT_EQ(str(w.txtKP->text()), ""); }},
        // A refused file changes no control and marks nothing.
        {"\"IFMode\",2.7\r\n", "Invalid value for \"IFMode\": 2.7", {}, [](frmCal &) {}},
        {"\"Kd\",\"4\"\r\n\"Kp\"\r\n", "Input past end of file", {}, [](frmCal &w) { EXPECT_EQ(str(w.txtKd->text()), ""); }},
        {"\"Kd\",\"4\"\r\n\"Kp\",\"12", "Input past end of file", {}, [](frmCal &w) { EXPECT_EQ(str(w.txtKd->text()), ""); }},
        {"\"OverCurrent\",\"3\"\r\n", "Invalid value for \"OverCurrent\": 3", {}, [](frmCal &) {}},
        {"\"CheckTelescope\",\"0\"\r\n\"Velocity\",\"junk\"\r\n\"Kp\",\"9z9\"\r\n\"StepSize\",\"-4\"\r\n", "Invalid value for \"Velocity\": junk", {},
         [](frmCal &w) { EXPECT_EQ(str(w.txtStepSize->text()), "0.3"); }},
        {"\"StepSize\",\"-4\"\r\n", "Invalid value for \"StepSize\": -4", {}, [](frmCal &) {}},
        {"\"sKp\",\"1e12\"\r\n", "Invalid value for \"sKp\": 1e12", {}, [](frmCal &) {}},
    };
    frmCal &w = open();
    const auto load = [&](const QByteArray &content) {
        w.ChangedFlags.fill(false);
        w.cmdUploadVKM->setEnabled(false);
        w.IsLoading = true;
        w.chkTeleEastWest->setChecked(true);
        w.IsLoading = false;
        Module().settings.CheckTelescope = true;
        w.txtKP->clear();
        w.txtKd->clear();
        prompts.boxes.clear();
        write("in.dat", content);
        prompts.chosenFile = path("in.dat");
        w.cmdRetrieveFile->click();
    };
    const auto expectLoaded = [&](const char *box, const std::vector<int> &marked, const char *what) {
        EXPECT_EQ(boxTexts(), box ? QStringList{QString::fromLatin1(box)} : QStringList()) << what;
        EXPECT_TRUE(!box || (w.txtKP->text().isEmpty() && w.chkTeleEastWest->isChecked() && Module().settings.CheckTelescope)) << what;
        for (int i = 0; i < frmCal::FlagCount; ++i)
            EXPECT_EQ(w.ChangedFlags[i], std::count(marked.begin(), marked.end(), i) == 1) << what << " entry " << i;
        EXPECT_EQ(w.cmdUploadVKM->isEnabled(), box == nullptr) << what;
    };
    for (const Case &c : cases) {
        load(c.content);
        c.check(w);
        expectLoaded(c.box, c.marked, c.content);
    }
    // Each numeric row refuses a value that is no plain number.
    for (const OptionRow &row : OptionRows::all()) {
        for (const char *text : {"1,000", "&H10", "1D2", "+5", "abc", "1 2"}) {
            load(QStringLiteral("\"%1\",\"%2\"\r\n").arg(QLatin1String(row.key), QLatin1String(text)).toLatin1());
            expectLoaded(QStringLiteral("Invalid value for \"%1\": %2").arg(QLatin1String(row.key), QLatin1String(text)).toLatin1().constData(), {}, row.key);
        }
    }

    write("in.dat", "\"Velocity\",\"-4.57762145996094\"\r\n\"Deadband\",3\r\n"); // a velocity shown to 15 digits
    w.cmdRetrieveFile->click();
    w.SkipUploadPrompt = true; // the rows the file held alone go out, from a window that never read the controller
    sent();
    w.cmdUploadVKM_Click();
    EXPECT_EQ(str(sent()), "v-299999 Y3 ");

    prompts.boxes.clear();
    prompts.chosenFile = path("missing.dat");
    w.cmdRetrieveFile->click();
    EXPECT_EQ(boxTexts(), QStringList{QStringLiteral("Error opening file.")});

    // A window on a silent controller says what it could not read; its file holds none of
    // it, so loading the file back uploads nothing that nobody read or typed.
    frmCal &fresh = open();
    EXPECT_EQ(str(fresh.lblNotRead->text()),
              "Nothing was read from the VKM: the values shown are not its own, and a file saves only those typed.");
    parser().setText(QStringLiteral("txtKP"), QStringLiteral("10"));
    const QString unread = fresh.lblNotRead->text();
    EXPECT_TRUE(unread.startsWith(QStringLiteral("Not read from the VKM, and not saved to a file until read or typed: "))
                && unread.contains(QStringLiteral("cooling-fan mode, fan set point, fan hysteresis, fan threshold, fan pulse power, servo derivative,"))
                && !unread.contains(QStringLiteral("servo proportional"))) << str(unread);
    prompts.boxes.clear();
    QFile::remove(path("fresh.dat"));
    prompts.chosenFile = path("fresh.dat");
    fresh.cmdSaveFile->click();
    EXPECT_TRUE(bytes("fresh.dat").contains("\"Kp\",\"10\"\r\n"));
    for (const char *key : {"IFMode", "IFSet", "IFHyst", "CFThreshold", "CFPulse", "Kd", "Deadband", "sKp"})
        EXPECT_FALSE(bytes("fresh.dat").contains(QByteArray("\"") + key + "\"")) << key;
    fresh.cmdRetrieveFile->click();
    EXPECT_TRUE(prompts.boxes.isEmpty());
    EXPECT_TRUE(fresh.cmdUploadVKM->isEnabled());
    sent();
    fresh.cmdUploadVKM_Click();
    EXPECT_EQ(str(sent()), "p10 u");
}

// Every row read back, uploaded, saved, loaded into a fresh window and uploaded again goes
// out as the controller reported it, velocity and acceleration included.
TEST_F(OptionsFiles, EveryRowGoesOutAsItCameIn)
{
    const auto uploadAll = [&](frmCal &w) {
        EXPECT_EQ(str(w.txtVelocity->text() + QLatin1Char('|') + w.txtAcc->text()), "32767.9999847412|32768.0000");
        std::fill_n(w.ChangedFlags.begin(), 30, true);
        w.SkipUploadPrompt = true;
        sent();
        w.cmdUploadVKM_Click();
        EXPECT_EQ(str(sent()), "{255 [12 ]3 @40 z85 p12.5 d-3 e4 i0.1 j100 v2147483647 a2147483647  N255  K0  X255 Y3 W36 L12345 ^7 ?3 #-50 ~20 u");
    };
    frmCal &w = open();
    const QStringList tokens = QStringLiteral(":ifo 1 :ifs 12 :ifh 3 :fo 40 :fp 85 :p 12.5 :r -3 :g 4 :i 0.1 :l 100 :ac 1 :eh 0 :dbs 1 :db 3 "
                                              ":dbt 36 :skp 12345 :skd 7 :ski -50 :sdi 3 :sil 20 :v 2147483647 :c 2147483647").split(u' ');
    for (int i = 0; i + 1 < tokens.size(); i += 2)
        ASSERT_TRUE(OptionRows::readBack(tokens[i], tokens[i + 1], parser())) << str(tokens[i]);
    uploadAll(w);
    prompts.chosenFile = path("rows.dat");
    w.cmdSaveFile->click();
    for (const char *key : {"Velocity", "Acc"})
        EXPECT_TRUE(bytes("rows.dat").contains(QStringLiteral("\"%1\",\"32767.9999847412109375\"\r\n").arg(QLatin1String(key)).toLatin1())) << key;
    frmCal &again = open(); // the first window is gone
    again.cmdRetrieveFile->click();
    EXPECT_TRUE(prompts.boxes.isEmpty());
    uploadAll(again);
}

TEST_F(OptionsFiles, CalibrationFitsMarkedPointsAndUploadsTheCoefficients)
{
    frmCal &w = open();
    sent();
    w.txtRefTemp->setText(QStringLiteral("1,000")); // no plain number
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

    // A fit that fails (a reading beyond what its squares hold) changes no coefficient.
    prompts.boxes.clear();
    parser().setText(QStringLiteral("lblTemp_4"), QStringLiteral("1e308"));
    w.txtRefTemp->setText(QStringLiteral("20"));
    w.cmdCalMark->click();
    w.cmdCalibrate->click();
    EXPECT_EQ(boxTexts(), QStringList{QStringLiteral("Error number: 6 Overflow (the primary slope); no coefficient was changed")});
    EXPECT_EQ(str(w.lblCalScope[0]->text()), ".075000");
    w.CalPointCount = 3;
    w.cmdCalUpload->click();
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

    // The port gone under the upload: the first coefficient not sent is named.
    prompts.boxes.clear();
    prompts.answer = [&](const MessageBoxRequest &) { return sim.vanish(), int(vbconst::vbOK); };
    w.cmdCalUpload->click();
    prompts.answer = nullptr;
    EXPECT_EQ(boxTexts(), (QStringList{QStringLiteral("Upload new coefficients to the VKM?"),
                                       QStringLiteral("Error:  The upload stopped at the coefficient \"A\": it and what "
                                                      "follows it did not reach the VKM.")}));
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

    // Loaded all or none: a value that cannot be read or a record cut short changes nothing.
    // loaded and labels: the slopes of T1 to T3, then their intercepts.
    struct Case { const char *content; const char *box; double loaded[6]; const char *labels[6]; };
    const Case cases[] = {
        {"\"date\",\"x\",\"y\"\r\n\"t1\",\"9\",\"9\"\r\n\"T2\",\"12.50000\", 1.2e-3\r\n", nullptr,
         {7, 12.5, 7, 7, 0.0012, 7}, {"a", "12.50000", "a", "a", "1.2e-3", "a"}},
        // An empty field at a line end stays in its record, and is 0.
        {"T1,,\r\nT2,1.5,2.5\r\n", nullptr, {0, 1.5, 7, 0, 2.5, 7}, {"", "1.5", "a", "", "2.5", "a"}},
        // Refused: every coefficient and label keeps its 7 and "a".
        {"\"T3\",\"4\",\"5\"\r\n\"T1\",\"1e999\",\"2\"\r\n", "Invalid value for \"T1\": 1e999.  No coefficient was loaded.", {}, {}},
        {"\"T2\",\"1\",\"2\"\r\n\"T3\",\"4\"\r\n", "Input past end of file.  No coefficient was loaded.", {}, {}},
        {"\"T2\",\"+1\",\"2\"\r\n", "Invalid value for \"T2\": +1.  No coefficient was loaded.", {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.content);
        for (int i = 0; i < 6; ++i) {
            w.CalCoefficients[i / 3][i % 3] = 7;
            (i < 3 ? w.lblCalScope : w.lblCalInt)[i % 3]->setText(QStringLiteral("a"));
        }
        w.cmdCalUpload->setEnabled(false);
        prompts.boxes.clear();
        write("c.dat", c.content);
        w.cmdLoad->click();
        EXPECT_EQ(boxTexts(), c.box ? QStringList{QString::fromLatin1(c.box)} : QStringList());
        EXPECT_EQ(w.cmdCalUpload->isEnabled(), c.box == nullptr);
        for (int i = 0; i < 6; ++i) {
            EXPECT_DOUBLE_EQ(w.CalCoefficients[i / 3][i % 3], c.box ? 7 : c.loaded[i]) << i;
            EXPECT_EQ(str((i < 3 ? w.lblCalScope : w.lblCalInt)[i % 3]->text()), c.box ? "a" : c.labels[i]) << i;
        }
    }

    expectFullDiskKeeps(w.cmdSaveCoef, "c.dat", 20);

    prompts.boxes.clear();
    prompts.chosenFile = path("nowhere/c.dat");
    w.cmdSaveCoef->click();
    EXPECT_EQ(boxTexts(), QStringList{QStringLiteral("Unable to create file.")});
}
