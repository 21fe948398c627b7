#include "platform/UpDown.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <gtest/gtest.h>

namespace {

void key(QWidget *w, Qt::Key k)
{
    QWidget *target = w->focusProxy() ? w->focusProxy() : w;
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, k, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

void clickArrow(UpDown *spin, QStyle::SubControl arrow)
{
    QStyleOptionSpinBox opt;
    opt.initFrom(spin);
    opt.rect = spin->rect();
    opt.subControls = QStyle::SC_All;
    opt.stepEnabled = QAbstractSpinBox::StepUpEnabled | QAbstractSpinBox::StepDownEnabled;
    opt.buttonSymbols = spin->buttonSymbols();
    const QPointF at = spin->style()->subControlRect(QStyle::CC_SpinBox, &opt, arrow, spin).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, spin->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(spin, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, spin->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(spin, &release);
}

struct Pair
{
    QWidget window;
    QLineEdit *box = new QLineEdit(QStringLiteral("30"));
    UpDown *spin = new UpDown;
    Pair()
    {
        auto *row = new QHBoxLayout(&window);
        row->addWidget(box);
        row->addWidget(spin);
        spin->setRange(1, 3600);
        spin->setValue(30);
        spin->setBuddy(box);
        QObject::connect(spin, &QSpinBox::valueChanged, box, [this](int v) { box->setText(QString::number(v)); });
        window.show();
    }
};

} // namespace

TEST(UpDown, EachArrowPressStepsThePartnersOwnValueByOne)
{
    Pair p;
    p.box->setText(QStringLiteral("45"));
    key(p.spin, Qt::Key_Up);
    EXPECT_EQ(p.box->text(), QStringLiteral("46"));
    key(p.spin, Qt::Key_Down);
    key(p.spin, Qt::Key_Down);
    EXPECT_EQ(p.box->text(), QStringLiteral("44"));
    clickArrow(p.spin, QStyle::SC_SpinBoxUp);
    EXPECT_EQ(p.box->text(), QStringLiteral("45"));
    clickArrow(p.spin, QStyle::SC_SpinBoxDown);
    EXPECT_EQ(p.box->text(), QStringLiteral("44"));
    // A typed value beyond the range is stepped from its end; text that is no number is left.
    p.box->setText(QStringLiteral("9000"));
    key(p.spin, Qt::Key_Down);
    EXPECT_EQ(p.box->text(), QStringLiteral("3599"));
    p.box->setText(QStringLiteral("abc"));
    key(p.spin, Qt::Key_Up);
    EXPECT_EQ(p.box->text(), QStringLiteral("3600"));
}

TEST(UpDown, ShowsNoNumberAndStaysNarrow)
{
    Pair p;
    key(p.spin, Qt::Key_Up);
    key(p.spin, Qt::Key_Return);
    EXPECT_EQ(p.spin->value(), 31);
    EXPECT_TRUE(p.spin->findChild<QLineEdit *>()->text().isEmpty());
    EXPECT_EQ(p.spin->text(), QString());
    EXPECT_LE(p.spin->width(), p.spin->fontMetrics().horizontalAdvance(QStringLiteral("0000")));
    p.spin->clearFocus();
    EXPECT_EQ(p.spin->value(), 31);
}

TEST(UpDown, AValueSetFromCodeRunsTheChangeHandlerOnce)
{
    UpDown spin;
    spin.setRange(-100, 100);
    QLabel shown;
    int changes = 0;
    QObject::connect(&spin, &QSpinBox::valueChanged, &shown, [&](int v) {
        ++changes;
        shown.setText(QString::number(v / 10.0));
    });
    spin.setValue(5);
    spin.setValue(5);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(shown.text(), QStringLiteral("0.5"));
    spin.setSingleStep(5);
    key(&spin, Qt::Key_Up);
    EXPECT_EQ(spin.value(), 10);
    EXPECT_EQ(shown.text(), QStringLiteral("1"));
}
