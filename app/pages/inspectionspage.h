#pragma once
// The inspections page: every hand receipt item that needs a day or year
// inspection (qryInsp), and the due-by date the due report reads.
#include "app/pages/page.h"

#include <QDate>

class QDateEdit;

namespace kw::app {

class InspectionsPage : public Page {
    Q_OBJECT
public:
    explicit InspectionsPage(kw::data::TdmMain &dm, QWidget *parent = nullptr);

    void enter() override;
    void leave() override;
    void tabInspHide();

    // The due-by date (cbInspDate).
    QDate dueByDate() const;
    void setDueByDate(const QDate &date);

private:
    QDateEdit *cbInspDate;
};

} // namespace kw::app
