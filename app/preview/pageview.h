#pragma once
// The widgets of the print preview that draw laid-out pages: one page at a
// zoom in a scroll area (Ctrl+wheel zooms), and the page thumbnails, drawn
// only when they come into view.
#include "reports/document.h"
#include "reports/painter.h"

#include <QAbstractListModel>
#include <QCache>
#include <QPixmap>
#include <QScrollArea>

namespace kw::app {

class PageView : public QScrollArea {
    Q_OBJECT
public:
    enum class Fit { None, WholePage, PageWidth };

    explicit PageView(QWidget *parent = nullptr);

    void setDocument(const kw::reports::ReportDocument *doc);
    void setPage(int page);
    int page() const { return m_page; }

    // Zoom as a factor of the page's real size (1.0 = 100 %); with a fit
    // mode the factor follows the window's size.
    void setZoom(double zoom);
    void setFit(Fit fit);
    Fit fit() const { return m_fit; }
    double zoom() const { return m_zoom; }

    void setHits(const QVector<kw::reports::TextHit> &hits, int current);
    // Scrolls so that the current hit is visible.
    void showCurrentHit();
    // Pixels per layout unit at the current zoom.
    double scale() const;
    // The page's rectangle in the canvas widget.
    QRect pageRect() const;

signals:
    void zoomChanged(double zoom);
    // Ctrl+wheel: +1 in, -1 out.
    void zoomStep(int direction);

protected:
    void wheelEvent(QWheelEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    friend class PageCanvas;
    void relayout();
    void paintCanvas(QPainter &p);

    const kw::reports::ReportDocument *m_doc = nullptr;
    QWidget *m_canvas;
    int m_page = 0;
    double m_zoom = 1.0;
    Fit m_fit = Fit::WholePage;
    QVector<kw::reports::TextHit> m_hits;
    int m_currentHit = -1;
};

// Thumbnails of the pages for a list view in icon mode.
class ThumbnailModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit ThumbnailModel(QObject *parent = nullptr);
    void setDocument(const kw::reports::ReportDocument *doc);
    // Pages added to the document since the last call (the layout runs on).
    void pagesAdded();
    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    static constexpr int kWidth = 96; // pixels

private:
    const kw::reports::ReportDocument *m_doc = nullptr;
    int m_rows = 0;
    mutable QCache<int, QPixmap> m_cache{200};
};

// A page drawn on a white image of width pixels (thumbnails, tests).
QImage renderPage(const kw::reports::ReportDocument &doc, int page, int width);

} // namespace kw::app
