// The heater wizard's data: the recording timer, the plot, the data-set files and the upload.
#include "tools/frmSecHeaterWizard.h"

#include "link/ControlWindowHooks.h"
#include "link/HandlerError.h"
#include "link/ModuleState.h"
#include "link/OperatorSend.h"
#include "link/ReportTable.h"
#include "link/Serial.h"
#include "platform/Clock.h"
#include "platform/DataFolder.h"
#include "platform/PostedBoxes.h"
#include "platform/UserPrompts.h"
#include "platform/Vb.h"
#include "platform/VbFiles.h"
#include "platform/WholeFile.h"

#include <QChart>
#include <QChartView>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace {

const QString Title = QStringLiteral("VKM");

VbError subscriptOutOfRange()
{
    return VbError(9, QStringLiteral("Subscript out of range"));
}

// The numbers of one data-set line into `row`, from column 0; empty fields do not count.
// Returns the number of columns filled; a column past the third throws.
int readFields(const QString &line, std::array<float, 3> &row, int most)
{
    int column = 0;
    for (const QString &field : (line + QLatin1Char(',')).split(QLatin1Char(','))) {
        if (field.isEmpty())
            continue;
        if (column >= 3)
            throw subscriptOutOfRange();
        row[column++] = vb::CSng(vb::Val(field));
        if (column == most)
            break;
    }
    return column;
}

} // namespace

void frmSecHeaterWizard::setPlotRow(int row, float x1, float y1, float x2, float y2)
{
    if (row < 1 || row > PlotRows)
        throw subscriptOutOfRange();
    PlotData[row - 1] = {x1, y1, x2, y2};
}

// The chart shows rows 1 to PlotPointCount: while recording ambient and secondary as
// markers, in the regression plot the measured markers and the model's line.
void frmSecHeaterWizard::showPlot(bool regression)
{
    QList<QPointF> first, second;
    double low = 0, high = 0;
    for (int r = 0; r < std::min(PlotPointCount, PlotRows); ++r) {
        const auto &row = PlotData[r];
        first << QPointF(row[0], row[1]);
        second << QPointF(row[2], row[3]);
        const double lo = std::min(row[1], row[3]), hi = std::max(row[1], row[3]);
        low = r == 0 ? lo : std::min(low, lo);
        high = r == 0 ? hi : std::max(high, hi);
    }
    m_first->replace(first);
    m_second->replace(regression ? QList<QPointF>() : second);
    m_model->replace(regression ? second : QList<QPointF>());
    m_second->setVisible(!regression);
    m_model->setVisible(regression);
    const double pad = std::max(0.5, (high - low) * 0.05);
    MSChart1->chart()->axes(Qt::Vertical).value(0)->setRange(low - pad, high + pad);
}

void frmSecHeaterWizard::Timer1_Timer()
{
    try {
        QueryTick = !QueryTick;
        const std::shared_ptr<Serial> link = Module().link.SharedSerial;
        // The points hold together only on the port, and its opening, of the first one.
        if (PlotRow > 0 && (!link || link != m_recording.link.lock() || link->Reports().Epoch() != m_recording.epoch)) {
            refuseRecording(QStringLiteral("The port changed during the recording."));
            return;
        }
        if (QueryTick) {
            // Asked here unless another sender's question is already on its way: a point
            // takes only what the controller reported since the last one.
            if (link && link->Connected() && link->Reports().Pending(u'T') == 0)
                link->Transmit(QStringLiteral(" T "));
            return;
        }
        if (!link)
            return;
        if (!takePoint(link)) {
            // Once the recording has begun, a point missing leaves a gap the fit cannot take.
            if (PlotRow > 0 && Timer1.Enabled() && !refusedDisturbed(link->Reports()))
                refuseGap(ElapsedTime + PointMinutes);
            return;
        }
        if (PlotRow == 2 * SampleTime) {
            Timer1.setEnabled(false);
            ++WizardStep;
            ShowWizardStep(WizardStep);
        }
    } catch (const std::exception &) {
    }
}

