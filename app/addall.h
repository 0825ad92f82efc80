#pragma once
// "Add from List": adds to the current hand receipt every item of the master
// equipment list marked for the chosen standard lists ("List 1", "List 2"),
// through kw::data::addListItemsToHolder; nothing checks for items already
// on the receipt. Closes with OK after adding (also when nothing was checked),
// with Cancel when cancelled. When the engine refuses an item, the adding
// stops there, the message is shown, and the dialog closes with OK if any
// item was stored before, so the caller shows them.
#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

namespace kw::data { class TdmMain; }

namespace kw::app {

class TfAddAll : public QDialog {
    Q_OBJECT
public:
    explicit TfAddAll(kw::data::TdmMain &dm, QWidget *parent = nullptr);

    void btnAddClick();
    void btnCancelClick();

    // Items stored by the last "Add".
    int addedCount() const { return m_added; }

protected:
    void showEvent(QShowEvent *e) override;

private:
    kw::data::TdmMain &m_dm;
    QLabel *lblMain;
    QCheckBox *cbList1, *cbList2;
    QPushButton *btnAdd, *btnCancel;
    int m_added = 0;
};

// The look both add-all dialogs share: a small tool window that stays on top,
// fixed to its client size, and flat "Add" and "Cancel" buttons.
void shapeAddAllDialog(QDialog *d, const QSize &client);
QPushButton *addAllButton(QDialog *d, const char *name, const QString &caption, const QRect &geometry);
// The bold explanatory label "lblMain" with the text in its lines, in the
// font size at which every line fits the given area.
QLabel *addAllLabel(QDialog *d, const QString &text, const QRect &geometry);
// Places a dialog in the centre of its screen.
void centreOnScreen(QWidget *w);

} // namespace kw::app
