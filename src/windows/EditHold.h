#pragma once

#include <QHash>
#include <QObject>
#include <functional>
#include <vector>

class QWidget;
class VbTimer;

// The edit hold of the operator windows: while the operator works a control, reports must
// not overwrite it. A press on a watched control (mouse, key or wheel) sets the control's
// flag and stops the release timer before the value changes; letting go restarts the
// timer, whose tick (the window's own handler) calls clearAll().
class EditHold : public QObject
{
    Q_OBJECT

public:
    EditHold(VbTimer &releaseTimer, QObject *parent = nullptr);

    // Watches `control` and its children. `flag` belongs to the window and outlives this.
    void watch(QWidget *control, bool &flag);
    // Adds a flag that no control sets here (the window's own handlers set it).
    void add(bool &flag);

    // A press that would change a watched control runs `allowed` first; when it answers
    // false (it has said why) the press is dropped, so the control keeps its value and no
    // flag is set. Keys that only move the focus always pass.
    void guardPresses(std::function<bool()> allowed);

    // True when any flag is set.
    bool any() const;
    void clearAll();

signals:
    void pressed(QWidget *control);
    void released(QWidget *control);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void restartTimer();

    VbTimer &m_timer;
    std::function<bool()> m_allowed;
    std::vector<bool *> m_flags;
    QHash<QObject *, QWidget *> m_controlOf;
    QHash<QWidget *, bool *> m_flagOf;
};
