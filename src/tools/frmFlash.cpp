#include "tools/frmFlash.h"

#include "link/HandlerError.h"
#include "link/ModuleState.h"
#include "platform/Controls.h"
#include "platform/DataFolder.h"
#include "platform/PostedBoxes.h"
#include "platform/RunningHandler.h"
#include "platform/UserPrompts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

namespace {

QPointer<frmFlash> g_flash;

const QString RebootAdvice = QStringLiteral(
    "Please reboot the ORVA VKM by temporarily removing power and try uploading the firmware again.");

// The handlers report their own run-time failures.
template <typename F>
void handled(F &&handler)
{
    try {
        handler();
    } catch (const std::exception &e) {
        ShowHandlerError(e);
    }
}

} // namespace

frmFlash::frmFlash(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmFlash"));
    setWindowTitle(QStringLiteral("Firmware Update Wizard"));

    lblStep = NewControl<QLabel>(this, "lblStep");
    QFont title = lblStep->font();
    title.setBold(true);
    lblStep->setFont(title);
    lblInstructions = NewControl<QLabel>(this, "lblInstructions");
    lblInstructions->setWordWrap(true);
    lblInstructions->setMinimumSize(420, 120);
    lblInstructions->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    txtFileName = NewControl<QLineEdit>(this, "txtFileName");
    cmdBrowse = NewControl<QPushButton>(this, "cmdBrowse", QStringLiteral("Browse"));
    ProgBar1 = NewControl<QProgressBar>(this, "ProgBar1");
    ProgBar1->setRange(0, 100);
    cmdBack = NewControl<QPushButton>(this, "cmdBack", QStringLiteral("Back"));
    cmdNext = NewControl<QPushButton>(this, "cmdNext", QStringLiteral("Next"));
    cmdFinish = NewControl<QPushButton>(this, "cmdFinish", QStringLiteral("Finish"));
    cmdCancel = NewControl<QPushButton>(this, "cmdCancel", QStringLiteral("Cancel"));
    for (QPushButton *button : {cmdBrowse, cmdBack, cmdNext, cmdFinish, cmdCancel})
        button->setAutoDefault(false);

    auto *file = new QHBoxLayout;
    file->addWidget(txtFileName, 1);
    file->addWidget(cmdBrowse);
    auto *column = new QVBoxLayout(this);
    column->addWidget(lblStep);
    column->addWidget(lblInstructions, 1);
    column->addLayout(file);
    column->addWidget(ProgBar1);
    column->addLayout(ButtonRow({cmdBack, cmdNext, cmdFinish, cmdCancel}));

    // The file row and the progress bar keep their room while hidden: one size for every page.
    for (QWidget *w : std::initializer_list<QWidget *>{txtFileName, cmdBrowse, ProgBar1}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    }
    txtFileName->hide();
    cmdBrowse->hide();
    ProgBar1->hide();

    connect(cmdNext, &QPushButton::clicked, this, &frmFlash::cmdNext_Click);
    connect(cmdBack, &QPushButton::clicked, this, &frmFlash::cmdBack_Click);
    connect(cmdFinish, &QPushButton::clicked, this, &frmFlash::cmdFinish_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmFlash::cmdCancel_Click);
    connect(cmdBrowse, &QPushButton::clicked, this, &frmFlash::cmdBrowse_Click);
    connect(txtFileName, &QLineEdit::textChanged, this, &frmFlash::txtFileName_Change);

    Form_Load();
}

frmFlash *frmFlash::showWindow()
{
    if (!g_flash) {
        g_flash = new frmFlash;
        g_flash->setAttribute(Qt::WA_DeleteOnClose);
    }
    g_flash->show();
    g_flash->raise();
    return g_flash;
}

void frmFlash::Form_Load()
{
    handled([&] {
        CurrentStep = Welcome;
        ChangeStep(0);
        Module().tools.FlashIgnoreAck = false;
        Module().tools.FlashAckFlag = false;
    });
}

