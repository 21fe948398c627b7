#include "platform/UpDown.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <gtest/gtest.h>

TEST(UpDown, EachArrowPressStepsItsPartnersOwnValueByOneAndShowsNoNumber)
{
    QLineEdit box(QStringLiteral("30"));
    UpDown arrows;
    arrows.setRange(1, 3600);
    arrows.setValue(30);
    arrows.setBuddy(&box);
    int changes = 0;
    QObject::connect(&arrows, &QSpinBox::valueChanged, [&](int v) { box.setText(QString::number(v)), ++changes; });
    arrows.show();
    const auto press = [&arrows](Qt::Key key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&arrows, &event);
    };
    // A typed value is stepped from; one beyond the range from its end; text that is no number is left.
    const std::tuple<const char *, Qt::Key, const char *> steps[] = {{"45", Qt::Key_Up, "46"}, {"46", Qt::Key_Down, "45"},
        {"45", Qt::Key_PageUp, "55"}, {"2.6", Qt::Key_Up, "4"}, {"9000", Qt::Key_Down, "3599"}, {"abc", Qt::Key_Up, "3600"}};
    for (const auto &[typed, key, shown] : steps) {
        box.setText(QLatin1String(typed));
        press(key);
        EXPECT_EQ(box.text(), QLatin1String(shown)) << typed;
    }
    press(Qt::Key_Return);
    EXPECT_EQ(arrows.value(), 3600);
    EXPECT_EQ(arrows.findChild<QLineEdit *>()->text(), QString());
    EXPECT_LE(arrows.width(), arrows.fontMetrics().horizontalAdvance(QStringLiteral("0000")));
    changes = 0;
    arrows.setValue(5); // from code, once, as the Change event ran
    arrows.setValue(5);
    EXPECT_EQ(changes, 1);
}