bool frmSecHeaterWizard::takePoint(const std::shared_ptr<Serial> &link)
{
    const ControllerReports &reports = link->Reports();
    // Each value reported since the last point, and the heater's after any command that
    // changed it; else no point (before the first point the recording waits for one).
    const auto fresh = [&](QStringView code) -> std::optional<Report> {
        if (!reports.ReportedSince(code, m_recording.mark) || !reports.Holds(code))
            return std::nullopt;
        return reports.Last(code)->report;
    };
    const auto ambientReport = fresh(u":t1"), secondaryReport = fresh(u":t3");
    const auto powerReport = fresh(u":ss"), modeReport = fresh(u":sm");
    if (!ambientReport || !secondaryReport || !powerReport || !modeReport || !modeReport->numeric)
        return false;
    const auto ambient = ReportValue::Temperature(*ambientReport), secondary = ReportValue::Temperature(*secondaryReport);
    const auto power = ReportValue::Power(*powerReport);
    if (!ambient || !secondary || !power || *ambient == 0 || *secondary == 0)
        return false;
    const int mode = vb::CInt(modeReport->v);
    const float time = ElapsedTime + PointMinutes;
    // The fit takes the rows as evenly spaced in time: a point later than the next half minute
    // after the first (the timer held up) leaves a gap.
    const int64_t now = Clock::Now();
    if (PlotRow > 0 && PointMinutes * (1 + std::llround(double(now - m_recording.firstAt) / PointIntervalMs)) > time) {
        refuseGap(time);
        return false;
    }
    // Before the challenge the heater stays as it was, off; from the challenge on, manual at 50 %.
    const std::optional<int> expectedMode = m_recording.challenged ? std::optional<int>(0) : m_recording.mode;
    if (expectedMode && mode != *expectedMode) {
        refuseRecording(QStringLiteral("The secondary heater mode changed during the recording."));
        return false;
    }
    const int step = m_recording.challenged ? 50 : 0;
    if (*power != step) {
        refuseRecording(PowerLeftText(float(*power), time, float(step), m_recording.challenged));
        return false;
    }
    if (PlotRow > 0 && refusedDisturbed(reports))
        return false;
    if (PlotRow == 0) {
        m_recording.link = link;
        m_recording.epoch = reports.Epoch();
        m_recording.firstAt = now;
    }
    m_recording.mode = mode;
    m_recording.mark = reports.LastSerial();

    ++PlotRow;
    ++PlotPointCount;
    ElapsedTime = time;
    setPlotRow(PlotRow, ElapsedTime, float(*ambient), ElapsedTime, float(*secondary));
    showPlot(false);
    ProgressBar1->setValue(int(vb::Int(100 * ElapsedTime / SampleTime)));
    auto &row = model.DataSet.at(PlotRow - 1);
    row[HeaterModel::Time] = ElapsedTime;
    row[HeaterModel::Power] = float(*power);
    model.PointCount = int16_t(PlotRow);
    if (ElapsedTime == 2.0f) {
        // The heat challenge; a recording without it is no challenge.
        const Serial::SendResult result = link->Transmit(QStringLiteral("s50 "));
        if (result != Serial::SendResult::Sent) {
            refuseRecording(QStringLiteral("The heat challenge \"s50 \" was not sent: %1.").arg(OperatorSend::Cause(result)));
            return false;
        }
        m_recording.challenged = true;
    }
    m_recording.heaterCommands = heaterCommands(reports); // the challenge's own command included
    return true;
}

QString frmSecHeaterWizard::PowerLeftText(float power, float minutes, float step, bool challenged)
{
    return (challenged ? QStringLiteral("The secondary heater power was %1 % at %2 minutes, not the heat challenge's %3 %.")
                       : QStringLiteral("The secondary heater power was %1 % at %2 minutes, not the %3 % it keeps before "
                                        "the heat challenge."))
        .arg(vb::CStr(power), vb::CStr(minutes), vb::CStr(step));
}

uint64_t frmSecHeaterWizard::heaterCommands(const ControllerReports &reports)
{
    return reports.Changes(u":ss") + reports.Changes(u":sm");
}

bool frmSecHeaterWizard::refusedDisturbed(const ControllerReports &reports)
{
    if (heaterCommands(reports) == m_recording.heaterCommands)
        return false;
    refuseRecording(QStringLiteral("A command changed the secondary heater power or mode during the recording."));
    return true;
}

void frmSecHeaterWizard::refuseGap(float minutes)
{
    refuseRecording(QStringLiteral("No point was taken at %1 minutes, and the fit needs a point every half minute.")
                        .arg(vb::CStr(minutes)));
}

void frmSecHeaterWizard::refuseRecording(const QString &why)
{
    Timer1.setEnabled(false);
    cmdNext->setEnabled(false);
    cmdBack->setEnabled(true);
    Label4->setText(QStringLiteral("Recording stopped"));
    // Posted: a tick may fall inside another step's wait.
    m_boxes->post(why + QStringLiteral("  This recording cannot be used: press Back to collect new data."),
                  vbconst::vbExclamation, Title);
}

