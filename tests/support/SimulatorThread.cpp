#include "support/SimulatorThread.h"

SimulatorThread::SimulatorThread()
{
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    m_thread.start();
    QMetaObject::invokeMethod(m_context, [this] {
        m_simulator = new ControllerSimulator;
        m_path = m_simulator->devicePath();
    }, Qt::BlockingQueuedConnection);
}

SimulatorThread::~SimulatorThread()
{
    QMetaObject::invokeMethod(m_context, [this] {
        delete m_simulator;
        delete m_context;
    }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void SimulatorThread::run(const std::function<void(ControllerSimulator &)> &work)
{
    QMetaObject::invokeMethod(m_context, [&] { work(*m_simulator); }, Qt::BlockingQueuedConnection);
}

QString SimulatorThread::received()
{
    QString text;
    run([&](ControllerSimulator &sim) { text = sim.received(); });
    return text;
}
