#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

// Input for widget tests: typed keys go through the widget's own key handling (and its
// event filters), buttons are clicked by name, and a modal window is reached once it is up.
namespace WidgetInput {

// Types `text` into `widget` key by key; "\b" is Backspace.
inline void type(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        const int key = c == QLatin1Char('\b') ? int(Qt::Key_Backspace) : int(c.toUpper().unicode());
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(widget, &release);
    }
}

inline void click(QWidget *window, const char *name)
{
    auto *button = window->findChild<QPushButton *>(QString::fromLatin1(name));
    ASSERT_NE(button, nullptr) << name;
    button->click();
}

// Runs `act` on the modal window once the event loop has shown it.
inline void whenModal(std::function<void(QWidget *)> act)
{
    QTimer::singleShot(0, [act] {
        QWidget *modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        act(modal);
    });
}

} // namespace WidgetInput
