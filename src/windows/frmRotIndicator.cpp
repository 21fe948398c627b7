#include "windows/frmRotIndicator.h"

#include "link/ModuleState.h"
#include "link/OperatorSend.h"
#include "link/RotatorSteps.h"
#include "link/Serial.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <cmath>

namespace {

// Colours 12 (the face) and 8 (arc and hands) of the 16-colour palette.
const QColor Colour12(255, 0, 0);
const QColor Colour8(128, 128, 128);
constexpr double Pi = 3.141592;
constexpr double Radius = 45;

} // namespace

frmRotIndicator::frmRotIndicator(QWidget *parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmRotIndicator"));
    Picture1 = new QWidget(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setMinimumSize(120, 120);
    Picture1->installEventFilter(this);
    Command1 = new QPushButton(QStringLiteral("Cancel"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Picture1);
    layout->addWidget(Command1);
    connect(Command1, &QPushButton::clicked, this, &frmRotIndicator::Command1_Click);
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(500);
    connect(&Timer1, &VbTimer::Tick, Picture1, qOverload<>(&QWidget::update));
}

void frmRotIndicator::showIndicator()
{
    if (!isVisible()) {
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            move(screen->geometry().width() / 2, y());
        Module().rotator.RotIndicatorShown = true;
        Timer1.setEnabled(true);
    }
    show();
}

void frmRotIndicator::Command1_Click()
{
    // The shared link itself: stopping the rotator must not need the main window. A stop that
    // did not leave says so; the dial closes either way.
    OperatorSend::Send(Module().link.SharedSerial.get(), QStringLiteral("q0 "));
    close();
}

void frmRotIndicator::closeEvent(QCloseEvent *event)
{
    Module().rotator.RotIndicatorShown = false;
    Timer1.setEnabled(false);
    event->accept();
}

double frmRotIndicator::dialAngle(int32_t steps)
{
    ReduceRotatorSteps(steps);
    const double s = steps < 0 ? double(steps) + RotatorStepsPerTurn : double(steps);
    return -(s / RotatorStepsPerTurn) * 2 * Pi;
}

frmRotIndicator::Arc frmRotIndicator::currentArc()
{
    const ModuleState::Rotator &r = Module().rotator;
    const double target = dialAngle(r.RotatorSetPosition);
    const double actual = dialAngle(r.RotatorPosition);
    if (r.RotatorDirection == -1)
        return {actual, target};
    return {target, actual};
}

bool frmRotIndicator::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Picture1 && event->type() == QEvent::Paint) {
        paintDial();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// User coordinates -50..50 on both axes, y up, origin at the centre.
void frmRotIndicator::paintDial()
{
    QPainter p(Picture1);
    p.setRenderHint(QPainter::Antialiasing);
    const double scale = std::min(Picture1->width(), Picture1->height()) / 100.0;
    p.translate(Picture1->width() / 2.0, Picture1->height() / 2.0);
    p.scale(scale, -scale);

    p.setPen(QPen(Colour12, 0));
    p.drawEllipse(QPointF(0, 0), Radius, Radius);

    p.setPen(QPen(Colour8, 0));
    const Arc arc = currentArc();
    const double from = std::fabs(arc.start);
    double span = std::fabs(arc.end) - from;
    if (span < 0)
        span += 2 * Pi;
    const QRectF box(-Radius, -Radius, 2 * Radius, 2 * Radius);
    // y is up here, so positive angles run counter-clockwise on screen.
    QPainterPath path;
    path.arcMoveTo(box, -from * 180 / Pi);
    path.arcTo(box, -from * 180 / Pi, -span * 180 / Pi);
    p.drawPath(path);
    // A negative angle also draws the radius to that end; zero draws none.
    for (double a : {arc.start, arc.end})
        if (a < 0)
            p.drawLine(QPointF(0, 0), QPointF(Radius * std::cos(-a), Radius * std::sin(-a)));
}