int16_t frmSecHeaterWizard::LoadDataSet()
{
    const QString path = txtDataSet->text();
    if (!QFileInfo::exists(path)) {
        MsgBox(QStringLiteral("Unable to locate file."), vbconst::vbExclamation, Title);
        return 0;
    }
    const int16_t number = VbFiles::FreeFile();
    try {
        VbFiles::Open(number, path, VbFiles::Mode::Input);
        auto &rows = model.DataSet;
        const int columns = readFields(VbFiles::LineInput(number), rows[0], 3);
        // A header line, or a first point at time 0, is overwritten by the next line.
        int next = rows[0][HeaterModel::Time] == 0 ? 0 : 1;
        if (columns < 3) {
            VbFiles::Close(number);
            MsgBox(QStringLiteral("Error:  The data set does not have 3 columns."), vbconst::vbExclamation, Title);
            return 0;
        }
        while (!VbFiles::EndOfFile(number)) {
            const QString line = VbFiles::LineInput(number);
            if (line.trimmed().isEmpty())
                continue;
            if (next >= HeaterModel::Rows)
                throw subscriptOutOfRange();
            readFields(line, rows[next], 4);
            if (rows[next][HeaterModel::Temperature] != 0)
                ++next;
        }
        VbFiles::Close(number);
        return int16_t(next);
    } catch (const VbError &e) {
        VbFiles::Close(number);
        MsgBox(e.description(), vbconst::vbExclamation, Title);
        return 0;
    }
}

void frmSecHeaterWizard::cmdBrowse_Click()
{
    FileDialogRequest request;
    request.filter = QStringLiteral("Data File (*.txt)|*.txt|All files (*.*)|*.*");
    request.initialDir = DataFolder::path();
    const auto chosen = UserPrompts::current().openFile(request);
    if (!chosen)
        return;
    txtDataSet->setText(*chosen);
    optBegin[1]->setChecked(true);
    cmdNext->setEnabled(true);
}

void frmSecHeaterWizard::cmdSave_Click()
{
    if (model.PointCount == 0) {
        MsgBox(QStringLiteral("There is no data to save."), vbconst::vbExclamation, Title);
        return;
    }
    FileDialogRequest request;
    request.filter = QStringLiteral("Text file (*.txt)|*.txt|All files (*.*)|*.*");
    request.initialDir = DataFolder::path();
    request.confirmOverwrite = false; // the question below is the only one
    const auto chosen = UserPrompts::current().saveFile(request);
    if (!chosen)
        return;
    if (QFileInfo::exists(*chosen)
        && MsgBox(QStringLiteral("Replace existing file?"), vbconst::vbOKCancel | vbconst::vbQuestion, Title)
               == vbconst::vbCancel)
        return;
    // Written whole beside the old file: a save that fails leaves the old one as it was.
    QString text;
    for (int i = 0; i < model.PointCount; ++i) {
        const auto &row = model.DataSet[i];
        text += VbFiles::WriteRecordText({Variant(row[0]), Variant(row[1]), Variant(row[2])});
    }
    QString why;
    if (!WholeFile::write(*chosen, text.toLatin1(), &why))
        MsgBox(QStringLiteral("Unable to save %1: %2").arg(*chosen, why), vbconst::vbExclamation, Title);
}

void frmSecHeaterWizard::cmdUpload_Click()
{
    const std::shared_ptr<Serial> link = MainWindowLink();
    if (!LinkTakesValues(link.get()))
        return;
    // Every row that holds a number is checked before any goes out: the controller gets
    // the whole set or nothing, never a new gain with an old integral.
    std::vector<std::pair<const char *, QString>> commands; // row caption, command
    for (const CoefficientRow &row : CoefficientRows) {
        const QString text = (this->*row.labels)[1]->text();
        if (!vb::IsNumeric(text))
            continue;
        QString value = text.trimmed();
        if (row.scaled) {
            const std::optional<int16_t> hundredths = HeaterModel::Hundredths(text);
            if (!hundredths) {
                MsgBox(QStringLiteral("%1 %2 is beyond what the controller takes; nothing was uploaded.")
                           .arg(QLatin1String(row.caption), value),
                       vbconst::vbExclamation, Title);
                return;
            }
            value = QString::number(*hundredths);
        }
        commands.emplace_back(row.caption, QLatin1Char(row.command) + value + QLatin1Char(' '));
    }
    if (commands.empty()) // no claim for an empty "New" column
        return;
    // Each row must have left an open port before the next goes; the first that did not
    // is named, and nothing is claimed.
    for (const auto &[caption, command] : commands) {
        link->Transmit(command);
        if (!link->OutputDelivered()) {
            MsgBox(QStringLiteral("Upload stopped at %1: %2").arg(QLatin1String(caption), UndeliveredCause(*link)),
                   vbconst::vbExclamation, Title);
            return;
        }
    }
    MsgBox(QStringLiteral("Coefficients uploaded to VKM."), vbconst::vbInformation, Title);
}
