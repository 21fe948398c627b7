#pragma once

#include <QEvent>
#include <QWidget>
#include <functional>
#include <initializer_list>

// The control events that Qt has no signal for (MouseDown, MouseUp, KeyPress, LostFocus):
// `handler` runs for every event of one of `types` that `control` receives, before the
// control handles it. A handler that returns true swallows the event (a typed key that is
// dropped). The hook lives as long as the control.
void OnControlEvent(QWidget *control, std::initializer_list<QEvent::Type> types,
                    std::function<bool(QEvent *)> handler);

// The same without swallowing anything.
void OnControlEvent(QWidget *control, std::initializer_list<QEvent::Type> types, std::function<void()> handler);

// A lost focus as the operator causes it: not the window losing activation or a menu opening.
bool IsOperatorFocusLoss(const QEvent *event);

// The character of a typed key, or nothing for keys that type no character of their own
// (navigation, Tab, Enter, Escape, shortcuts with Ctrl). Backspace gives '\b'.
QChar TypedCharacter(const QEvent *event);
