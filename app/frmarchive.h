#pragma once
// The backup dialog: backs the shop's database files up into one archive,
// restores them from one, and shows what a backup's header says about it.
// The work itself is the archive library's backup and restore jobs (the same
// ones kitwarden-cli runs); this form only drives them and shows progress.
// The main window closes its tables while the dialog is up.
#include "archive/backup.h"
#include "archive/restore.h"

#include <QDialog>
#include <functional>
#include <memory>

class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QStatusBar;
class QToolButton;
class QWidget;

namespace kw::settings { class TIniOut; }

namespace kw::app {

class ArchivePromptsQt;

class TfrmArchive : public QDialog {
    Q_OBJECT
public:
    // ini (may be null) keeps the last backup location between runs.
    TfrmArchive(const QString &dataDir, kw::settings::TIniOut *ini = nullptr, QWidget *parent = nullptr);
    ~TfrmArchive() override;

    // Window heights with the information area hidden and shown, counted
    // with a tool window's caption; the client area is that much lower.
    static constexpr int kCollapsedHeight = 154;
    static constexpr int kExpandedHeight = 265;
    static constexpr int kCaptionHeight = 27;
    static constexpr int kClientWidth = 324;

    // The settings value that remembers the last location used.
    static QString locationValueName();
    // The shop's database files, as both backup jobs take them.
    static const kw::archive::DatabaseFiles &shopFiles();
    // The shop's tables as the jobs check and settle them.
    static kw::archive::DatabaseTables shopTables();

    kw::archive::TArchiver Archiver1;
    QFileDialog *FileDlg;
    // Runs FileDlg; true when the user confirmed. Shows it modally unless
    // replaced (tests answer it).
    std::function<bool(QFileDialog &)> execFileDlg;
    // The component's questions (continue dialog, disk prompts): Qt dialogs
    // unless replaced. Not owned.
    void setArchivePrompts(kw::archive::ArchivePrompts *p);

    void FormShow();
    void btnFileDlgClick();
    void btnInfoClick(bool down);
    void btnBackupClick();
    void btnRestoreClick();
    void btnCancelClick();
    void Archiver1StartOperation();
    void Archiver1FinishOperation();
    void Archiver1FileProgress(int percent);
    void Archiver1DisplayMessage(const QString &msg);

    // A backup or restore is running (the dialog cannot close).
    bool busy() const { return m_running || Archiver1.IsBusy(); }
    const kw::archive::BackupReport &lastBackup() const { return m_backup; }
    const kw::archive::RestoreReport &lastRestore() const { return m_restore; }

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void reject() override;

private:
    void buildForm();
    QWidget *buildInfoArea();
    void setInfoShown(bool shown);
    void fillInfo(const kw::archive::TUserData &u);
    void setRunning(bool running);
    bool refuseCloseWhileBusy();
    void rememberLocation();
    QString location() const;
    void finishRestore();

    QString m_dataDir;
    kw::settings::TIniOut *m_ini;
    std::unique_ptr<ArchivePromptsQt> m_qtPrompts;
    bool m_running = false;
    kw::archive::BackupReport m_backup;
    kw::archive::RestoreReport m_restore;

    QToolButton *btnInfo, *btnBackup, *btnRestore, *btnCancel, *btnFileDlg;
    QGroupBox *GroupBox1;
    QLineEdit *edFileName;
    QLabel *lblMsg;
    QLabel *lUser, *lCompany, *lSerial, *lDate, *lName, *lVersion;
    QWidget *pnlInfo;
    QStatusBar *stbMain;
    QProgressBar *bar;
};

} // namespace kw::app
