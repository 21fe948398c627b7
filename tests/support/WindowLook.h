#pragma once

#include <QWidget>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>
#include <vector>

// What a new user sees of a window: texts cut short by their controls, the window's size as
// its pages change, and a picture of it for a reviewer.
namespace Look {

// Every shown label, button, group title, tab and header section of `window` (and of the
// windows it holds) whose text is elided or wider or taller than its control, one line each.
QStringList cutTexts(QWidget *window);

// The window laid out and painted offscreen; its picture goes to
// <build>/screenshots/<name>@<scale>.png (scale as QT_SCALE_FACTOR gives it, "1" when unset).
void show(QWidget *window);
void screenshot(QWidget *window, const QString &name);

// Shows each page in turn (`pages` select it) and returns the window's size on each, the
// cut texts found on each appended to `cut` with the page's name.
std::vector<QSize> sizesOverPages(QWidget *window, const QString &name,
                                  const std::vector<std::pair<QString, std::function<void()>>> &pages,
                                  QStringList &cut);

// Each window made in turn, shown, pictured under its name and checked for cut texts (a test
// failure each); `check` may then look at it further.
using Maker = std::pair<const char *, std::function<QWidget *()>>;
void expectWholeTexts(const std::vector<Maker> &windows, const std::function<void(const char *, QWidget *)> &check = {});

} // namespace Look
