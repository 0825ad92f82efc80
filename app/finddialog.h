#pragma once
// Edit > Find: a small window beside the main window that lists, as the
// clerk types, every record of the shop whose serial number, NSN,
// nomenclature, HR number, holder, kit, tail number, manual, drawer or bin
// holds the text, each with the page that shows it. Enter (or a double
// click) opens the chosen hit's page on its row and closes the window; a
// barcode scanner that types a serial and Enter does the same. Down and Up
// in the text move through the hits.
#include "data/shop/shopfind.h"

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace kw::app {

class TfrmFind : public QDialog {
    Q_OBJECT
public:
    // search: the hits for a text. pageOf: the caption of the page a hit
    // opens. open: opens it; true when its row is shown (the window then
    // closes).
    TfrmFind(std::function<kw::data::FindResult(const QString &)> search,
             std::function<QString(const kw::data::FindHit &)> pageOf,
             std::function<bool(const kw::data::FindHit &)> open, QWidget *parent = nullptr);

    // Shows the window with its text selected and searched again (the
    // tables may have changed since).
    void showFind();
    // The hits listed.
    const QVector<kw::data::FindHit> &hits() const { return m_hits; }

    // Handlers.
    void edFindChange(const QString &text);
    void openCurrent();

protected:
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    std::function<kw::data::FindResult(const QString &)> m_search;
    std::function<QString(const kw::data::FindHit &)> m_pageOf;
    std::function<bool(const kw::data::FindHit &)> m_open;
    QLineEdit *edFind;
    QTreeWidget *lvFind;
    QLabel *lblFindCount;
    QVector<kw::data::FindHit> m_hits;
};

} // namespace kw::app
