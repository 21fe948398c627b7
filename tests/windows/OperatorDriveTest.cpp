// An operator at random: from the main window a client opened, presses, types, chooses,
// steps, switches and closes whatever is there, answers every box at random, while the
// client polls Position. The program must come through every seed and still serve the
// client afterwards. VKM_FUZZ_ITERATIONS sets the number of steps per seed, VKM_FUZZ_SEED
// replays one seed.
#include "drivers/Focuser.h"
#include "drivers/FormLauncher.h"
#include "platform/ClockTimer.h"
#include "platform/DataFolder.h"
#include "platform/Wait.h"
#include "support/ControllerBench.h"
#include "support/OperatorInput.h"
#include "support/RecordingPrompts.h"
#include "support/WidgetInput.h"
#include "windows/Forms.h"
#include "windows/frmConsole.h"
#include "windows/frmMain.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QScopedValueRollback>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <random>

namespace {

int envNumber(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

template <typename T>
QList<T *> usable(QWidget *window)
{
    QList<T *> found;
    for (T *w : window->findChildren<T *>())
        if (w->isVisibleTo(window) && w->isEnabled() && w->window() == window)
            found << w;
    return found;
}

// The actions an operator can reach in a window: its menus' items and its toolbar keys.
QList<QAction *> reachableActions(QWidget *window)
{
    QList<QAction *> found;
    for (QMenu *menu : window->findChildren<QMenu *>())
        for (QAction *a : menu->actions())
            if (a->isEnabled() && a->isVisible() && !a->isSeparator() && !a->menu())
                found << a;
    for (QToolBar *bar : window->findChildren<QToolBar *>())
        for (QAction *a : bar->actions())
            if (a->isEnabled() && a->isVisible() && !a->isSeparator())
                found << a;
    return found;
}

} // namespace

class OperatorDriveTest : public ControllerBench, public ::testing::WithParamInterface<unsigned>
{
protected:
    RecordingPrompts prompts;
    TestClock clock;
    std::mt19937 random;
    int stepsLeft = 0;
    int depth = 0;

    void SetUp() override
    {
        ControllerBench::SetUp();
        DriverForms().ShowConsole = ShowConsoleForm;
        DriverForms().ShowMainWindow = ShowMainForm;
        prompts.answer = [this](const MessageBoxRequest &box) { return answer(box); };
    }

