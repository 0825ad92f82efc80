#pragma once
// The import dialog: asks before the import replaces this program's data,
// runs the import from the predecessor program Marrowby while the main
// window holds no table open, shows its status line and two progress bars,
// and afterwards opens the log in the desktop's text viewer.
#include "import/marrowbyimport.h"

#include <QDialog>
#include <functional>

class QLabel;
class QProgressBar;
class QToolButton;

namespace kw::data { class Session; }

namespace kw::app {

class TfrmImport : public QDialog {
    Q_OBJECT
public:
    TfrmImport(kw::data::Session &session, const QString &dataDir, QWidget *parent = nullptr);

    // Receives the company name once an import completed.
    std::function<void(const QString &company)> onCompanyImported;
    // This program's company name now: the question before the import
    // names what replaces it.
    QString company;
    // Shows the log; the default opens it with the desktop's application
    // for text files. False when it could not be shown: the dialog then says
    // where the log is.
    std::function<bool(const QString &path)> openLog;
    // Date and format of the generated NSNs; empty: today and the system's.
    kw::import::ImportOptions options;

    void btnImportClick();
    void btnCancelClick();

    bool running() const { return m_running; }
    const kw::import::ImportReport &lastReport() const { return m_report; }

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void reject() override;

private:
    class Progress;
    void finish();

    kw::data::Session &m_session;
    QToolButton *btnImport, *btnCancel;
    QLabel *lblStatus;
    QProgressBar *barPart, *barTotal;
    kw::import::ImportReport m_report;
    bool m_running = false;
};

} // namespace kw::app
