#include "tools/frmLog.h"

#include "link/HandlerError.h"
#include "link/ModuleState.h"
#include "platform/Controls.h"
#include "platform/DataFolder.h"
#include "platform/UpDown.h"
#include "platform/UserPrompts.h"
#include "platform/Vb.h"
#include "platform/VbFiles.h"
#include "tools/DataLog.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {

// The timer fires twice per interval; a period beyond the timer's range is held at its top.
uint32_t TimerPeriod(int32_t intervalSeconds)
{
    return uint32_t(std::min<int64_t>(int64_t(intervalSeconds) * 500, INT32_MAX));
}

} // namespace

frmLog::frmLog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmLog"));
    setWindowTitle(QStringLiteral("Data Logging Setup"));

    txtInterval = NewControl<QLineEdit>(this, "txtInterval", QStringLiteral("30"));
    txtInterval->setToolTip(QStringLiteral("Set the sampling interval"));
    txtInterval->installEventFilter(this);
    UpDown1 = NewControl<UpDown>(this, "UpDown1");
    UpDown1->setToolTip(QStringLiteral("Adjust the sampling interval"));
    UpDown1->setRange(1, 3600);
    UpDown1->setValue(30);
    UpDown1->setBuddy(txtInterval);
    connect(UpDown1, &QSpinBox::valueChanged, this, [this](int v) { txtInterval->setText(QString::number(v)); });

    txtFileName = NewControl<QLineEdit>(this, "txtFileName");
    cmdBrowse = NewControl<QPushButton>(this, "cmdBrowse", QStringLiteral("Browse"));

    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Sample Interval (sec)"), this), 0, 0);
    grid->addWidget(txtInterval, 0, 1);
    grid->addWidget(UpDown1, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("File Name:"), this), 1, 0);
    grid->addWidget(txtFileName, 1, 1);
    grid->addWidget(cmdBrowse, 1, 2);

    auto *boxes = new QVBoxLayout;
    for (size_t i = 0; i < DataLog::Channels.size(); ++i) {
        const DataLog::Channel &c = DataLog::Channels[i];
        channelBoxes[i] = NewControl<QCheckBox>(this, c.box, QString::fromLatin1(c.caption));
        channelBoxes[i]->setChecked(true);
        boxes->addWidget(channelBoxes[i]);
    }

    cmdStart = NewControl<QPushButton>(this, "cmdStart", QStringLiteral("Start Log"));
    cmdCancel = NewControl<QPushButton>(this, "cmdCancel", QStringLiteral("Cancel"));
    cmdStart->setAutoDefault(false);
    cmdBrowse->setAutoDefault(false);

    auto *column = new QVBoxLayout(this);
    column->addLayout(grid);
    column->addLayout(boxes);
    column->addLayout(ButtonRow({cmdStart, cmdCancel}));

    connect(cmdBrowse, &QPushButton::clicked, this, &frmLog::cmdBrowse_Click);
    connect(cmdStart, &QPushButton::clicked, this, &frmLog::cmdStart_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmLog::cmdCancel_Click);
}

bool frmLog::txtInterval_KeyPress(QChar key)
{
    return (key >= u'0' && key <= u'9') || key == QLatin1Char('.') || key == QChar(8); // no other script's digits
}

bool frmLog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtInterval && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QString text = key->text();
        // Keys without a character (arrows, Home, Delete) move or edit as usual.
        if (key->key() == Qt::Key_Backspace)
            return false;
        if (!text.isEmpty() && text.at(0).isPrint() && !txtInterval_KeyPress(text.at(0)))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void frmLog::cmdBrowse_Click()
{
    FileDialogRequest request;
    request.initialDir = DataFolder::path();
    request.defaultSuffix = QStringLiteral("csv"); // what the filter shows
    request.filter = QStringLiteral("Text Files (*.csv)|*.csv|All Files (*.*)|*.*");
    request.filterIndex = 1;
    request.confirmOverwrite = false; // the question below is the only one
    const auto chosen = UserPrompts::current().saveFile(request);
    if (!chosen)
        return;
    if (QFileInfo::exists(*chosen)
        && MsgBox(QStringLiteral("This file already exists.  Overwrite old file?"),
                  vbconst::vbOKCancel | vbconst::vbQuestion, QStringLiteral("VKM")) == vbconst::vbCancel)
        return;
    txtFileName->setText(*chosen);
}

void frmLog::cmdStart_Click()
{
    ModuleState::Tools &t = Module().tools;
    try {
        const QString interval = txtInterval->text();
        if (!vb::IsNumeric(interval)) {
            MsgBox(QStringLiteral("Invalid interval"));
            return;
        }
        // An interval that rounds to 0 s would give the timer no period.
        if (vb::CDbl(interval) <= 0 || vb::CLng(interval) <= 0) {
            MsgBox(QStringLiteral("Invalid Interval"));
            return;
        }
        const int32_t seconds = vb::CLng(interval);
        bool any = false;
        for (size_t i = 0; i < DataLog::Channels.size(); ++i) {
            t.*DataLog::Channels[i].flag = channelBoxes[i]->isChecked();
            any = any || channelBoxes[i]->isChecked();
        }
        if (!any) {
            MsgBox(QStringLiteral("No parameters have selected for logging."));
            return;
        }
        // Logging starts only with its header on disk: records without one (a full disk)
        // would be a file no reader can take apart.
        const int16_t number = VbFiles::FreeFile();
        try {
            VbFiles::Open(number, txtFileName->text(), VbFiles::Mode::Output);
            VbFiles::Print(number, DataLog::HeaderText());
        } catch (const VbError &) {
            VbFiles::Close(number);
            MsgBox(QStringLiteral("Error opening log file."));
            return;
        }
        t.LogInterval = seconds;
        t.LogFileNumber = number;
        t.LoggingActive = true;
        DataLog::StartLogTimer(TimerPeriod(seconds));
        accept();
    } catch (const std::exception &e) {
        ShowHandlerError(e);
    }
}

void frmLog::cmdCancel_Click()
{
    reject();
}
