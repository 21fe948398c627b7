#include "platform/ClockTimer.h"
#include "UtilitiesBench.h"
#include "platform/Screen.h"
#include "support/WidgetInput.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>

namespace {

using UtilitiesWindow = UtilitiesBench;

TEST_F(UtilitiesWindow, FreshKeyGetsTheDefaultsAndStoredTextsGoThroughSingle)
{
    open();
    const std::pair<const char *, QVariant> defaults[] = {
        {"ImageScale", QStringLiteral("1.7")}, {"MaxPosErr", QStringLiteral("2")}, {"MaxRotErr", QStringLiteral("1")},
        {"MaxItterations", 5}, {"ExposureTime", 10}, {"ImagingProgram", 0}, {"AstrometricEngine", 0},
        {"CatalogPath", QString()}, {"Catalog", 3}, {"SpiralSearch", 1},
    };
    for (const auto &[name, value] : defaults)
        EXPECT_EQ(DriverKey::stored(QString::fromLatin1(name)), value) << name;
    QStringList boxes;
    for (QLineEdit *box : {window->txtImageScale, window->txtPositionErr, window->txtRotErr, window->txtItterations,
                           window->txtExposureTime})
        boxes << box->text();
    EXPECT_EQ(boxes, QStringList({"1.7", "2", "1", "5", "10"}));
    EXPECT_TRUE(window->optAstro[0]->isChecked());
    EXPECT_EQ(window->cmbCatalog->currentText(), QStringLiteral("Corrected GSC"));
    EXPECT_TRUE(window->chkSpiralSearch->isChecked());
    EXPECT_TRUE(Module().thesky.UtilitiesFormOpen);
    EXPECT_EQ(window->Settings.SpiralOffsetTable[0], (std::array<int16_t, 2>{-1, 1}));

    window.reset();
    open({{"ImageScale", QStringLiteral("1.25")}, {"MaxRotErr", QStringLiteral("1.7")}, {"SpiralSearch", 2},
          {"MaxItterations", 70000}});
    EXPECT_EQ(window->txtImageScale->text(), QStringLiteral("1.250"));
    EXPECT_EQ(window->Settings.MaxRotErr, 1.7000000476837158);
    // A grayed box is kept; a DWORD beyond the field's range leaves field and box unfilled.
    EXPECT_TRUE(window->chkSpiralSearch->checkState() == Qt::PartiallyChecked && window->Settings.SpiralSearch == 2);
    EXPECT_EQ(window->txtItterations->text(), QString());
}

TEST_F(UtilitiesWindow, UnloadStoresTheBoxTexts)
{
    open();
    window->txtRotErr->setText(QStringLiteral("2.5"));
    window->txtItterations->clear();
    WidgetInput::type(window->txtItterations, QStringLiteral("1a2"));
    window->txtExposureTime->clear();
    window->optAstro[1]->setChecked(true);
    EXPECT_EQ(window->Settings.MaxRotErr, 1); // no change handler: stored, used at the next load
    EXPECT_EQ(window->Settings.MaxItterations, 12);
    EXPECT_EQ(window->Settings.ExposureTime, 0);
    window->close();
    EXPECT_FALSE(Module().thesky.UtilitiesFormOpen);
    EXPECT_EQ(DriverKey::stored(QStringLiteral("MaxRotErr")), QStringLiteral("2.5"));
    EXPECT_EQ(DriverKey::stored(QStringLiteral("MaxItterations")), 12);
    EXPECT_EQ(DriverKey::stored(QStringLiteral("ExposureTime")), 0);
    EXPECT_EQ(DriverKey::stored(QStringLiteral("AstrometricEngine")), 1);

    // Pasted text is filtered as typed text is; a number beyond the Long range is not stored,
    // everything else is, and the window closes.
    open({{"MaxItterations", 7}, {"ExposureTime", 9}});
    window->show();
    QGuiApplication::clipboard()->setText(QStringLiteral("12a3"));
    QKeyEvent paste(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, QStringLiteral("\x16"));
    QCoreApplication::sendEvent(window->txtItterations, &paste);
    EXPECT_EQ(window->txtItterations->text(), QStringLiteral("7123"));
    window->txtItterations->clear();
    WidgetInput::type(window->txtItterations, QStringLiteral("99999999999"));
    window->txtExposureTime->setText(QStringLiteral("1e10"));
    window->txtPositionErr->setText(QStringLiteral("3.5"));
    window->close();
    EXPECT_FALSE(window->isVisible() || Module().thesky.UtilitiesFormOpen);
    EXPECT_EQ(QVariantList({DriverKey::stored(QStringLiteral("MaxItterations")), DriverKey::stored(QStringLiteral("ExposureTime")),
                            DriverKey::stored(QStringLiteral("MaxPosErr"))}),
              QVariantList({7, 9, QStringLiteral("3.5")}));
}

TEST_F(UtilitiesWindow, EnterInABoxStartsNothing)
{
    open({{"CatalogPath", QStringLiteral("/cat")}});
    window->show();
    for (QLineEdit *box : {window->txtImageScale, window->txtPositionErr, window->txtRotErr, window->txtItterations,
                           window->txtExposureTime, window->txtCatalogPath}) {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QApplication::sendEvent(box, &enter);
    }
    EXPECT_EQ(log(), QStringList());
    EXPECT_EQ(sky->calls(QStringLiteral("CreateObject")), QStringList());
    EXPECT_EQ(commands(), QString());
}

TEST_F(UtilitiesWindow, SpinnerStepsGrowWhileHeldAndStopAtZeroWithABeep)
{
    int beeps = 0;
    Screen::setBeepHook([&] { ++beeps; });
    open({{"MaxRotErr", QStringLiteral("0.05")}});
    QStringList shown;
    QList<int> beepsSeen;
    for (int i = 0; i < 7; ++i) {
        window->UpDown3->stepDown();
        shown << window->txtRotErr->text();
        beepsSeen << beeps;
    }
    EXPECT_EQ(shown, QStringList({"0.04", "0.03", "0.02", "0.01", "0.00", "0.00", "0.00"}));
    EXPECT_EQ(beepsSeen, QList<int>({0, 0, 0, 0, 0, 1, 2}));

    for (int i = 0; i < 12; ++i)
        window->UpDown1->stepUp();
    EXPECT_EQ(window->txtImageScale->text(), QStringLiteral("1.730")); // ten of 0.001, two of 0.01
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(window->UpDown1, &press);
    window->UpDown1->stepDown();
    EXPECT_EQ(window->txtImageScale->text(), QStringLiteral("1.729"));
    Screen::setBeepHook(nullptr);
}

struct StartCase
{
    const char *what;
    int16_t program, engine;
    const char *catalogPath;
    int catalog;
    const char *failCreation; // nothing when every object is there
    QStringList lines;
};

TEST_F(UtilitiesWindow, RunStartStopsBeforeItsStartLine)
{
    const StartCase cases[] = {
        {"empty catalog path", 0, 0, "", 3, nullptr, {"Catalog Path is invalid."}},
        {"engine 2 is the plate solver", 0, 2, "", 3, nullptr, {"Catalog Path is invalid."}},
        {"placeholder catalog", 0, 0, "/cat", 2, nullptr, {"Catalog is invalid."}},
        {"no CCDSoft camera", 0, 0, "/cat", 3, "CCDSOFT.Camera",
         {"Unable to create object 'CCDSoft.Camera'.  Make sure CCDSoft is installed."}},
        {"no MaxIm DL camera", 1, 1, "", 2, "MaxIm.CCDCamera",
         {"Unable to create object 'MaxIm.CCDCamera'.  Make sure MaxImDL is installed."}},
        {"no plate solver", 1, 0, "/cat", 3, "PinPoint.Plate",
         {"Unable to create object 'PinPoint.Plate'.  Make sure PinPoint is installed."}},
    };
    for (const StartCase &c : cases) {
        sky->clearFailures();
        if (c.failCreation)
            sky->failCreation(QString::fromLatin1(c.failCreation));
        open({{"ImagingProgram", c.program}, {"AstrometricEngine", c.engine},
              {"CatalogPath", QString::fromLatin1(c.catalogPath)}, {"Catalog", c.catalog}});
        window->cmdAlignCCD->click();
        EXPECT_EQ(log(), c.lines) << c.what;
        EXPECT_TRUE(window->cmdAbort->isEnabled()) << c.what;
        window.reset();
    }
}

TEST_F(UtilitiesWindow, MaxImWithTheSkyEngineCreatesTheImageDocumentAndNoPlate)
{
    imaging->cameraXSize = 3072;
    open({{"ImagingProgram", 1}, {"AstrometricEngine", 1}, {"Catalog", 2}});
    window->cmdImageLink->click();
    EXPECT_EQ(sky->calls(QStringLiteral("CreateObject")),
              QStringList({"CreateObject(MaxIm.CCDCamera)", "CreateObject(CCDSoft.Image)"}));
    EXPECT_EQ(sky->calls(QStringLiteral("Camera.")).mid(0, 4),
              QStringList({"Camera.disableautoshutdown=True", "Camera.linkenabled=True", "Camera.Cameraxsize",
                           "Camera.Cameraysize"}));
    EXPECT_EQ(log().mid(0, 2), QStringList({"", "********START IMAGE LINK AND SYNCH**********"}));
}

TEST_F(UtilitiesWindow, SynchronizeDisablesItselfWithoutTheSky)
{
    open();
    TheSkyAutomation::ReleaseObjects();
    window->cmdSynchronize->click();
    EXPECT_FALSE(window->cmdSynchronize->isEnabled());
    EXPECT_TRUE(prompts.boxes.isEmpty());
    window->cmdAlignCCD->click(); // stops at its catalog check
    EXPECT_FALSE(window->cmdSynchronize->isEnabled());
}

TEST_F(UtilitiesWindow, EngineSwitchedDuringAnExposureEndsTheRunThroughItsErrorTail)
{
    prompts.chosenFile = dataDir.filePath(QStringLiteral("saved.fit"));
    FakeImaging::WriteFits(*prompts.chosenFile, {QStringLiteral("OBJCTRA = '05 30 00.0'"), QStringLiteral("OBJCTDEC = '-12 15 00.0'")});
    const std::pair<const char *, const char *> cases[] = {
        {"cmdAlignCCD", "Error:  "}, {"cmdImageLink", "Error:  "}, {"cmdSavedImage", "ERROR:  "}};
    for (const auto &[button, prefix] : cases) {
        // MaxIm DL with PinPoint has no image document for the TheSky engine to open.
        open({{"ImagingProgram", 1}, {"AstrometricEngine", 0}, {"CatalogPath", QStringLiteral("/cat")}});
        imaging->onExposure = [this] { window->optAstro[1]->click(); };
        WidgetInput::click(window.get(), button);
        const QStringList lines = log();
        EXPECT_EQ(lines.mid(lines.size() - 3, 1), QStringList(prefix + VbError::objectNotSet().description())) << button;
        EXPECT_TRUE(lines.at(lines.size() - 2).startsWith(QStringLiteral("********END"))) << button;
        EXPECT_TRUE(window->cmdAlignCCD->isEnabled() && !window->cmdAbort->isEnabled()) << button;
        window.reset();
    }
}

TEST_F(UtilitiesWindow, ASecondClickOrACloseDuringObjectCreationStartsNoOtherRun)
{
    open({{"CatalogPath", QStringLiteral("/cat")}});
    window->show();
    // The camera's creation serves events: two clicks and a close land there.
    imaging->onCreation = [this](const QString &) {
        imaging->onCreation = nullptr;
        window->cmdAlignCCD->click();
        window->cmdSavedImage->click();
        window->close();
    };
    window->cmdAlignCCD->click();
    EXPECT_EQ(log(), QStringList({"", "********START ALIGN CAMERA**********", "Align Camera Aborted",
                                  "********END ALIGN CAMERA**********", ""}));
    EXPECT_FALSE(window->isVisible() || Module().thesky.UtilitiesFormOpen);
}

TEST_F(UtilitiesWindow, ARunHoldsItsButtonsAndClosingAbortsItFirst)
{
    imaging->notDonePolls = -1; // the exposure never ends
    open({{"CatalogPath", QStringLiteral("/cat")}});
    QStringList during;
    // On the program's clock, so the test clock's skips cannot run the exposure wait past it.
    ClockTimer pressClose;
    pressClose.setSingleShot(true);
    QObject::connect(&pressClose, &ClockTimer::timeout, window.get(), [&] {
        for (QPushButton *b : {window->cmdAlignCCD, window->cmdImageLink, window->cmdSavedImage,
                               window->cmdSynchronize, window->cmdAbort})
            during << QString::number(b->isEnabled());
        window->close();
        during << QString::number(Screen::MousePointer());
    });
    pressClose.start(100);
    window->cmdAlignCCD->click();
    EXPECT_EQ(during, QStringList({"0", "0", "0", "0", "1", "11"}));
    EXPECT_EQ(log().mid(2), QStringList({"Taking image", "Align Camera Aborted", "********END ALIGN CAMERA**********", ""}));
    EXPECT_EQ(sky->calls(QStringLiteral("Camera.Abort")), QStringList({"Camera.Abort"}));
    EXPECT_EQ(Screen::MousePointer(), Screen::vbDefault);
    EXPECT_FALSE(Module().thesky.UtilitiesFormOpen); // closed once the run had ended
    EXPECT_TRUE(window->cmdAlignCCD->isEnabled());
}

} // namespace
