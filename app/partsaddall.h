#pragma once
// "Add All Items" of the office supplies page: adds one bench-stock row
// (qryParts) for every part of the master office parts list, with only its
// NSN set, while a progress bar moves; the user then deletes what is not
// wanted. The adding is kw::data::addAllPartsToBenchStock: each row stored
// before the next is begun, the query read again once, at the end. Closes
// with OK after adding (an empty master list adds nothing and still closes
// with OK), with Cancel when cancelled; it cannot be cancelled while adding.
// When the engine refuses a row, the adding stops there, the message is
// shown, and the dialog closes with OK if any row was stored before.
#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kw::data { class TdmMain; }

namespace kw::app {

class TfPartsAddAll : public QDialog {
    Q_OBJECT
public:
    explicit TfPartsAddAll(kw::data::TdmMain &dm, QWidget *parent = nullptr);

    void btnAddClick();
    void btnCancelClick();

    // Rows stored by the last "Add".
    int addedCount() const { return m_added; }
    bool adding() const { return m_adding; }

    // Runs after every row while adding (tests and benchmarks watch it).
    std::function<void(int row)> onRowAdded;

    void reject() override;

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    void showProgress();
    void step();

    kw::data::TdmMain &m_dm;
    QLabel *lblMain;
    QProgressBar *barMain;
    QPushButton *btnAdd, *btnCancel;
    int m_added = 0;
    int m_shownPercent = -1;
    bool m_adding = false;
};

} // namespace kw::app
