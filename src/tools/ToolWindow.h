#pragma once

#include <QPointer>
#include <QWidget>

// The one window of type W: created on first use, freed when it closes, so that the next
// use loads a fresh one. Without `create` null when none stands.
template <typename W>
W *ToolWindow(bool create)
{
    static QPointer<W> window;
    if (!window && create) {
        window = new W;
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    return window;
}

// Shows that window modeless, in front.
template <typename W>
void ShowToolWindow()
{
    W *window = ToolWindow<W>(true);
    window->show();
    window->raise();
}
