#include "MainWindowFixture.h"

#include <QLabel>
#include <QWindow>
#include <QStatusBar>

namespace {

// Counts layout requests anywhere in the window and paints of everything but the readouts.
class RepaintWatch : public QObject
{
public:
    explicit RepaintWatch(QWidget *window, const QList<QWidget *> &readouts) : m_readouts(readouts)
    {
        window->installEventFilter(this);
        for (QWidget *w : window->findChildren<QWidget *>())
            w->installEventFilter(this);
    }

    int layoutRequests = 0;
    QStringList otherPaints;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::LayoutRequest)
            ++layoutRequests;
        else if (event->type() == QEvent::Paint && !m_readouts.contains(qobject_cast<QWidget *>(watched)))
            otherPaints << watched->objectName() + QLatin1Char('/') + QString::fromLatin1(watched->metaObject()->className());
        return false;
    }

private:
    QList<QWidget *> m_readouts;
};

} // namespace

using ReadoutRepaint = MainWindowFixture;

TEST_F(ReadoutRepaint, ChangedReadoutsRepaintOnlyThemselves)
{
    frmMain *form = openQuiet();
    ASSERT_TRUE(Wait::Until(2000, [&] { return form->windowHandle() && form->windowHandle()->isExposed(); }));
    const QList<QWidget *> readouts{form->lblSet, form->lblActual, form->lblMotorCurrent, form->StatusPanel[0],
                                    form->StatusPanel[1]};
    for (QWidget *w : readouts)
        EXPECT_EQ(w->minimumSize(), w->maximumSize()) << w->objectName().toStdString();

    form->Handle_Received(QStringLiteral(":s 1 :a 1 :mc 1000 :t7 6000 :tca 1 "));
    Wait::For(50);
    RepaintWatch watch(form, readouts);
    // New values, then the same ones again: the second round changes nothing on screen.
    for (const char *chunk : {":s 123456 :a 123456 :mc 2000 :t7 -1234 :tca 900 ", ":s 123456 :a 123456 :mc 2000 :t7 -1234 "}) {
        form->Handle_Received(QString::fromLatin1(chunk));
        Wait::For(50);
    }
    EXPECT_EQ(watch.layoutRequests, 0);
    EXPECT_EQ(watch.otherPaints, QStringList());
    EXPECT_EQ(form->lblActual->text(), QStringLiteral("123456"));
}
