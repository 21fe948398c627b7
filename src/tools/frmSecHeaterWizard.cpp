// The heater wizard's pages, its step driver and the navigation between the steps.
#include "tools/frmSecHeaterWizard.h"

#include "link/ControlWindowHooks.h"
#include "link/ModuleState.h"
#include "link/Serial.h"
#include "platform/Controls.h"
#include "platform/PostedBoxes.h"
#include "platform/RunningHandler.h"
#include "platform/UpDown.h"
#include "tools/ToolWindow.h"
#include "platform/UserPrompts.h"
#include "platform/Vb.h"

#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScatterSeries>
#include <QSpinBox>
#include <QValueAxis>
#include <QVBoxLayout>

namespace {

const QString Title = QStringLiteral("VKM");

const QString WelcomeText = QStringLiteral(
    "Welcome to the Secondary Heater Tuning Wizard.  This wizard will determine your telescope's secondary heater "
    "characteristics by recording the temperature rise in response to a heat challenge.  For best results, this test "
    "should be performed while the ambient temperature is relative stable (less than two degree change per hour).  "
    "It is also important for the secondary heater not to be used for at least one hour prior to this test.");

const QString ChoiceText = QStringLiteral(
    "Please select either 'Collect new data' to have the wizard automatically collect and analyze secondary heater "
    "profile data, or 'Analyze saved data' to analyze a previously saved data set.  If collecting new dat, choose the "
    "data collection sample time.  The sample time should be sufficient to allow the temperatue to begin to plateau "
    "in response to a change in heater power.  For 14.5 inch telescopes and smaller 60 minutes should be sufficient.  "
    "Larger aperature telescopes will require longer sampling times (max 120 minutes).");


// A wrapped label that a layout never makes smaller than the size at which its whole text
// shows. A plain wrapped label asks for one line only, so a page shown after the window
// took its size would cut the text.
class WholeTextLabel final : public QLabel
{
public:
    explicit WholeTextLabel(QWidget *parent) : QLabel(parent) { setWordWrap(true); }

