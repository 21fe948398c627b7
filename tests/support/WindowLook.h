#pragma once

#include <QSize>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <utility>
#include <vector>

// What a new user sees of a window, checked offscreen at the scale QT_SCALE_FACTOR gives.
namespace Look {

// Shows the window laid out and saves its picture as <build>/screenshots/<name>@<scale>.png;
// returns each shown label, button, tab or header section whose text its control cuts short.
QStringList shownCut(QWidget *window, const QString &name);

// The window's size on each page (a name and what selects it); cut texts go to `cut`.
using Pages = std::vector<std::pair<const char *, std::function<void()>>>;
std::vector<QSize> sizesOverPages(QWidget *window, const QString &name, const Pages &pages, QStringList &cut);

// Windows made, checked and closed in turn; a test failure for each cut text.
void expectWholeTexts(const std::vector<std::pair<const char *, std::function<QWidget *()>>> &windows);

} // namespace Look
