#pragma once

#include <QPointer>

class QObject;

// Marks a window's handler as running for its lifetime. A handler that serves events (a
// wait, a box) can see its own window close meanwhile; the window's deletion is then held
// back and done once the outermost running handler of that window has returned. The handler
// itself checks after every wait whether its window is closing and stops if so.
class RunningHandler
{
public:
    explicit RunningHandler(QObject *window);
    ~RunningHandler();
    RunningHandler(const RunningHandler &) = delete;
    RunningHandler &operator=(const RunningHandler &) = delete;

private:
    class Keeper;
    class Deleter;
    QPointer<Keeper> m_keeper;
};