void frmFlash::Form_Unload()
{
    ModuleState::Tools &flash = Module().tools;
    flash.FlashAckFlag = false;
    flash.FlashIgnoreAck = true;
    flash.FlashInProgress = false; // else the main window's parser would drop every report
}

void frmFlash::closeEvent(QCloseEvent *event)
{
    if (m_uploading) {
        event->ignore();
        return;
    }
    Form_Unload();
    m_unloaded = true;
    event->accept();
}

void frmFlash::reject()
{
    close();
}

void frmFlash::ChangeStep(int16_t step)
{
    handled([&] {
        if (CurrentStep == ChooseFile) {
            txtFileName->hide();
            cmdBrowse->hide();
        }
        CurrentStep = int16_t(CurrentStep + step);
        layOutPage();
    });
}

void frmFlash::layOutPage()
{
    switch (CurrentStep) {
    case Welcome:
        lblStep->setText(QStringLiteral("Welcome to the Firmware Upgrade Wizard"));
        lblInstructions->setText(QStringLiteral(
            "This wizard will guide you through upgrading the firmware on you ORVA Korvane.\n\r\n"
            "The most recent firmware can be downloaded from https://www.orva.example/firmware."));
        cmdBack->setEnabled(false);
        cmdFinish->setEnabled(false);
        break;
    case ChooseFile:
        txtFileName->show();
        cmdBrowse->show();
        cmdBack->setEnabled(true);
        cmdCancel->setEnabled(true); // back from a file the upload refused
        if (txtFileName->text().isEmpty())
            cmdNext->setEnabled(false);
        txtFileName_Change();
        cmdFinish->setEnabled(false);
        lblStep->setText(QStringLiteral("Choose Firmware File"));
        lblInstructions->setText(QStringLiteral(
            "Please type the path and file name of firmware upgrade file.  You can search the hard "
            "drive by pressing the 'Browse' button."));
        break;
    case Confirm:
        lblStep->setText(QStringLiteral("Complete Upgrade"));
        lblInstructions->setText(QStringLiteral(
            "You are now ready to upgrade the ORVA VKM firmware.  Once started, this process must be "
            "allowed to complete uninterrupted.  If for some reason the upgrade gets interrupted, the "
            "ORVA VKM will attempt to recover its last firmware.  If this is not possible then this "
            "will need to be repeated.\r\n\nTo continue press 'Next'"));
        break;
    case Upload:
        runUpload();
        break;
    case Succeeded:
    case Failed: {
        ProgBar1->hide();
        cmdFinish->setEnabled(true);
        ModuleState::Tools &flash = Module().tools;
        flash.FlashIgnoreAck = true;
        flash.FlashAckFlag = false;
        if (CurrentStep == Succeeded) {
            lblStep->setText(QStringLiteral("Success"));
            lblInstructions->setText(QStringLiteral(
                "The ORVA VKM firmware has been upload successfully.\n\n\r"
                "Please reboot the ORVA VKM by temporarily removing power."));
            QApplication::beep();
        } else {
            lblStep->setText(QStringLiteral("Error Encountered"));
            if (const QString text = ErrorText(UploadErrorCode); !text.isEmpty())
                lblInstructions->setText(text);
            // Nothing reached the loader: another file may be chosen.
            cmdBack->setEnabled(UploadErrorCode == FirmwareUpload::FileNotOpened);
        }
        break;
    }
    default:
        break;
    }
}

