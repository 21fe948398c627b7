#include "windows/ToolbarIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace {

constexpr int Size = 32;

QIcon drawn(const std::function<void(QPainter &)> &paint)
{
    QPixmap picture(Size, Size);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p);
    p.end();
    return QIcon(picture);
}

// A plug (prongs to the right) at x, and a socket facing it at x + gap.
void plugAndSocket(QPainter &p, qreal gap, QColor colour)
{
    const QPen outline(colour.darker(160), 1.5);
    p.setPen(outline);
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(4, 11, 9, 10), 2, 2);       // plug body
    p.drawRect(QRectF(13, 13, 4, 1.5));                  // prongs
    p.drawRect(QRectF(13, 17.5, 4, 1.5));
    p.drawLine(QPointF(1, 16), QPointF(4, 16));          // its cable
    p.drawRoundedRect(QRectF(13 + gap, 11, 9, 10), 2, 2); // socket body
    p.drawLine(QPointF(22 + gap, 16), QPointF(31, 16));
}

} // namespace

namespace ToolbarIcons {

QIcon connect()
{
    return QIcon::fromTheme(QStringLiteral("network-connect"),
                            drawn([](QPainter &p) { plugAndSocket(p, 4, QColor(60, 170, 60)); }));
}

QIcon disconnect()
{
    return QIcon::fromTheme(QStringLiteral("network-disconnect"), drawn([](QPainter &p) {
                                plugAndSocket(p, 8, QColor(210, 60, 50));
                                p.setPen(QPen(QColor(160, 30, 30), 2));
                                p.drawLine(QPointF(19, 7), QPointF(24, 25)); // the break
                            }));
}

QIcon console()
{
    return QIcon::fromTheme(QStringLiteral("utilities-terminal"), drawn([](QPainter &p) {
                                p.setPen(QPen(QColor(70, 70, 70), 1.5));
                                p.setBrush(QColor(40, 40, 40));
                                p.drawRoundedRect(QRectF(2, 5, 28, 22), 3, 3);
                                p.setBrush(QColor(150, 150, 150));
                                p.drawRect(QRectF(2, 5, 28, 4)); // its title bar
                                p.setPen(QPen(QColor(120, 230, 120), 2));
                                p.drawPolyline(QPolygonF({QPointF(7, 13), QPointF(11, 17), QPointF(7, 21)}));
                                p.drawLine(QPointF(13, 21), QPointF(20, 21));
                            }));
}

} // namespace ToolbarIcons
