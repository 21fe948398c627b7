#include "support/WindowLook.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabBar>
#include <QTableWidget>
#include <QTextDocument>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>
#include <algorithm>

namespace {

QString where(const QWidget *w)
{
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName();
}

// The room a label gives its text: the contents less the frame, margin and indent.
QStringList labelCut(const QLabel *l)
{
    if (l->text().isEmpty() || !l->pixmap().isNull() || l->textFormat() == Qt::RichText)
        return {};
    const QRect room = l->contentsRect().adjusted(l->margin(), l->margin(), -l->margin(), -l->margin());
    const QFontMetrics fm = l->fontMetrics();
    if (l->wordWrap()) {
        const QRect needed = fm.boundingRect(room, Qt::TextWordWrap | int(l->alignment()), l->text());
        if (needed.height() > room.height() + 1)
            return {QStringLiteral("%1 \"%2\": wrapped text %3 px high in %4").arg(where(l), l->text().left(40)).arg(needed.height()).arg(room.height())};
        return {};
    }
    QStringList cut;
    for (const QString &line : l->text().split(QLatin1Char('\n'))) {
        const int need = fm.horizontalAdvance(line);
        if (need > room.width())
            cut << QStringLiteral("%1 \"%2\": %3 px wide in %4").arg(where(l), line).arg(need).arg(room.width());
    }
    const int lines = int(l->text().count(QLatin1Char('\n'))) + 1;
    if (fm.height() * lines > room.height() + 1)
        cut << QStringLiteral("%1 \"%2\": %3 px high in %4").arg(where(l), l->text()).arg(fm.height() * lines).arg(room.height());
    return cut;
}

QStringList buttonCut(const QAbstractButton *b)
{
    if (b->text().isEmpty() || qobject_cast<const QToolButton *>(b))
        return {};
    const QSize hint = b->sizeHint();
    int need = hint.width();
    // A push button's hint is at least 80 px wide whatever its text; below that, its text
    // with a little room is what it needs.
    if (qobject_cast<const QPushButton *>(b) && need <= 80)
        need = std::min(need, b->fontMetrics().horizontalAdvance(QString(b->text()).remove(QLatin1Char('&'))) + 8);
    if (need > b->width() || b->fontMetrics().height() > b->height())
        return {QStringLiteral("%1 \"%2\": needs %3x%4, has %5x%6").arg(where(b), b->text()).arg(need).arg(hint.height()).arg(b->width()).arg(b->height())};
    return {};
}

QStringList groupCut(const QGroupBox *g)
{
    if (g->title().isEmpty())
        return {};
    const int need = g->fontMetrics().horizontalAdvance(g->title()) + (g->isCheckable() ? 20 : 0) + 8;
    if (need > g->width())
        return {QStringLiteral("%1 \"%2\": %3 px wide in %4").arg(where(g), g->title()).arg(need).arg(g->width())};
    return {};
}

QStringList tabCut(const QTabBar *bar)
{
    QStringList cut;
    const int space = bar->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, bar);
    for (int i = 0; i < bar->count(); ++i) {
        const QRect r = bar->tabRect(i);
        const int need = bar->fontMetrics().horizontalAdvance(bar->tabText(i)) + space;
        if (need > r.width() || r.right() >= bar->width() + 1)
            cut << QStringLiteral("%1 tab \"%2\": %3 px wide in %4 (bar %5)").arg(where(bar), bar->tabText(i)).arg(need).arg(r.width()).arg(bar->width());
    }
    return cut;
}

QStringList headerCut(const QHeaderView *h)
{
    QStringList cut;
    if (!h->model() || h->isHidden())
        return cut;
    QFont bold = h->font();
    const QFontMetrics fm(bold);
    const int margin = 2 * h->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, h);
    for (int i = 0; i < h->count(); ++i) {
        if (h->isSectionHidden(i))
            continue;
        const QString text = h->model()->headerData(i, h->orientation()).toString();
        const int need = h->orientation() == Qt::Horizontal ? fm.horizontalAdvance(text) + margin : fm.height();
        if (need > h->sectionSize(i))
            cut << QStringLiteral("%1 section \"%2\": %3 px in %4").arg(where(h), text).arg(need).arg(h->sectionSize(i));
    }
    // The cells' values have room in their columns too.
    if (auto *table = qobject_cast<const QTableWidget *>(h->parentWidget()); table && h->orientation() == Qt::Horizontal) {
        for (int r = 0; r < table->rowCount(); ++r)
            for (int c = 0; c < table->columnCount(); ++c)
                if (const QTableWidgetItem *item = table->item(r, c)) {
                    const int need = table->fontMetrics().horizontalAdvance(item->text()) + 6;
                    if (need > table->columnWidth(c))
                        cut << QStringLiteral("%1 cell \"%2\": %3 px in %4").arg(where(table), item->text()).arg(need).arg(table->columnWidth(c));
                }
    }
    return cut;
}

QString scaleName()
{
    const QString scale = qEnvironmentVariable("QT_SCALE_FACTOR");
    return scale.isEmpty() ? QStringLiteral("1") : scale;
}

} // namespace

namespace Look {

QStringList cutTexts(QWidget *window)
{
    QStringList cut;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(window) || !w->isVisible())
            continue;
        if (auto *l = qobject_cast<QLabel *>(w))
            cut << labelCut(l);
        else if (auto *b = qobject_cast<QAbstractButton *>(w))
            cut << buttonCut(b);
        else if (auto *g = qobject_cast<QGroupBox *>(w))
            cut << groupCut(g);
        else if (auto *t = qobject_cast<QTabBar *>(w))
            cut << tabCut(t);
        else if (auto *h = qobject_cast<QHeaderView *>(w))
            cut << headerCut(h);
        // A toolbar too narrow for its buttons folds them behind its extension arrow.
        if (w->objectName() == QLatin1String("qt_toolbar_ext_button"))
            cut << QStringLiteral("%1: buttons folded away").arg(where(w->parentWidget()));
    }
    return cut;
}

void show(QWidget *window)
{
    window->show();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QApplication::processEvents();
}

void screenshot(QWidget *window, const QString &name)
{
    const QString folder = QStringLiteral(VKM_SCREENSHOTS);
    QDir().mkpath(folder);
    window->grab().save(QStringLiteral("%1/%2@%3.png").arg(folder, name, scaleName()));
}

std::vector<QSize> sizesOverPages(QWidget *window, const QString &name,
                                  const std::vector<std::pair<QString, std::function<void()>>> &pages, QStringList &cut)
{
    std::vector<QSize> sizes;
    for (const auto &[page, select] : pages) {
        select();
        show(window);
        sizes.push_back(window->size());
        for (const QString &c : cutTexts(window))
            cut << page + QStringLiteral(": ") + c;
        screenshot(window, name + QLatin1Char('-') + page);
    }
    return sizes;
}

void expectWholeTexts(const std::vector<Maker> &windows, const std::function<void(const char *, QWidget *)> &check)
{
    for (const auto &[name, make] : windows) {
        std::unique_ptr<QWidget> w(make());
        show(w.get());
        screenshot(w.get(), QString::fromLatin1(name));
        EXPECT_EQ(cutTexts(w.get()).join(QLatin1Char('\n')).toStdString(), "") << name;
        if (check)
            check(name, w.get());
        w->hide();
    }
}

} // namespace Look