void frmFlash::runUpload()
{
    UploadErrorCode = 0;
    lblStep->setText(QStringLiteral("Uploading Firmware"));
    lblInstructions->setText(QStringLiteral("Status:  Initializing"));
    cmdBack->setEnabled(false);
    cmdCancel->setEnabled(false);
    cmdNext->setEnabled(false);
    ProgBar1->show();
    ProgBar1->setValue(0);
    const RunningHandler running(this);
    try {
        m_uploading = true;
        const auto done = qScopeGuard([this] { m_uploading = false; });
        const PostedBoxes::Hold boxesWait; // a box opened inside the exchange would stall the loader
        FirmwareUpload upload(*this, Timings);
        UploadErrorCode = upload.run(txtFileName->text());
    } catch (const std::exception &e) {
        // No error page says what went wrong (the main window went, the port closed): back
        // to the confirm page, from where the operator can try again or leave.
        CurrentStep = Confirm;
        ProgBar1->hide();
        layOutPage();
        for (QPushButton *button : {cmdBack, cmdNext, cmdCancel})
            button->setEnabled(true);
        ShowHandlerError(e);
        return;
    }
    ChangeStep(UploadErrorCode == 0 ? 1 : 2);
}

QString frmFlash::ErrorText(int16_t code)
{
    static const char *const names[] = {
        "NO RESPONSE DURING INITIALIZATION", "PROGRAMMING VOLTAGE NOT PRESENT",  "UNABLE TO ERASE FLASH",
        "FIRMWARE FILE NOT USABLE",          "ERROR WHILE SENDING FIRMWARE LINE", "TIMED OUT WAITING FOR PROGRAM HANDSHAKE",
    };
    const QString persists = QStringLiteral("  If this error persists please contact ORVA for repair.");
    const QString corrupt = QStringLiteral("  This error can be caused by a corrupt firmware file.");
    const QString advice[] = {
        RebootAdvice,
        QStringLiteral("This may be indicative of hardware damage.  If this error continues please contact ORVA for repair."),
        RebootAdvice + persists,
        QStringLiteral("Nothing was sent to the ORVA VKM and its firmware was not changed.  Press 'Back' to choose another file."),
        QStringLiteral("This may be indicative of a corrupt firmware file."),
        RebootAdvice + corrupt,
    };
    if (code < 1 || code > 6)
        return QString();
    return QStringLiteral("The firmware upload was terminated with an error code: %1\n\n\r%2\n\r%3")
        .arg(code)
        .arg(QLatin1String(names[code - 1]), advice[code - 1]);
}

void frmFlash::cmdNext_Click()
{
    ChangeStep(1);
}

void frmFlash::cmdBack_Click()
{
    // From the error page of a file that sent nothing, back to choosing the file.
    ChangeStep(CurrentStep == Failed ? int16_t(ChooseFile - Failed) : int16_t(-1));
}

void frmFlash::cmdFinish_Click()
{
    close();
}

void frmFlash::cmdCancel_Click()
{
    const RunningHandler running(this); // the question serves events: the window may close
    handled([&] {
        if (MsgBox(QStringLiteral("Cancel firmware upgrade?"), vbconst::vbOKCancel | vbconst::vbQuestion,
                   QStringLiteral("ORVA"))
                == vbconst::vbOK
            && !m_unloaded)
            close();
    });
}

void frmFlash::cmdBrowse_Click()
{
    FileDialogRequest request;
    request.filter = QStringLiteral("S19 File (*.S19; *.S2)|*.s19;*.s2");
    request.fileName = QStringLiteral("ORVA.s19");
    handled([&] { request.initialDir = DataFolder::path(); });
    std::optional<QString> chosen;
    handled([&] { chosen = UserPrompts::current().openFile(request); });
    // Dismissing the dialog leaves the name as it was.
    if (chosen)
        txtFileName->setText(*chosen);
}

void frmFlash::txtFileName_Change()
{
    const QString name = txtFileName->text();
    if (CurrentStep == ChooseFile
        && (name.contains(QLatin1String(".S19"), Qt::CaseInsensitive) || name.contains(QLatin1String(".S2"), Qt::CaseInsensitive)))
        cmdNext->setEnabled(true);
}

void frmFlash::setStatus(const QString &text)
{
    lblInstructions->setText(text);
}

void frmFlash::setProgress(int percent)
{
    ProgBar1->setValue(percent);
}

// Paints what changed now, also where no events are served.
void frmFlash::redraw()
{
    QCoreApplication::sendPostedEvents(this, QEvent::UpdateRequest);
}
