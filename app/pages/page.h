#pragma once
// A page of the main window. Each page owns its widgets and runs its own
// steps when the navigation bar brings it up (enter) and when another page
// is about to take its place (leave). The frame knows pages only through
// this class.
//
// Print buttons open reports that are attached from outside the page with
// setPrintHandler: until a report is attached, its button stays visible but
// disabled, so nothing pretends to print.
#include "app/duestatus.h"
#include "data/shop/dmmain.h"

#include <QWidget>
#include <functional>
#include <map>

class QAbstractButton;
class QHBoxLayout;
class QSplitter;
class QVBoxLayout;

namespace kw::app {

class TColumnEditor;
class TColumnEditors;
class TDBGrid;
class TDBNavigator;

class Page : public QWidget {
    Q_OBJECT
public:
    // name: the page's component name ("tabInsp"), also its object name.
    // editors: the window's column editors, which the page's grids use and
    // to which it adds those it builds.
    Page(kw::data::TdmMain &dm, TColumnEditors &editors, const QString &name, QWidget *parent = nullptr);

    // Runs when the navigation bar shows the page, also when it is shown
    // already. Errors propagate to the caller, which reports them.
    virtual void enter() {}
    // Runs before another page is shown. Throwing keeps this page up (an
    // edit that cannot be stored is not left behind).
    virtual void leave() {}
    // Runs in idle time after the tables were opened: work that makes
    // entering the page quick later. Changes nothing the user can see.
    virtual void preload() {}
    // Width the page needs to show every column of its grids at the widths
    // they start with: the grids stand side by side unless a page says
    // otherwise. The first start sizes the window by the widest page.
    virtual int preferredWidth() const;
    // What the colours of the page's rows mean (colourByDueStatus sets it).
    DueColours dueColours() const { return m_dueColours; }

    // Attaches the action of a print button, named as the button is
    // ("btnInspAll"); an empty handler detaches it. Throws for a name that
    // is not a print button of this page, so a wiring typo is not silent.
    void setPrintHandler(const QString &buttonName, std::function<void()> handler);
    // Names of the page's print buttons.
    QStringList printButtons() const;

    // The page's data grids.
    QList<TDBGrid *> grids() const;
    // Before a report prints what the page shows: what a grid's open cell
    // holds goes to its dataset, pending edits are stored, and a joined
    // query that a change elsewhere left behind is read again.
    void bringUpToDate();

    // Makes a record of one of the page's datasets current (its bookmark:
    // a table row's key, a joined row's Auto) and puts the focus on it in
    // its grid, as a click on it would; the order stays. When a category tab
    // hides the record, the tab that shows every row is selected. False when
    // the page does not show the record. Throws what storing a pending edit
    // throws.
    virtual bool showRecord(kw::data::Dataset &ds, const QVariant &bookmark);

protected:
    // Registers a print button: disabled until setPrintHandler attaches one;
    // a click runs the handler (after the page's pending edits are stored),
    // an error shows its message.
    void addPrintButton(QAbstractButton *button);
    // A data grid named name that finds the window's column editors.
    TDBGrid *newGrid(QWidget *parent, const QString &name);
    // Enters a column editor the page built.
    void addColumnEditor(TColumnEditor *editor);
    // Shows every row of ds: its category tab back on the first, "All".
    // False when no tab of the page narrows ds.
    virtual bool showAllRows(kw::data::Dataset &ds);

    kw::data::TdmMain &dm;
    TColumnEditors &editors;

private:
    friend void colourByDueStatus(TDBGrid *, const QString &, const QString &);
    std::map<QString, std::pair<QAbstractButton *, std::function<void()>>> m_print;
    DueColours m_dueColours = DueColours::None;
};

// A bar of the given height laid out left to right (the pages' top bars).
QWidget *topBar(QWidget *parent, int height);
QHBoxLayout *barLayout(QWidget *bar);
// A top-to-bottom layout without margins or gaps: a top bar above a grid.
QVBoxLayout *stackLayout(QWidget *w);
// A record navigator (insert, delete, post) named name, on a data source.
TDBNavigator *navigator(QWidget *parent, const QString &name, kw::data::DataSource *source);

// Reads a joined query again when a table it reads was changed since (by
// another page, a dialog); it stays on its current record.
void readAgainIfStale(kw::data::QueryDataset &qry);

// Draws the grid's rows in the due-status colour of the date in dueField of
// its dataset; with expiryField, a date there before today also marks the
// row overdue (food past its expiry date). The grid's page then tells what
// its colours mean (Page::dueColours).
void colourByDueStatus(TDBGrid *grid, const QString &dueField, const QString &expiryField = {});

// Width of a grid that shows every column, the row marker and a scroll bar.
int gridFittingWidth(const TDBGrid *grid);

// Width of a splitter's first panel, and setting it (the rest goes to the
// second panel). Window state keeps panels by this width.
int firstPanelWidth(const QSplitter *s);
void setFirstPanelWidth(QSplitter *s, int width);

} // namespace kw::app
