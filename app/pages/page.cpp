#include "app/pages/page.h"

#include "app/apperror.h"
#include "app/columneditors.h"
#include "app/dbgrid.h"
#include "app/dbnavigator.h"
#include "app/duestatus.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QStyle>
#include <QSplitter>
#include <QVBoxLayout>
#include <stdexcept>

namespace kw::app {

Page::Page(kw::data::TdmMain &dmMain, TColumnEditors &columnEditors, const QString &name, QWidget *parent)
    : QWidget(parent), dm(dmMain), editors(columnEditors)
{
    setObjectName(name);
}

TDBGrid *Page::newGrid(QWidget *parent, const QString &name)
{
    auto *g = new TDBGrid(parent);
    g->setObjectName(name);
    g->setColumnEditors(&editors);
    return g;
}

void Page::addColumnEditor(TColumnEditor *editor)
{
    editors.add(editor);
}

QList<TDBGrid *> Page::grids() const
{
    return findChildren<TDBGrid *>();
}

void Page::bringUpToDate()
{
    for (TDBGrid *g : grids()) {
        kw::data::Dataset *d = g->dataset();
        if (!d || !d->active())
            continue;
        d->checkBrowseMode();
        if (auto *q = qobject_cast<kw::data::QueryDataset *>(d))
            readAgainIfStale(*q);
    }
}

bool Page::showAllRows(kw::data::Dataset &)
{
    return false;
}

bool Page::showRecord(kw::data::Dataset &ds, const QVariant &bookmark)
{
    bringUpToDate();
    int row = ds.rowOfBookmark(bookmark);
    if (row < 0 && ds.filtered() && showAllRows(ds))
        row = ds.rowOfBookmark(bookmark);
    if (row < 0)
        return false;
    ds.moveTo(row);
    for (TDBGrid *g : grids())
        if (g->dataset() == &ds && g->isVisible())
            g->setFocus(Qt::OtherFocusReason);
    return true;
}

void readAgainIfStale(kw::data::QueryDataset &qry)
{
    if (qry.active() && qry.stale())
        qry.refresh();
}

void Page::addPrintButton(QAbstractButton *button)
{
    const QString name = button->objectName();
    m_print[name] = {button, {}};
    button->setEnabled(false);
    connect(button, &QAbstractButton::clicked, this, [this, name] {
        // A copy: the handler may replace itself while it runs.
        const std::function<void()> handler = m_print[name].second;
        // What is being typed is stored first, so the report shows it.
        if (handler && guarded([this] { bringUpToDate(); }))
            guarded(handler);
    });
}

void Page::setPrintHandler(const QString &buttonName, std::function<void()> handler)
{
    auto it = m_print.find(buttonName);
    if (it == m_print.end())
        throw std::invalid_argument("no print button " + buttonName.toStdString() + " on "
                                    + objectName().toStdString());
    it->second.first->setEnabled(bool(handler));
    it->second.second = std::move(handler);
}

int Page::preferredWidth() const
{
    int w = 0;
    for (const TDBGrid *g : findChildren<TDBGrid *>())
        if (g->window() == window()) // not the drop-down lists of cell editors
            w += gridFittingWidth(g);
    return w;
}

QStringList Page::printButtons() const
{
    QStringList names;
    for (const auto &[name, entry] : m_print)
        names << name;
    return names;
}

QWidget *topBar(QWidget *parent, int height)
{
    auto *bar = new QWidget(parent);
    bar->setFixedHeight(height);
    auto *lay = new QHBoxLayout(bar);
    lay->setContentsMargins(2, 1, 2, 1);
    lay->setSpacing(4);
    return bar;
}

QHBoxLayout *barLayout(QWidget *bar)
{
    return static_cast<QHBoxLayout *>(bar->layout());
}

QVBoxLayout *stackLayout(QWidget *w)
{
    auto *lay = new QVBoxLayout(w);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    return lay;
}

TDBNavigator *navigator(QWidget *parent, const QString &name, kw::data::DataSource *source)
{
    auto *nav = new TDBNavigator(parent);
    nav->setObjectName(name);
    nav->setDataSource(source);
    return nav;
}

void colourByDueStatus(TDBGrid *grid, const QString &dueField, const QString &expiryField)
{
    for (QWidget *w = grid->parentWidget(); w; w = w->parentWidget())
        if (auto *page = qobject_cast<Page *>(w)) {
            page->m_dueColours = expiryField.isEmpty() ? DueColours::Inspections : DueColours::InspectionsAndFood;
            break;
        }
    grid->rowTextColor = [grid, dueField, expiryField](int row) -> QColor {
        kw::data::Dataset *ds = grid->dataset();
        if (!ds || !ds->active() || row >= ds->recordCount())
            return {};
        const QDate today = kw::data::Clock::today();
        auto dateOf = [&](const QString &name) {
            const kw::data::Field *f = name.isEmpty() ? nullptr : ds->findField(name);
            return f ? ds->rowValue(row, f->index()).toDate() : QDate();
        };
        const DueStatus status = expiryField.isEmpty()
                                     ? kw::data::dueStatus(dateOf(dueField), today)
                                     : kw::data::kitDueStatus(dateOf(dueField), dateOf(expiryField), today);
        return dueStatusColor(status, grid->palette());
    };
    grid->viewport()->update();
}

int gridFittingWidth(const TDBGrid *g)
{
    // Before the grid is first laid out its row marker may not have its
    // width yet; the marker never needs less than its size hint.
    const QHeaderView *rows = g->verticalHeader();
    int w = (rows->isHidden() ? 0 : std::max(rows->width(), rows->sizeHint().width())) + 2 * g->frameWidth()
        + g->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, g);
    for (int c = 0; c < g->horizontalHeader()->count(); ++c)
        if (!g->isColumnHidden(c))
            w += g->columnWidth(c);
    return w;
}

int firstPanelWidth(const QSplitter *s)
{
    const QList<int> sizes = s->sizes();
    return sizes.isEmpty() ? 0 : sizes.first();
}

void setFirstPanelWidth(QSplitter *s, int width)
{
    const int total = std::max(s->width(), width + 100);
    s->setSizes({width, std::max(1, total - width - s->handleWidth())});
}

} // namespace kw::app
