#pragma once
// The inspections page: every hand receipt item that needs a day or year
// inspection (qryInsp), by due date unless a column title is clicked. The
// due-by date picker sets the date the due report prints through.
#include "app/pages/page.h"

#include <QDate>

class QLabel;
class QPushButton;

namespace kw::app {

class TDBGrid;
class TDBNavigator;
class TDateEdit;

class InspectionsPage : public Page {
    Q_OBJECT
public:
    explicit InspectionsPage(kw::data::TdmMain &dm, TColumnEditors &editors, QWidget *parent = nullptr);

    // Back to the due-date order with its label, then opens qryInsp.
    void enter() override;
    void leave() override;
    // Runs the query's statement ahead, so that entering the page is quick.
    void preload() override;

    void grdInspTitleButtonClick(const QString &fieldName);
    void tabInspHide();

    // The due-by date (cbInspDate).
    QDate dueByDate() const;
    void setDueByDate(const QDate &date);

private:
    void buildTopBar(QWidget *bar);
    void buildGrid();

    TDBNavigator *navInsp;
    QLabel *lblInspSort;
    QPushButton *btnInspDue, *btnInspAll;
    TDateEdit *cbInspDate;
    TDBGrid *grdInsp;
};

} // namespace kw::app
