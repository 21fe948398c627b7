#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// Message boxes for handlers that must not wait, above all a delivery of received text: a
// box opened there would hold back every later chunk for its window until the operator
// answers. Each posted box opens from the event loop once the running handler has returned,
// one after another in the order posted; boxes still pending when the owner goes are dropped.
class PostedBoxes : public QObject
{
public:
    explicit PostedBoxes(QObject *owner);
    ~PostedBoxes() override;

    // While any Hold stands, no posted box of any queue opens (a step whose own timing a
    // modal loop must not stretch): the boxes wait in order and open once the last Hold ends.
    class Hold
    {
    public:
        Hold();
        ~Hold();
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;
    };
    static bool Held();
    // The queue of boxes that belong to no window (the handlers' errors, the data log's
    // notices), owned by the application.
    static PostedBoxes &Application();

    // Queues the box MsgBox(prompt, buttons, title) would show; its answer is not wanted.
    void post(const QString &prompt, int buttons, const QString &title = QString());
    // The same, unless that very box is already waiting or up: a fault that repeats while
    // its box stands opens no other.
    void postOnce(const QString &prompt, int buttons, const QString &title = QString());

private:
    struct Box
    {
        QString prompt;
        int buttons;
        QString title;
        bool operator==(const Box &) const = default;
    };

    void schedule();
    void showPending();

    std::vector<Box> m_pending;
    std::optional<Box> m_up; // the box open now
    bool m_showing = false;
    bool m_scheduled = false;
};
