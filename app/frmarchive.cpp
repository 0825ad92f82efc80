// The dialog keeps no backup logic of its own: file list, user data, accept
// rule, staged archive, restore checks and the copy kept before a restore
// all live in archive/dbbackup, which kitwarden-cli calls the same way. What
// is here is the form: its controls, the component's events shown as status
// texts and progress, and the rule that nothing else starts (and the dialog
// does not close) while a job runs, because the progress handler lets window
// messages through.
#include "app/frmarchive.h"

#include "app/apperror.h"
#include "app/archiveprompts.h"
#include "app/filefolders.h"
#include "archive/encoding.h"
#include "archive/jobtexts.h"
#include "archive/messages.h"
#include "data/shop/clock.h"
#include "data/shop/shopschema.h"
#include "settings/iniout.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace kw::app {

using namespace kw::archive;

namespace {

QToolButton *flatButton(QWidget *parent, const char *name, const QString &text, QStyle::StandardPixmap icon)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(text);
    b->setIcon(parent->style()->standardIcon(icon));
    b->setAutoRaise(true);
    b->setToolButtonStyle(text.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon);
    return b;
}

QLabel *namedLabel(QWidget *parent, const char *name, const QString &text = QString())
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

} // namespace

QString TfrmArchive::locationValueName()
{
    return QStringLiteral("BackupLocation");
}

const DatabaseFiles &TfrmArchive::shopFiles()
{
    static const DatabaseFiles files(kw::data::shop::databaseFiles(), kw::data::shop::journalFiles());
    return files;
}

DatabaseTables TfrmArchive::shopTables()
{
    return databaseTablesFrom(kw::data::shop::tablesThatDoNotOpen, kw::data::shop::settleTables,
                              [](const QString &dir) { return kw::data::shop::tablesOpenForWriting(dir); });
}