    void TearDown() override
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible())
                w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        DriverForms() = FormLauncher();
        ControllerBench::TearDown();
    }

    // VKM_DRIVE_TRACE=1 prints each step, to see where a seed goes wrong.
    static void trace(const char *what, const QObject *on)
    {
        static const bool enabled = qEnvironmentVariableIsSet("VKM_DRIVE_TRACE");
        if (enabled && on)
            fprintf(stderr, "drive: %s %s '%s'\n", what, on->metaObject()->className(), qPrintable(on->objectName()));
    }

    int pick(int n) { return n <= 1 ? 0 : std::uniform_int_distribution<int>(0, n - 1)(random); }

    int answer(const MessageBoxRequest &box)
    {
        using namespace vbconst;
        static const QList<int> sets[] = {{vbOK}, {vbOK, vbCancel}, {vbAbort, vbRetry, vbIgnore},
                                          {vbYes, vbNo, vbCancel}, {vbYes, vbNo}, {vbRetry, vbCancel}};
        const QList<int> &choices = sets[qBound(0, box.buttonSet(), 5)];
        // A retry answered for ever would never let a step end.
        const int choice = choices[pick(choices.size())];
        return choice == vbRetry && pick(3) ? vbCancel : choice;
    }

    QString randomText()
    {
        static const QStringList texts = {QStringLiteral("0"), QStringLiteral("5"), QStringLiteral("250"),
                                          QStringLiteral("99999999999"), QStringLiteral("-1"),
                                          QStringLiteral("1e10"), QStringLiteral("abc"), QString(),
                                          QStringLiteral("12.5"), QStringLiteral("0.25x")};
        return texts[pick(texts.size())];
    }

    // The window an operator can act on now: a modal one if up, else any shown window.
    QWidget *targetWindow()
    {
        if (QWidget *modal = QApplication::activeModalWidget())
            return modal;
        QList<QWidget *> shown;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible() && !qobject_cast<QMenu *>(w))
                shown << w;
        return shown.isEmpty() ? nullptr : shown[pick(shown.size())];
    }

    void step(Focuser &client)
    {
        prompts.chosenFile = pick(3) ? std::nullopt
                                     : std::optional<QString>(DataFolder::file(QStringLiteral("drive%1.dat").arg(pick(3))));
        QPointer<QWidget> window = targetWindow();
        if (!window || pick(40) == 0) {
            if (!MainForm(false) && !ConsoleForm(false))
                client.Call(QStringLiteral("ShowForm"), {Variant(int16_t(2))});
            return;
        }
        // Deep inside nested dialogs the operator mostly closes what is in front.
        const int kind = depth > 2 && pick(2) ? 0 : pick(100);
        trace("window", window);
        if (kind < 4) {
            trace("close", window);
            window->close();
        } else if (kind < 40) {
            const auto buttons = usable<QAbstractButton>(window);
            if (!buttons.isEmpty()) {
                QPointer<QAbstractButton> b = buttons[pick(buttons.size())];
                trace("click", b);
                OperatorInput::click(b);
            }
        } else if (kind < 52) {
            const auto actions = reachableActions(window);
            if (!actions.isEmpty()) {
                QAction *a = actions[pick(actions.size())];
                trace(qPrintable(QStringLiteral("trigger ") + a->text()), a);
                a->trigger();
            }
        } else if (kind < 62) {
            const auto lists = usable<QComboBox>(window);
            if (!lists.isEmpty() && lists.first()) {
                QPointer<QComboBox> list = lists[pick(lists.size())];
                trace("choose", list);
                if (list->count() > 0)
                    OperatorInput::choose(list, pick(list->count()));
            }
        } else if (kind < 78) {
            QList<QWidget *> boxes;
            for (QLineEdit *e : usable<QLineEdit>(window))
                boxes << e;
            for (QAbstractSpinBox *s : usable<QAbstractSpinBox>(window))
                boxes << s;
            if (!boxes.isEmpty()) {
                QPointer<QWidget> box = boxes[pick(boxes.size())];
                trace("type", box);
                box->setFocus();
                for (int i = 0; i < 12 && box; ++i)
                    WidgetInput::type(box, QStringLiteral("\b"));
                if (box)
                    WidgetInput::type(box, randomText());
                if (box && pick(3) == 0)
                    OperatorInput::key(box, Qt::Key_Return);
            }
        } else if (kind < 88) {
            const auto spinners = usable<QAbstractSpinBox>(window);
            if (!spinners.isEmpty()) {
                QAbstractSpinBox *spinner = spinners[pick(spinners.size())];
                trace("step", spinner);
                OperatorInput::key(spinner, pick(2) ? Qt::Key_Up : Qt::Key_Down);
            }
        } else if (kind < 96) {
            const auto tabs = usable<QTabWidget>(window);
            if (!tabs.isEmpty() && tabs.first()->count() > 0) {
                QTabWidget *tab = tabs[pick(tabs.size())];
                trace("tab", tab);
                tab->setCurrentIndex(pick(tab->count()));
            }
        } else {
            Wait::For(pick(600));
        }
    }

    // Drives one seed; each step runs from a timer so that steps go on inside the modal
    // dialogs and boxes that earlier steps opened.
    void drive(unsigned seed, int steps)
    {
        random.seed(seed);
        Focuser client;
        client.Let(QStringLiteral("Link"), Variant(true));
        client.Call(QStringLiteral("ShowForm"), {Variant(int16_t(2))});

        ClockTimer poll;
        bool polling = false;
        QObject::connect(&poll, &ClockTimer::timeout, [&client, &polling] {
            // One read at a time, as a client on the bus makes them.
            if (polling)
                return;
            const QScopedValueRollback busy(polling, true);
            try {
                (void)client.Get(QStringLiteral("Position"));
            } catch (const VbError &) {
                // A refusal (not linked, no answer) is an answer.
            }
        });
        poll.start(250);

        // A timer does not fire again while its own tick runs, so each step arms the next
        // one before it acts: the following steps then run inside whatever it opened.
        stepsLeft = steps;
        // Bounded in real time: a seed that takes long is cut short, not failed.
        QElapsedTimer real;
        real.start();
        QObject context;
        std::function<void()> tick;
        tick = [&] {
            QTimer::singleShot(2, &context, tick);
            if (real.elapsed() > 20000)
                stepsLeft = 0;
            // A hand is not quicker than the steps it started: steps nest inside waits and
            // dialogs a few deep, not without bound. Winding down, or that deep, what is in
            // front closes, so the steps below it can return.
            if (stepsLeft <= 0 || depth >= 4) {
                if (QWidget *modal = QApplication::activeModalWidget())
                    modal->close();
                return;
            }
            --stepsLeft;
            ++depth;
            step(client);
            --depth;
        };
        QTimer::singleShot(2, &context, tick);
        // Served here rather than in a program wait, which the test clock would skip to its
        // end.
        while (stepsLeft > 0 || depth > 0) {
            ASSERT_LT(real.elapsed(), 60000) << "a step never returned, seed " << seed;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        poll.stop();

        // The server still answers its client afterwards.
        // The operator may have moved the link to a port with no controller: back to it.
        if (!Module().link.SharedSerial || !Module().link.SharedSerial->Connected()) {
            Module().link.PortNumber = 1;
            client.Let(QStringLiteral("Link"), Variant(true));
        }
        EXPECT_NO_THROW((void)client.Get(QStringLiteral("Position"))) << "seed " << seed;
    }
};

// Each seed is a test of its own; VKM_FUZZ_SEED replaces the first with the one to replay.
TEST_P(OperatorDriveTest, SurvivesAnOperatorAtRandom)
{
    const unsigned seed = GetParam() == 1 ? unsigned(envNumber("VKM_FUZZ_SEED", 1)) : GetParam();
    SCOPED_TRACE(testing::Message() << "replay with VKM_FUZZ_SEED=" << seed);
    drive(seed, envNumber("VKM_FUZZ_ITERATIONS", 300));
}

INSTANTIATE_TEST_SUITE_P(Seeds, OperatorDriveTest, ::testing::Values(1u, 2u, 3u, 4u));