    QSize minimumSizeHint() const override { return sizeHint(); }
};

QLabel *wrapped(QWidget *parent, const char *name)
{
    auto *label = NewControl<WholeTextLabel>(parent, name);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace

const std::array<frmSecHeaterWizard::CoefficientRow, 5> frmSecHeaterWizard::CoefficientRows = {{
    {"Proportionality", "lblKP", &frmSecHeaterWizard::lblKP, 'L', true},
    {"Derivative", "lblKD", &frmSecHeaterWizard::lblKD, '^', true},
    {"Derivative Time", "lblDerT", &frmSecHeaterWizard::lblDerT, '?', false},
    {"Integral", "lblKI", &frmSecHeaterWizard::lblKI, '#', true},
    {"Integral Limit", "lblIL", &frmSecHeaterWizard::lblIL, '~', false},
}};

frmSecHeaterWizard::frmSecHeaterWizard(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmSecHeaterWizard"));
    setWindowTitle(QStringLiteral("Secondary Heater Calibration Wizard"));
    buildLayout();
    Timer1.setObjectName(QStringLiteral("Timer1"));
    connect(&Timer1, &VbTimer::Tick, this, &frmSecHeaterWizard::Timer1_Timer);
    connect(cmdNext, &QPushButton::clicked, this, &frmSecHeaterWizard::cmdNext_Click);
    connect(cmdBack, &QPushButton::clicked, this, &frmSecHeaterWizard::cmdBack_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSecHeaterWizard::cmdCancel_Click);
    connect(cmdFinish, &QPushButton::clicked, this, &frmSecHeaterWizard::cmdFinish_Click);
    connect(cmdBrowse, &QPushButton::clicked, this, &frmSecHeaterWizard::cmdBrowse_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmSecHeaterWizard::cmdSave_Click);
    connect(cmdUpload, &QPushButton::clicked, this, &frmSecHeaterWizard::cmdUpload_Click);
    for (int i = 0; i < 2; ++i)
        connect(optBegin[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                optBegin_Click(i);
        });
    connect(udSampleTime, &QSpinBox::valueChanged, this, [this](int v) { lblSampleTime->setText(QString::number(v)); });
    m_boxes = new PostedBoxes(this);
    model.Progress = [this](int percent) {
        ProgressBar1->setValue(percent);
        ProgressBar1->repaint();
    };
    Form_Load();
}

frmSecHeaterWizard::~frmSecHeaterWizard()
{
    if (!m_unloaded)
        Form_Unload();
}

frmSecHeaterWizard *frmSecHeaterWizard::instance(bool create)
{
    return ToolWindow<frmSecHeaterWizard>(create);
}

void frmSecHeaterWizard::showWindow()
{
    ShowToolWindow<frmSecHeaterWizard>();
}

void frmSecHeaterWizard::buildLayout()
{
    for (int i = 0; i < 5; ++i) {
        conwiz[i] = new QWidget(this);
        conwiz[i]->setObjectName(QStringLiteral("conwiz_%1").arg(i));
    }
    Label1 = wrapped(conwiz[0], "Label1");
    (new QVBoxLayout(conwiz[0]))->addWidget(Label1);

    Label2 = wrapped(conwiz[1], "Label2");
    const char *options[] = {"Collect new data", "Analyze saved data"};
    for (int i = 0; i < 2; ++i) {
        optBegin[i] = new QRadioButton(QString::fromLatin1(options[i]), conwiz[1]);
        optBegin[i]->setObjectName(QStringLiteral("optBegin_%1").arg(i));
    }
    optBegin[0]->setChecked(true);
    udSampleTime = NewControl<UpDown>(conwiz[1], "udSampleTime");
    udSampleTime->setRange(1, 120);
    udSampleTime->setValue(60);
    lblSampleTime = NewControl<QLabel>(conwiz[1], "lblSampleTime", QStringLiteral("60"));
    txtDataSet = NewControl<QLineEdit>(conwiz[1], "txtDataSet");
    txtDataSet->setEnabled(false);
    cmdBrowse = NewControl<QPushButton>(conwiz[1], "cmdBrowse", QStringLiteral("Browse"));
    cmdBrowse->setEnabled(false);
    auto *choice = new QGridLayout(conwiz[1]);
    choice->addWidget(Label2, 0, 0, 1, 3);
    choice->addWidget(optBegin[0], 1, 0);
    choice->addWidget(new QLabel(QStringLiteral("Sample time (minutes)"), conwiz[1]), 1, 1);
    auto *sample = new QHBoxLayout;
    sample->addWidget(lblSampleTime);
    sample->addWidget(udSampleTime);
    choice->addLayout(sample, 1, 2);
    choice->addWidget(optBegin[1], 2, 0);
    choice->addWidget(txtDataSet, 2, 1);
    choice->addWidget(cmdBrowse, 2, 2);
    choice->setRowStretch(3, 1); // the room of the largest page below the choice

    auto *chart = new QChart;
    auto *x = new QValueAxis;
    x->setTitleText(QStringLiteral("Time"));
    auto *y = new QValueAxis;
    y->setTitleText(QStringLiteral("Temperature"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    m_first = new QScatterSeries;
    m_second = new QScatterSeries;
    m_model = new QLineSeries;
    const std::pair<QScatterSeries *, QColor> markers[] = {{m_first, QColor(255, 0, 0)}, {m_second, QColor(0, 255, 0)}};
    for (const auto &[series, colour] : markers) {
        series->setColor(colour);
        series->setBorderColor(colour);
        // Small enough that points thirty seconds apart stay apart over an hour's plot.
        series->setMarkerSize(3.5);
        series->setPen(Qt::NoPen);
    }
    m_model->setPen(QPen(QColor(0, 255, 0), 2));
    m_model->setVisible(false);
    // While recording the markers are ambient and secondary; in the regression plot the
    // first series is the measured temperature, drawn against the model.
    m_first->setName(QStringLiteral("Ambient"));
    m_second->setName(QStringLiteral("Secondary"));
    m_model->setName(QStringLiteral("Model"));
    connect(m_model, &QAbstractSeries::visibleChanged, this, [this] {
        m_first->setName(m_model->isVisible() ? QStringLiteral("Measured") : QStringLiteral("Ambient"));
    });
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(4, 4, 4, 4));
    // The model's line lies under the measured points.
    for (QXYSeries *series : {static_cast<QXYSeries *>(m_model), static_cast<QXYSeries *>(m_first),
                              static_cast<QXYSeries *>(m_second)}) {
        chart->addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
    }
    // Temperature ticks on round numbers: the range set from the data widens to the next ones.
    // The time axis keeps the maximum the steps give it.
    connect(y, &QValueAxis::rangeChanged, this, [y, widening = false]() mutable {
        if (widening)
            return;
        widening = true;
        y->applyNiceNumbers();
        widening = false;
    });
    MSChart1 = NewControl<QChartView>(conwiz[2], "MSChart1", chart);
    MSChart1->setMinimumSize(560, 300);
    lblFootnote = NewControl<QLabel>(conwiz[2], "lblFootnote");
    lblFootnote->setWordWrap(true);
    ProgressBar1 = NewControl<QProgressBar>(conwiz[2], "ProgressBar1");
    ProgressBar1->setRange(0, 100);
    Label4 = NewControl<QLabel>(conwiz[2], "Label4");
    auto *plot = new QVBoxLayout(conwiz[2]);
    plot->addWidget(MSChart1, 1);
    plot->addWidget(lblFootnote);
    plot->addWidget(ProgressBar1);
    plot->addWidget(Label4);

    Label3 = wrapped(conwiz[3], "Label3");
    Label3->setText(QStringLiteral("If you wish to save this data set to file press the 'Save' button."));
    cmdSave = NewControl<QPushButton>(conwiz[3], "cmdSave", QStringLiteral("Save"));
    auto *save = new QVBoxLayout(conwiz[3]);
    save->addWidget(Label3);
    save->addWidget(cmdSave, 0, Qt::AlignLeft);
    save->addStretch();

    buildResultsPage();
    SizeOfLargestPage(conwiz);

    cmdCancel = NewControl<QPushButton>(this, "cmdCancel", QStringLiteral("Cancel"));
    cmdBack = NewControl<QPushButton>(this, "cmdBack", QStringLiteral("Back"));
    cmdNext = NewControl<QPushButton>(this, "cmdNext", QStringLiteral("Next"));
    cmdFinish = NewControl<QPushButton>(this, "cmdFinish", QStringLiteral("Finish"));
    auto *column = new QVBoxLayout(this);
    for (QWidget *page : conwiz)
        column->addWidget(page, 1);
    column->addLayout(ButtonRow({cmdCancel, cmdBack, cmdNext, cmdFinish}));
}

QWidget *frmSecHeaterWizard::buildResultsPage()
{
    QWidget *page = conwiz[4];
    auto *grid = new QGridLayout(page);
    const std::pair<const char *, QLabel **> model[] = {
        {"Gain:", &lblGain}, {"Process Time:", &lblPT}, {"Dead Time:", &lblDT}, {"R-squared:", &lblR2}};
    const char *modelNames[] = {"lblGain", "lblPT", "lblDT", "lblR2"};
    int row = 0;
    for (const auto &[caption, label] : model) {
        *label = NewControl<QLabel>(page, modelNames[row]);
        grid->addWidget(new QLabel(QString::fromLatin1(caption), page), row, 0);
        grid->addWidget(*label, row, 1);
        ++row;
    }
    grid->addWidget(new QLabel(QStringLiteral("Current"), page), row, 1);
    grid->addWidget(new QLabel(QStringLiteral("New"), page), row, 2);
    ++row;
    for (const CoefficientRow &coefficient : CoefficientRows) {
        grid->addWidget(new QLabel(QString::fromLatin1(coefficient.caption) + QLatin1Char(':'), page), row, 0);
        std::array<QLabel *, 2> &labels = this->*coefficient.labels;
        for (int i = 0; i < 2; ++i) {
            labels[i] = new QLabel(page);
            labels[i]->setObjectName(QStringLiteral("%1_%2").arg(QString::fromLatin1(coefficient.name)).arg(i));
            grid->addWidget(labels[i], row, 1 + i);
        }
        ++row;
    }
    cmdUpload = NewControl<QPushButton>(page, "cmdUpload", QStringLiteral("Upload to VKM"));
    grid->addWidget(cmdUpload, row, 2);
    return page;
}

void frmSecHeaterWizard::Form_Load()
{
    Module().tools.HeaterWizardOpen = true;
    ControlWindows().HeaterWizard = &m_sink;
    WizardStep = 0;
    ShowWizardStep(0);
    PlotRow = 0;
    PlotPointCount = 0;
    PlotData = {};
    model.DataSet = {};
}

void frmSecHeaterWizard::closeEvent(QCloseEvent *event)
{
    if (!m_unloaded)
        Form_Unload();
    event->accept();
}

void frmSecHeaterWizard::Form_Unload()
{
    m_unloaded = true;
    Timer1.setEnabled(false);
    Module().tools.HeaterWizardOpen = false;
    if (ControlWindows().HeaterWizard == &m_sink)
        ControlWindows().HeaterWizard = nullptr;
}

bool frmSecHeaterWizard::analyseSaved() const
{
    return optBegin[1]->isChecked();
}

void frmSecHeaterWizard::ShowWizardStep(int step)
{
    try {
        drawStep(step);
        LastStep = int16_t(step);
    } catch (const std::exception &e) {
        const auto *vbError = dynamic_cast<const VbError *>(&e);
        MsgBox(vbError ? vbError->description() : QString::fromUtf8(e.what()), vbconst::vbExclamation, Title);
    }
}

void frmSecHeaterWizard::drawStep(int step)
{
    const int pages[] = {0, 1, 2, -1, -1, 4, 3};
    if (step < 0 || step > 6)
        return; // past the last page nothing is drawn
    if (pages[step] >= 0 || (step == 3 && analyseSaved())) {
        for (QWidget *page : conwiz)
            page->hide();
        conwiz[pages[step] >= 0 ? pages[step] : 2]->show();
    }
    switch (step) {
    case 0:
        Label1->setText(WelcomeText);
        cmdFinish->setEnabled(false);
        cmdBack->setEnabled(false);
        cmdCancel->setEnabled(true);
        break;
    case 1:
        Label2->setText(ChoiceText);
        PlotRow = 0;
        PlotPointCount = 0;
        ElapsedTime = 0;
        cmdBack->setEnabled(true);
        cmdNext->setEnabled(true);
        break;
    case 2:
        cmdBack->setEnabled(true);
        if (LastStep == 1)
            cmdNext->setEnabled(false);
        SampleTime = int16_t(udSampleTime->value());
        m_recording = Recording{};
        if (const auto &link = Module().link.SharedSerial)
            m_recording.mark = link->Reports().LastSerial(); // only what comes from now on
        MSChart1->chart()->axes(Qt::Horizontal).value(0)->setRange(0, SampleTime);
        Label4->setText(QStringLiteral("Collecting data..."));
        Timer1.setInterval(PointIntervalMs / 2);
        Timer1.setEnabled(true);
        break;
    case 3:
        analyse();
        break;
    case 4:
        regressionPlot();
        break;
    case 5:
        showResults();
        break;
    case 6:
        cmdFinish->setEnabled(true);
        break;
    }
}

void frmSecHeaterWizard::cmdNext_Click()
{
    if (WizardStep == 1 && analyseSaved()) {
        if (!QFileInfo::exists(txtDataSet->text())) {
            MsgBox(QStringLiteral("Unable to find data set file."), vbconst::vbExclamation, Title);
            return;
        }
        ++WizardStep; // no recording
    }
    ++WizardStep;
    ShowWizardStep(WizardStep);
}

void frmSecHeaterWizard::cmdBack_Click()
{
    if (WizardStep == 2) {
        // The recording holds still while the box is up: a last point taken inside it would
        // start the analysis under the answer.
        const RunningHandler running(this);
        const bool recording = Timer1.Enabled();
        Timer1.setEnabled(false);
        const bool erase = MsgBox(QStringLiteral("Warning:  Navigating back will erase all collected datapoints.  "
                                                 "Do you wish to continue?"),
                                  vbconst::vbOKCancel | vbconst::vbExclamation, Title)
                           != vbconst::vbCancel;
        if (m_unloaded)
            return;
        if (!erase) {
            Timer1.setEnabled(recording);
            return;
        }
    }
    if (WizardStep > 0)
        --WizardStep;
    if (WizardStep == 3)
        WizardStep = 2;
    ShowWizardStep(WizardStep);
}

void frmSecHeaterWizard::cmdCancel_Click()
{
    const RunningHandler running(this); // the question serves events: the window may close
    if (MsgBox(QStringLiteral("Quit wizard?"), vbconst::vbOKCancel | vbconst::vbQuestion, Title) != vbconst::vbCancel
        && !m_unloaded)
        close();
}

void frmSecHeaterWizard::cmdFinish_Click()
{
    close();
}

void frmSecHeaterWizard::optBegin_Click(int index)
{
    const bool saved = index == 1;
    txtDataSet->setEnabled(saved);
    cmdBrowse->setEnabled(saved);
    if (saved) {
        if (!txtDataSet->text().contains(QLatin1Char('.')))
            cmdNext->setEnabled(false);
    } else {
        cmdNext->setEnabled(true);
    }
}

void frmSecHeaterWizard::analyse()
{
    if (analyseSaved()) {
        model.PointCount = LoadDataSet();
        if (model.PointCount == 0) {
            MsgBox(QStringLiteral("Invalid data file."), vbconst::vbExclamation, Title);
            WizardStep -= 2;
            ShowWizardStep(WizardStep);
            return;
        }
    }
    cmdBack->setEnabled(false);
    Label4->setText(QStringLiteral("Analyzing data..."));
    ProgressBar1->setValue(0);
    if (!analyseSaved()) {
        for (int i = 0; i < model.PointCount; ++i)
            model.DataSet.at(i)[HeaterModel::Temperature] = PlotData.at(i)[3];
    }
    model.PrepareModelData();
    // A fit without a usable model (no heater step, a flat model, no integral limit) leaves
    // nothing to show or upload.
    m_coefficients.reset();
    std::optional<float> goodness;
    const std::optional<int> powerLeft = model.PowerLeftStep();
    if (!powerLeft && model.FitHeaterModel())
        goodness = model.GoodnessOfFit();
    if (goodness)
        m_coefficients = HeaterModel::Derive(model.Gain, model.TimeConstant, model.DeadTime);
    if (!m_coefficients) {
        // Only Cancel leads on from here.
        cmdNext->setEnabled(false);
        cmdBack->setEnabled(false);
        const auto &row = model.DataSet[powerLeft.value_or(0)];
        MsgBox(powerLeft ? PowerLeftText(row[HeaterModel::Power], row[HeaterModel::Time], model.HeaterStep)
                               + QStringLiteral("  This data set cannot be fitted.")
                         : QStringLiteral("Unable to converge on solution.  The data collected is suspect.  Please "
                                          "restart this wizard and collect new data."),
               vbconst::vbExclamation, Title);
        return;
    }
    model.FitGoodness = *goodness;
    WizardStep = 4;
    ShowWizardStep(4);
}

void frmSecHeaterWizard::regressionPlot()
{
    for (int i = 1; i <= model.PointCount; ++i) {
        const auto &row = model.DataSet.at(i - 1);
        const float t = row[HeaterModel::Time];
        setPlotRow(i, t, row[HeaterModel::Temperature], t, model.ModelValue(t));
    }
    Label4->setText(QStringLiteral("Analysis complete"));
    ProgressBar1->setValue(0);
    PlotPointCount = model.PointCount;
    MSChart1->chart()->axes(Qt::Horizontal).value(0)->setRange(0, model.PointCount / 2.0);
    MSChart1->chart()->setTitle(QStringLiteral("Secondary Heater Calibration Regression Plot"));
    lblFootnote->setText(QStringLiteral("Gain = ") + vb::Format(model.Gain, QStringLiteral("0.0000"))
                         + QStringLiteral(", Time Constant = ") + vb::Format(model.TimeConstant, QStringLiteral("0.00"))
                         + QStringLiteral(", Dead Time = ") + vb::Format(model.DeadTime, QStringLiteral("0.00"))
                         + QStringLiteral(", Goodness of Fit = ") + vb::Format(model.FitGoodness, QStringLiteral("0.0000")));
    showPlot(true);
    cmdNext->setEnabled(true);
}

void frmSecHeaterWizard::showResults()
{
    if (const auto &link = Module().link.SharedSerial)
        link->Transmit(QStringLiteral("l "));
    lblGain->setText(vb::Format(model.Gain, QStringLiteral("0.0000")));
    lblPT->setText(vb::Format(model.TimeConstant, QStringLiteral("0.00")));
    lblDT->setText(vb::Format(model.DeadTime, QStringLiteral("0.00")));
    lblR2->setText(vb::Format(model.FitGoodness, QStringLiteral("0.0000")));
    if (m_coefficients) {
        lblKP[1]->setText(m_coefficients->proportional);
        lblKI[1]->setText(m_coefficients->integral);
        lblKD[1]->setText(m_coefficients->derivative);
        lblDerT[1]->setText(m_coefficients->derivativeTime);
        lblIL[1]->setText(m_coefficients->integralLimit);
    }
    cmdBack->setEnabled(false);
}
