#include "support/WindowLook.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The size a control's text needs, where it can be cut; empty for any other widget.
QSize needed(const QWidget *w)
{
    if (auto *l = qobject_cast<const QLabel *>(w); l && !l->text().isEmpty() && l->pixmap().isNull())
        return l->wordWrap() ? QSize(0, l->heightForWidth(l->width())) : l->sizeHint();
    if (auto *b = qobject_cast<const QAbstractButton *>(w); b && !b->text().isEmpty() && !qobject_cast<const QToolButton *>(b)) {
        const QSize hint = b->sizeHint();
        // A push button's hint is at least 80 px wide whatever its text.
        const int text = b->fontMetrics().horizontalAdvance(QString(b->text()).remove(QLatin1Char('&'))) + 8;
        return qobject_cast<const QPushButton *>(b) && hint.width() <= 80 ? QSize(std::min(hint.width(), text), hint.height()) : hint;
    }
    return {};
}

QStringList cutParts(QWidget *w)
{
    QStringList cut;
    if (auto *bar = qobject_cast<QTabBar *>(w)) {
        const int space = bar->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, bar);
        for (int i = 0; i < bar->count(); ++i)
            if (bar->fontMetrics().horizontalAdvance(QString(bar->tabText(i)).remove(QLatin1Char('&'))) + space > bar->tabRect(i).width() ||
                bar->tabRect(i).right() > bar->width())
                cut << QStringLiteral("tab ") + bar->tabText(i);
    }
    if (auto *h = qobject_cast<QHeaderView *>(w); h && h->model() && h->orientation() == Qt::Horizontal) {
        const int margin = 2 * h->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, h);
        for (int i = 0; i < h->count(); ++i) {
            const QString text = h->model()->headerData(i, Qt::Horizontal).toString();
            int need = h->fontMetrics().horizontalAdvance(text) + margin;
            for (int r = 0; r < h->model()->rowCount(); ++r) // the column's values too
                need = std::max(need, h->fontMetrics().horizontalAdvance(h->model()->index(r, i).data().toString()) + margin);
            if (need > h->sectionSize(i))
                cut << QStringLiteral("column ") + text;
        }
    }
    // A toolbar too narrow for its buttons folds them behind its extension arrow.
    if (w->objectName() == QLatin1String("qt_toolbar_ext_button"))
        cut << QStringLiteral("toolbar buttons folded away");
    const QSize need = needed(w);
    if (need.width() > w->width() || need.height() > w->height())
        cut << QStringLiteral("%1 needs %2x%3, has %4x%5").arg(w->property("text").toString()).arg(need.width())
                   .arg(need.height()).arg(w->width()).arg(w->height());
    for (QString &c : cut)
        c.prepend(w->objectName() + QLatin1Char(' '));
    return cut;
}

} // namespace

namespace Look {

QStringList shownCut(QWidget *window, const QString &name)
{
    window->show();
    QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QApplication::processEvents();
    const QString scale = qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1"));
    QDir().mkpath(QStringLiteral(VKM_SCREENSHOTS));
    window->grab().save(QStringLiteral(VKM_SCREENSHOTS "/%1@%2.png").arg(name, scale));
    QStringList cut;
    for (QWidget *w : window->findChildren<QWidget *>())
        if (w->isVisible())
            cut << cutParts(w);
    return cut;
}

std::vector<QSize> sizesOverPages(QWidget *window, const QString &name, const Pages &pages, QStringList &cut)
{
    std::vector<QSize> sizes;
    for (const auto &[page, select] : pages) {
        select();
        for (const QString &c : shownCut(window, name + QLatin1Char('-') + QLatin1String(page)))
            cut << QLatin1String(page) + QStringLiteral(": ") + c;
        sizes.push_back(window->size());
    }
    return sizes;
}

void expectWholeTexts(const std::vector<std::pair<const char *, std::function<QWidget *()>>> &windows)
{
    for (const auto &[name, make] : windows) {
        std::unique_ptr<QWidget> w(make());
        EXPECT_EQ(shownCut(w.get(), QString::fromLatin1(name)).join(QLatin1Char('\n')).toStdString(), "") << name;
    }
}

} // namespace Look
