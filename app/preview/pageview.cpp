#include "app/preview/pageview.h"

#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <cmath>

namespace kw::app {

using namespace kw::reports;

namespace {
constexpr int kGap = 12; // gray border around the page, in pixels
}

// The widget inside the scroll area; it only forwards painting.
class PageCanvas : public QWidget {
public:
    explicit PageCanvas(PageView *view) : QWidget(view), m_view(view) { setObjectName(QStringLiteral("pageCanvas")); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        m_view->paintCanvas(p);
    }

private:
    PageView *m_view;
};

PageView::PageView(QWidget *parent) : QScrollArea(parent)
{
    setObjectName(QStringLiteral("pageView"));
    m_canvas = new PageCanvas(this);
    setWidget(m_canvas);
    setWidgetResizable(false);
    setAlignment(Qt::AlignCenter);
    setBackgroundRole(QPalette::Dark);
    setFocusPolicy(Qt::StrongFocus);
}

void PageView::setDocument(const ReportDocument *doc)
{
    m_doc = doc;
    m_page = 0;
    m_hits.clear();
    m_currentHit = -1;
    relayout();
}

void PageView::setPage(int page)
{
    m_page = page;
    relayout();
    verticalScrollBar()->setValue(0);
}

void PageView::setZoom(double zoom)
{
    m_fit = Fit::None;
    m_zoom = std::clamp(zoom, 0.1, 4.0);
    relayout();
}

void PageView::setFit(Fit fit)
{
    m_fit = fit;
    relayout();
}

void PageView::setHits(const QVector<TextHit> &hits, int current)
{
    m_hits = hits;
    m_currentHit = current;
    m_canvas->update();
}

double PageView::scale() const
{
    // 100 % is the page's real size on this screen.
    return m_zoom * logicalDpiX() / double(kUnitsPerInch);
}

QRect PageView::pageRect() const
{
    if (!m_doc)
        return {};
    const double s = scale();
    return QRect(kGap, kGap, int(std::lround(m_doc->page.paperWidth * s)),
                 int(std::lround(m_doc->page.paperHeight * s)));
}

void PageView::relayout()
{
    if (m_doc && m_fit != Fit::None) {
        const double unit = logicalDpiX() / double(kUnitsPerInch);
        const double w = (viewport()->width() - 2 * kGap) / (m_doc->page.paperWidth * unit);
        const double h = (viewport()->height() - 2 * kGap) / (m_doc->page.paperHeight * unit);
        m_zoom = std::clamp(m_fit == Fit::WholePage ? std::min(w, h) : w, 0.1, 4.0);
    }
    const QRect r = pageRect();
    m_canvas->resize(r.width() + 2 * kGap, r.height() + 2 * kGap);
    m_canvas->update();
    emit zoomChanged(m_zoom);
}

void PageView::paintCanvas(QPainter &p)
{
    p.fillRect(m_canvas->rect(), palette().color(QPalette::Dark));
    if (!m_doc || m_page < 0 || m_page >= m_doc->pageCount())
        return;
    const QRect r = pageRect();
    p.fillRect(r.translated(3, 3), QColor(0, 0, 0, 90));
    p.fillRect(r, Qt::white);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.save();
    p.translate(r.topLeft());
    p.scale(scale(), scale());
    paintPage(p, *m_doc, m_page, m_hits, m_currentHit);
    p.restore();
    p.setPen(Qt::black);
    p.drawRect(r.adjusted(0, 0, -1, -1));
}

void PageView::showCurrentHit()
{
    if (!m_doc || m_currentHit < 0 || m_currentHit >= m_hits.size())
        return;
    const TextHit &h = m_hits[m_currentHit];
    if (h.page != m_page)
        setPage(h.page);
    const PageItem &it = m_doc->pages[h.page].items.at(h.item);
    const double s = scale();
    const QRect r = pageRect();
    ensureVisible(r.x() + int((m_doc->page.leftMargin + it.textLeft()) * s),
                  r.y() + int((m_doc->page.topMargin + it.y) * s), 60, 60);
    m_canvas->update();
}

void PageView::wheelEvent(QWheelEvent *e)
{
    if (e->modifiers() & Qt::ControlModifier) {
        const int dy = e->angleDelta().y();
        if (dy != 0)
            emit zoomStep(dy > 0 ? 1 : -1);
        e->accept();
        return;
    }
    QScrollArea::wheelEvent(e);
}

void PageView::resizeEvent(QResizeEvent *e)
{
    QScrollArea::resizeEvent(e);
    if (m_fit != Fit::None)
        relayout();
}

QImage renderPage(const ReportDocument &doc, int page, int width)
{
    const double s = width / double(doc.page.paperWidth);
    QImage img(width, int(std::lround(doc.page.paperHeight * s)), QImage::Format_RGB32);
    img.setDotsPerMeterX(3780);
    img.setDotsPerMeterY(3780);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(s, s);
    paintPage(p, doc, page);
    return img;
}

ThumbnailModel::ThumbnailModel(QObject *parent) : QAbstractListModel(parent) {}

void ThumbnailModel::setDocument(const ReportDocument *doc)
{
    beginResetModel();
    m_doc = doc;
    m_rows = doc ? doc->pageCount() : 0;
    m_cache.clear();
    endResetModel();
}

void ThumbnailModel::pagesAdded()
{
    const int n = m_doc ? m_doc->pageCount() : 0;
    if (n <= m_rows)
        return;
    beginInsertRows({}, m_rows, n - 1);
    m_rows = n;
    endInsertRows();
}

int ThumbnailModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

QVariant ThumbnailModel::data(const QModelIndex &index, int role) const
{
    if (!m_doc || !index.isValid() || index.row() >= m_rows)
        return {};
    if (role == Qt::DisplayRole)
        return QString::number(index.row() + 1);
    if (role == Qt::DecorationRole) {
        if (QPixmap *cached = m_cache.object(index.row()))
            return *cached;
        auto *pm = new QPixmap(QPixmap::fromImage(renderPage(*m_doc, index.row(), kWidth)));
        const QPixmap copy = *pm;
        m_cache.insert(index.row(), pm);
        return copy;
    }
    if (role == Qt::ToolTipRole)
        return QStringLiteral("Page %1").arg(index.row() + 1);
    return {};
}

} // namespace kw::app
