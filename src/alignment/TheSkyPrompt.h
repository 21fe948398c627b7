#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;
class QVBoxLayout;

// The frame of the small questions asked while the rotator follows the sky: a window above
// all others, an optional text and a column of buttons, each of which stores its answer
// and closes the window (the window's click handlers). Closing by the title bar stores
// nothing: each prompt's ask() presets the answer that changes nothing.
class TheSkyPrompt : public QDialog
{
    Q_OBJECT

protected:
    TheSkyPrompt(const char *name, const QString &caption, QWidget *parent);

    // The prompt's text, `Label1`.
    QLabel *addText(const QString &text);
    // A button under the others; `click` is its click handler.
    QPushButton *addChoice(const char *name, const QString &caption, std::function<void()> click);

    // A button's work: stores `choice` and closes the window.
    template <typename T> void store(T &answer, T choice)
    {
        answer = choice;
        accept();
    }

    // Presets `answer` to `unanswered`, shows a fresh Window modally and returns the answer.
    template <typename Window, typename T> static T askFor(T &answer, T unanswered, QWidget *parent)
    {
        answer = unanswered;
        Window window(parent);
        window.exec();
        return answer;
    }

private:
    QVBoxLayout *m_layout;
};