TfrmArchive::TfrmArchive(const QString &dataDir, kw::settings::TIniOut *ini, QWidget *parent)
    : QDialog(parent), m_dataDir(dataDir), m_ini(ini), m_qtPrompts(std::make_unique<ArchivePromptsQt>(this))
{
    setObjectName(QStringLiteral("frmArchive"));
    setWindowTitle(QStringLiteral("Backup / Restore"));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(QFont(QStringLiteral("Arial"), 8));
    buildForm();

    configureForApplication(Archiver1, [] { return kw::data::Clock::now(); });
    Archiver1.setPrompts(m_qtPrompts.get());
    Archiver1.OnStartOperation = [this] { Archiver1StartOperation(); };
    Archiver1.OnFinishOperation = [this] { Archiver1FinishOperation(); };
    Archiver1.OnFileProgress = [this](int percent) { Archiver1FileProgress(percent); };
    Archiver1.OnDisplayMessage = [this](const QString &msg) { Archiver1DisplayMessage(msg); };

    QString start = defaultBackupLocation();
    if (m_ini)
        guarded([&] {
            const QString last = m_ini->ReadRegString(kw::settings::kMainKey, locationValueName(), QString());
            // A medium that is gone leaves an empty mount folder at most,
            // and a backup there would land on the system disk.
            if (!last.isEmpty() && !QDir(QFileInfo(last).absolutePath()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
                start = last;
        });
    edFileName->setText(QDir::toNativeSeparators(start));

    FileDlg = new QFileDialog(this, QStringLiteral("Backup Location"));
    FileDlg->setObjectName(QStringLiteral("FileDlg"));
    FileDlg->setNameFilter(QStringLiteral("Alse Backup Files (*.Alse)"));
    FileDlg->setDefaultSuffix(QStringLiteral("Alse"));
    FileDlg->setAcceptMode(QFileDialog::AcceptOpen);
    // A backup names a file that need not exist yet.
    FileDlg->setFileMode(QFileDialog::AnyFile);
    execFileDlg = [](QFileDialog &dlg) { return dlg.exec() == QDialog::Accepted; };

    connect(btnFileDlg, &QToolButton::clicked, this, [this] { guarded([this] { btnFileDlgClick(); }); });
    connect(btnInfo, &QToolButton::clicked, this, [this](bool down) { btnInfoClick(down); });
    connect(btnBackup, &QToolButton::clicked, this, [this] { btnBackupClick(); });
    connect(btnRestore, &QToolButton::clicked, this, [this] { btnRestoreClick(); });
    connect(btnCancel, &QToolButton::clicked, this, [this] { btnCancelClick(); });
}

TfrmArchive::~TfrmArchive()
{
    Archiver1.Close();
}

void TfrmArchive::setArchivePrompts(ArchivePrompts *p)
{
    Archiver1.setPrompts(p ? p : m_qtPrompts.get());
}

// ---- the form

void TfrmArchive::buildForm()
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->setSizeConstraint(QLayout::SetNoConstraint);

    auto *body = new QWidget(this);
    auto *v = new QVBoxLayout(body);
    v->setContentsMargins(6, 4, 6, 2);
    v->setSpacing(3);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(2);
    btnInfo = flatButton(this, "btnInfo", QStringLiteral("Backup File Info"), QStyle::SP_FileDialogInfoView);
    btnInfo->setCheckable(true); // stays down until clicked again
    btnBackup = flatButton(this, "btnBackup", QStringLiteral("Backup"), QStyle::SP_DialogSaveButton);
    btnRestore = flatButton(this, "btnRestore", QStringLiteral("Restore"), QStyle::SP_BrowserReload);
    btnCancel = flatButton(this, "btnCancel", QStringLiteral("Cancel"), QStyle::SP_DialogCancelButton);
    btnCancel->setEnabled(false);
    buttons->addWidget(btnBackup);
    buttons->addWidget(btnRestore);
    buttons->addWidget(btnCancel);
    buttons->addStretch();
    v->addLayout(buttons);

    GroupBox1 = new QGroupBox(QStringLiteral("Select a Backup Location"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto *g = new QHBoxLayout(GroupBox1);
    g->setContentsMargins(6, 2, 6, 4);
    g->setSpacing(2);
    edFileName = new QLineEdit(GroupBox1);
    edFileName->setObjectName(QStringLiteral("edFileName"));
    btnFileDlg = flatButton(GroupBox1, "btnFileDlg", QString(), QStyle::SP_DirOpenIcon);
    btnFileDlg->setToolTip(QStringLiteral("Choose the backup file"));
    g->addWidget(edFileName, 1);
    g->addWidget(btnFileDlg);
    v->addWidget(GroupBox1);

    lblMsg = namedLabel(this, "lblMsg");
    lblMsg->setTextFormat(Qt::PlainText);
    // Long file names must not widen the fixed-size window.
    lblMsg->setMinimumWidth(1);
    lblMsg->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    // The information toggle sits right above the area it opens.
    auto *msgRow = new QHBoxLayout;
    msgRow->addWidget(lblMsg, 1);
    msgRow->addWidget(btnInfo);
    v->addLayout(msgRow);

    pnlInfo = buildInfoArea();
    v->addWidget(pnlInfo);
    v->addStretch();
    outer->addWidget(body, 1);

    stbMain = new QStatusBar(this);
    stbMain->setObjectName(QStringLiteral("stbMain"));
    stbMain->setSizeGripEnabled(false);
    bar = new QProgressBar(stbMain);
    bar->setObjectName(QStringLiteral("bar"));
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setFixedSize(150, 12);
    stbMain->addPermanentWidget(bar);
    outer->addWidget(stbMain);

    setInfoShown(false);
}

QWidget *TfrmArchive::buildInfoArea()
{
    auto *area = new QWidget(this);
    area->setObjectName(QStringLiteral("pnlInfo"));
    auto *grid = new QGridLayout(area);
    grid->setContentsMargins(8, 2, 4, 2);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(2);
    const char *captions[] = {"User:", "Company:", "Serial number:", "Date:", "Backup name:", "Version:"};
    const char *captionNames[] = {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6"};
    const char *valueNames[] = {"lUser", "lCompany", "lSerial", "lDate", "lName", "lVersion"};
    QLabel **values[] = {&lUser, &lCompany, &lSerial, &lDate, &lName, &lVersion};
    for (int i = 0; i < 6; ++i) {
        QLabel *caption = namedLabel(area, captionNames[i], QString::fromLatin1(captions[i]));
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        *values[i] = namedLabel(area, valueNames[i]);
        (*values[i])->setTextFormat(Qt::PlainText);
        QFont bold = (*values[i])->font();
        bold.setBold(true);
        (*values[i])->setFont(bold);
        grid->addWidget(caption, i, 0);
        grid->addWidget(*values[i], i, 1);
    }
    grid->setColumnStretch(1, 1);
    return area;
}

void TfrmArchive::setInfoShown(bool shown)
{
    pnlInfo->setVisible(shown);
    setFixedSize(kClientWidth, (shown ? kExpandedHeight : kCollapsedHeight) - kCaptionHeight);
}

void TfrmArchive::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    FormShow();
    if (QScreen *s = screen()) {
        QRect r = frameGeometry();
        r.moveCenter(s->availableGeometry().center());
        move(r.topLeft());
    }
}

void TfrmArchive::FormShow()
{
    lblMsg->clear();
    btnInfo->setChecked(false);
    setInfoShown(false);
}

QString TfrmArchive::location() const
{
    return QDir::fromNativeSeparators(edFileName->text().trimmed());
}

void TfrmArchive::rememberLocation()
{
    if (m_ini)
        guarded([&] {
            m_ini->WriteRegString(kw::settings::kMainKey, locationValueName(),
                                  QFileInfo(location()).absoluteFilePath());
        });
}

// ---- closing

bool TfrmArchive::refuseCloseWhileBusy()
{
    if (!busy())
        return false;
    prompts().showMessage(QStringLiteral("There's an operation in progress."));
    return true;
}

void TfrmArchive::closeEvent(QCloseEvent *e)
{
    if (refuseCloseWhileBusy())
        e->ignore();
    else
        QDialog::closeEvent(e);
}

void TfrmArchive::reject()
{
    if (!refuseCloseWhileBusy())
        QDialog::reject();
}

// ---- buttons

void TfrmArchive::btnFileDlgClick()
{
    // The location's folder (the last backup's, a medium or Documents) while
    // it exists, else Documents: never the program's working folder.
    const QFileInfo current(location());
    FileDlg->setDirectory(folderOf(location(), documentsFolder()));
    FileDlg->selectFile(current.fileName().isEmpty() ? QStringLiteral("Backup.Alse") : current.fileName());
    if (!execFileDlg(*FileDlg))
        return;
    const QStringList chosen = FileDlg->selectedFiles();
    if (!chosen.isEmpty())
        edFileName->setText(QDir::toNativeSeparators(chosen.first()));
}

void TfrmArchive::btnInfoClick(bool down)
{
    if (!down) {
        setInfoShown(false);
        return;
    }
    for (QLabel *l : {lUser, lCompany, lSerial, lDate, lName, lVersion})
        l->clear();
    setInfoShown(true);
    // No second operation inside a running one.
    setRunning(true);
    bool shown = false;
    try {
        // Read afresh: the file may have changed since it was last opened.
        Archiver1.Close();
        openBackup(Archiver1, location());
        fillInfo(Archiver1.Header().UserData);
        shown = true;
    } catch (const EAbort &) {
    } catch (...) {
        showCurrentException();
    }
    setRunning(false);
    if (shown) {
        rememberLocation();
    } else {
        setInfoShown(false);
        btnInfo->setChecked(false);
    }
}

void TfrmArchive::fillInfo(const TUserData &u)
{
    lUser->setText(u.UserName);
    lCompany->setText(u.UserCompany);
    lSerial->setText(u.SerialNumber);
    lDate->setText(dateTimeText(oleToDateTime(u.BackupDate)));
    lName->setText(u.BackupName);
    lVersion->setText(QString::number(u.ProductVersion));
}

void TfrmArchive::setRunning(bool running)
{
    m_running = running;
    for (QWidget *w : {static_cast<QWidget *>(btnInfo), static_cast<QWidget *>(btnBackup),
                       static_cast<QWidget *>(btnRestore), static_cast<QWidget *>(btnFileDlg)})
        w->setEnabled(!running);
    edFileName->setReadOnly(running);
}

void TfrmArchive::btnBackupClick()
{
    setRunning(true);
    Archiver1.Close();
    m_backup = backupDatabase(Archiver1, location(), m_dataDir, shopFiles(), shopTables());
    setRunning(false);
    if (!m_backup.stored.isEmpty() && QFileInfo::exists(location()))
        rememberLocation();
    const QStringList problems = backupProblems(m_backup, m_dataDir);
    if (!problems.isEmpty()) {
        prompts().showMessage(problems.join(QLatin1Char('\n')));
    } else if (m_backup.complete()) {
        prompts().showInformation(backupDoneText(m_backup, location()));
        accept();
    }
}

void TfrmArchive::btnRestoreClick()
{
    // What the backup holds, and the user's yes, before anything changes.
    setRunning(true);
    BackupContents contents;
    bool readable = false;
    try {
        contents = readBackupContents(Archiver1, location(), shopFiles());
        readable = true;
    } catch (const EAbort &) {
    } catch (...) {
        showCurrentException();
    }
    setRunning(false);
    if (!readable || !prompts().confirm(restoreQuestion(contents, location(), m_dataDir)))
        return;
    setRunning(true);
    Archiver1.Close();
    m_restore = restoreDatabase(Archiver1, location(), m_dataDir, shopFiles(), shopTables());
    setRunning(false);
    finishRestore();
}

// A restore that stopped part-way leaves some tables from the backup and
// some from before; the copy taken before it can put them back together.
void TfrmArchive::finishRestore()
{
    const RestoreReport &r = m_restore;
    if (r.touched)
        rememberLocation();
    if (r.complete()) {
        prompts().showInformation(restoreDoneText(r, m_dataDir));
        accept();
        return;
    }
    QStringList problems = restoreProblems(r);
    if (!r.touched) {
        if (!problems.isEmpty())
            prompts().showMessage(problems.join(QLatin1Char('\n')));
        return;
    }
    if (r.cancelled)
        problems << QStringLiteral("The restore was stopped after %1 database files had been replaced.")
                        .arg(r.restored.size());
    if (!prompts().confirm(problems.join(QLatin1Char('\n')) +
                           QStringLiteral("\n\nPut the database files from before this restore back now?")))
        return;
    const UndoReport undo = undoRestore(m_dataDir, shopFiles(), shopTables());
    if (!undo.done)
        prompts().showMessage(undo.error);
    else
        lblMsg->setText(QStringLiteral("The database files from before the restore are back."));
}

void TfrmArchive::btnCancelClick()
{
    Archiver1.RequestAbort();
    btnCancel->setEnabled(false);
    stbMain->clearMessage();
    bar->setValue(0);
    lblMsg->clear();
}

// ---- events of Archiver1

void TfrmArchive::Archiver1StartOperation()
{
    switch (Archiver1.Operation()) {
    case TOperation::opAdd: stbMain->showMessage(QStringLiteral("Backing up...")); break;
    case TOperation::opExtract: stbMain->showMessage(QStringLiteral("Restoring...")); break;
    default: stbMain->clearMessage(); break;
    }
}

void TfrmArchive::Archiver1DisplayMessage(const QString &msg)
{
    lblMsg->setText(msg);
}

void TfrmArchive::Archiver1FileProgress(int percent)
{
    bar->setValue(percent);
    btnCancel->setEnabled(Archiver1.CanAbort());
    // Repaints, and lets a click on Cancel reach RequestAbort.
    QCoreApplication::processEvents();
}

void TfrmArchive::Archiver1FinishOperation()
{
    stbMain->clearMessage();
    bar->setValue(0);
    btnCancel->setEnabled(false);
    lblMsg->setText(QStringLiteral("Completed"));
    QCoreApplication::processEvents();
}

} // namespace kw::app
