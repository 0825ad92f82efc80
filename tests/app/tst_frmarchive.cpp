// The backup dialog driven headless with scripted answers: its parts, the
// file chooser, the information area, a backup and a restore from the main
// window's menu, refused archives, and what holds while a job runs.
#include "app/apperror.h"
#include "app/filefolders.h"
#include "app/frmarchive.h"
#include "app/frmmain.h"
#include "archive/encoding.h"
#include "archive/jobtexts.h"
#include "archive/messages.h"
#include "archive/scriptedprompts.h"
#include "archivefixture.h"
#include "marrowbyfixture.h"
#include "settings/iniout.h"
#include "shopfixture.h"

#include <QAction>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using namespace kw::app;
using namespace kw::archive;
using kw::data::Clock;

namespace {

template <class T> T *part(QWidget *w, const char *name)
{
    T *p = w->findChild<T *>(QLatin1String(name));
    if (!p)
        qFatal("no %s", name);
    return p;
}

QString text(QWidget *w, const char *name)
{
    return part<QLabel>(w, name)->text();
}

// What the dialog shows while a job runs, seen from inside its progress handler.
struct BusyView {
    bool seen = false;
    QString status;
    bool backupOn = true, restoreOn = true, infoOn = true, cancelOn = false;
    bool stillOpenAfterClose = false;
    QStringList closeMessages;
};

} // namespace

class TstFrmArchive : public QObject {
    Q_OBJECT

    QTemporaryDir m_template; // the filled shop, copied for every test
    std::unique_ptr<QTemporaryDir> m_data, m_out, m_cfg;
    kwtest::ScriptedPrompts m_prompts;
    ScriptedPrompts m_archivePrompts;

    QString data() const { return m_data->path(); }
    QString out(const QString &name) const { return QDir(m_out->path()).filePath(name); }

    std::unique_ptr<TfrmArchive> dialog(kw::settings::TIniOut *ini = nullptr)
    {
        auto dlg = std::make_unique<TfrmArchive>(data(), ini);
        dlg->setArchivePrompts(&m_archivePrompts);
        return dlg;
    }
    static void setLocation(TfrmArchive &dlg, const QString &path)
    {
        part<QLineEdit>(&dlg, "edFileName")->setText(QDir::toNativeSeparators(path));
    }

    // A backup of the shop's files whose header carries the given version.
    QString backupWithVersion(const QString &path, int version)
    {
        TArchiver a;
        configureForApplication(a);
        a.OnWriteUserData = [version](TUserData &u) {
            u = applicationUserData(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
            u.ProductVersion = version;
        };
        a.OnAcceptArchive = [](const TArchiveHeader &, bool &accept) { accept = true; };
        a.setFileName(path);
        QStringList files;
        for (const QString &n : TfrmArchive::shopFiles().names())
            if (QFile::exists(QDir(data()).filePath(n)))
                files << QDir(data()).filePath(n);
        a.AddFiles(files);
        a.Close();
        return path;
    }

    // Runs a job by clicking name; inside the job's first report of kind
    // op, records what the dialog shows, tries to close it, then acts.
    BusyView clickAndWatch(TfrmArchive &dlg, const char *name, TOperation op, const std::function<void()> &act)
    {
        BusyView v;
        std::function<void()> watch = [&] {
            if (dlg.Archiver1.Operation() != op) {
                QTimer::singleShot(0, &dlg, watch);
                return;
            }
            v.seen = true;
            v.status = part<QStatusBar>(&dlg, "stbMain")->currentMessage();
            v.backupOn = part<QToolButton>(&dlg, "btnBackup")->isEnabled();
            v.restoreOn = part<QToolButton>(&dlg, "btnRestore")->isEnabled();
            v.infoOn = part<QToolButton>(&dlg, "btnInfo")->isEnabled();
            v.cancelOn = part<QToolButton>(&dlg, "btnCancel")->isEnabled();
            const int before = m_prompts.messages.size();
            dlg.close();
            v.stillOpenAfterClose = dlg.isVisible();
            v.closeMessages = m_prompts.messages.mid(before);
            act();
        };
        QTimer::singleShot(0, &dlg, watch);
        part<QToolButton>(&dlg, name)->click();
        return v;
    }

private slots:
    void initTestCase()
    {
        setPrompts(&m_prompts);
        kw::data::Session s;
        kw::data::TdmMain dm(s);
        kwtest::fillShop(dm, m_template.path());
    }
    void cleanupTestCase() { setPrompts(nullptr); }
    void init()
    {
        m_data = std::make_unique<QTemporaryDir>();
        m_out = std::make_unique<QTemporaryDir>();
        m_cfg = std::make_unique<QTemporaryDir>();
        qputenv("KITWARDEN_CONFIG_DIR", m_cfg->path().toLocal8Bit());
        kwtest::copyDir(m_template.path(), data());
        m_prompts = kwtest::ScriptedPrompts();
        m_archivePrompts = ScriptedPrompts();
        Clock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(10, 30, 15)));
    }
    void cleanup() { Clock::setFixed(QDateTime()); }

    void parts()
    {
        auto dlg = dialog();
        QCOMPARE(dlg->windowTitle(), QStringLiteral("Backup / Restore"));
        QVERIFY(dlg->windowFlags().testFlag(Qt::Tool));
        const QStringList captions = {"Backup File Info", "Backup", "Restore", "Cancel"};
        const char *names[] = {"btnInfo", "btnBackup", "btnRestore", "btnCancel"};
        for (int i = 0; i < 4; ++i) {
            auto *b = part<QToolButton>(dlg.get(), names[i]);
            QCOMPARE(b->text(), captions[i]);
            QVERIFY(b->autoRaise());
            QCOMPARE(b->isEnabled(), i != 3); // Cancel only while a job can be stopped
        }
        QVERIFY(part<QToolButton>(dlg.get(), "btnInfo")->isCheckable());
        QCOMPARE(part<QGroupBox>(dlg.get(), "GroupBox1")->title(), QStringLiteral("Select a Backup Location"));
        const QStringList labels = {"User:", "Company:", "Serial number:", "Date:", "Backup name:", "Version:"};
        for (int i = 0; i < 6; ++i)
            QCOMPARE(text(dlg.get(), qPrintable(QStringLiteral("Label%1").arg(i + 1))), labels[i]);
        auto *bar = part<QProgressBar>(dlg.get(), "bar");
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 100);
        QCOMPARE(bar->parentWidget(), part<QStatusBar>(dlg.get(), "stbMain"));
        auto *fd = part<QFileDialog>(dlg.get(), "FileDlg");
        QCOMPARE(fd->windowTitle(), QStringLiteral("Backup Location"));
        QCOMPARE(fd->nameFilters(), QStringList{"Alse Backup Files (*.Alse)"});
        QCOMPARE(fd->defaultSuffix(), QStringLiteral("Alse"));

        // Shown: collapsed, the status line empty, whatever it held.
        part<QLabel>(dlg.get(), "lblMsg")->setText("old");
        dlg->show();
        QCOMPARE(dlg->size(), QSize(TfrmArchive::kClientWidth, TfrmArchive::kCollapsedHeight - TfrmArchive::kCaptionHeight));
        QVERIFY(text(dlg.get(), "lblMsg").isEmpty());
        QVERIFY(!part<QLabel>(dlg.get(), "lUser")->isVisible());
    }

    // Where the location starts: the last one used while its folder is
    // still there with something in it (an unmounted medium leaves an
    // empty folder), else the default place.
    void startLocation_data()
    {
        QTest::addColumn<QString>("remembered"); // "<out>" stands for a folder holding a file
        QTest::addColumn<bool>("kept");
        QTest::newRow("nothing remembered") << QString() << false;
        QTest::newRow("folder still there") << "<out>/Shop.Alse" << true;
        QTest::newRow("folder gone") << "<out>/gone/Shop.Alse" << false;
        QTest::newRow("empty mount folder") << "<out>/empty/Shop.Alse" << false;
    }
    void startLocation()
    {
        QFETCH(QString, remembered);
        QFETCH(bool, kept);
        remembered.replace("<out>", m_out->path());
        kwtest::writeFile(out("other.txt"), "x");
        QDir().mkpath(out("empty"));
        QObject owner;
        kw::settings::TIniOut ini(&owner);
        if (!remembered.isEmpty())
            ini.WriteRegString(kw::settings::kMainKey, TfrmArchive::locationValueName(), remembered);
        auto dlg = dialog(&ini);
        QCOMPARE(part<QLineEdit>(dlg.get(), "edFileName")->text(),
                 QDir::toNativeSeparators(kept ? remembered : defaultBackupLocation()));
    }

    // The chooser starts in the current location's folder while it exists,
    // else in Documents: never in the program's working folder.
    void fileDialog_data()
    {
        QTest::addColumn<QString>("location"); // "<out>" stands for an existing folder
        QTest::addColumn<QString>("answer");   // empty: the user cancels
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("startDir"); // "<out>" or "<docs>"
        QTest::newRow("chosen") << "<out>/Backup.Alse" << "Shop.Alse" << "<out>/Shop.Alse" << "<out>";
        QTest::newRow("cancelled") << "<out>/Backup.Alse" << QString() << "<out>/Backup.Alse" << "<out>";
        QTest::newRow("folder gone") << "<out>/gone/Backup.Alse" << "Shop.Alse" << "<out>/Shop.Alse" << "<docs>";
        QTest::newRow("bare name") << "Backup.Alse" << QString() << "Backup.Alse" << "<docs>";
    }
    void fileDialog()
    {
        QFETCH(QString, location);
        QFETCH(QString, answer);
        QFETCH(QString, expected);
        QFETCH(QString, startDir);
        auto place = [&](QString s) {
            return s.replace("<out>", m_out->path()).replace("<docs>", kw::app::documentsFolder());
        };
        auto dlg = dialog();
        setLocation(*dlg, place(location));
        QString shownDir, shownName;
        dlg->execFileDlg = [&](QFileDialog &fd) {
            shownDir = fd.directory().absolutePath();
            shownName = fd.selectedFiles().value(0);
            if (answer.isEmpty())
                return false;
            fd.selectFile(out(answer));
            return true;
        };
        part<QToolButton>(dlg.get(), "btnFileDlg")->click();
        QCOMPARE(part<QLineEdit>(dlg.get(), "edFileName")->text(), QDir::toNativeSeparators(place(expected)));
        QCOMPARE(shownDir, place(startDir));
        QVERIFY(shownDir != QDir::currentPath());
        QCOMPARE(QFileInfo(shownName).fileName(), QStringLiteral("Backup.Alse"));
    }

    void info_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message"); // empty: the information is shown
        QTest::newRow("valid backup") << "valid" << QString();
        QTest::newRow("missing file") << "missing" << "Archive %1 does not exist !";
        QTest::newRow("not an archive") << "text" << "Bad signature: file \"%1\" is not a valid archive";
        QTest::newRow("version 150") << "v150" << "This archive can not be used";
    }
    void info()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        const QString path = out("Backup.Alse");
        if (kind == "valid")
            backupWithVersion(path, 200);
        else if (kind == "v150")
            backupWithVersion(path, 150);
        else if (kind == "text")
            kwtest::writeFile(path, "not an archive at all, just some text");
        auto dlg = dialog();
        dlg->show();
        setLocation(*dlg, path);
        auto *info = part<QToolButton>(dlg.get(), "btnInfo");
        info->click();
        const QSize collapsed(TfrmArchive::kClientWidth, TfrmArchive::kCollapsedHeight - TfrmArchive::kCaptionHeight);
        const QSize expanded(TfrmArchive::kClientWidth, TfrmArchive::kExpandedHeight - TfrmArchive::kCaptionHeight);
        if (message.isEmpty()) {
            QVERIFY2(m_prompts.messages.isEmpty(), qPrintable(m_prompts.messages.join('|')));
            QVERIFY(info->isChecked());
            QCOMPARE(dlg->size(), expanded);
            QVERIFY(part<QLabel>(dlg.get(), "lUser")->isVisible());
            QCOMPARE(text(dlg.get(), "lUser"), QStringLiteral("Kitwarden User"));
            QCOMPARE(text(dlg.get(), "lCompany"), QStringLiteral("V.I. Zode"));
            QCOMPARE(text(dlg.get(), "lSerial"), QString::fromLatin1(kSerialNumber));
            QCOMPARE(text(dlg.get(), "lDate"), dateTimeText(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5))));
            QCOMPARE(text(dlg.get(), "lName"), QStringLiteral("Data Files"));
            QCOMPARE(text(dlg.get(), "lVersion"), QStringLiteral("200"));
            // The listing that follows the open reports its end.
            QCOMPARE(text(dlg.get(), "lblMsg"), QStringLiteral("Completed"));
            // Clicked again: collapsed.
            info->click();
            QVERIFY(!info->isChecked());
            QCOMPARE(dlg->size(), collapsed);
        } else {
            QCOMPARE(m_prompts.messages, QStringList{message.arg(QDir::toNativeSeparators(path))});
            QVERIFY(!info->isChecked());
            QCOMPARE(dlg->size(), collapsed);
            QVERIFY(text(dlg.get(), "lUser").isEmpty());
        }
        QVERIFY(info->isEnabled() && part<QToolButton>(dlg.get(), "btnBackup")->isEnabled());
        QCOMPARE(QFile::exists(path), kind != "missing"); // nothing created
    }

    // A backup and a restore from the File menu, with the tables closed
    // while the dialog is up; the restore brings back the backed-up rows.
    void backupThenRestoreFromTheMenu()
    {
        kw::data::Session session;
        session.setConfigFile(QDir(m_cfg->path()).filePath(QStringLiteral("engine.json")));
        kw::data::TdmMain dm(session);
        TfrmMain frm(dm);
        frm.setDataDirectory(data());
        frm.runSplash = {};
        frm.autoUpdateCheck = {};
        frm.show();
        auto *item = frm.findChild<QAction *>(QStringLiteral("BackupRestore1"));
        QVERIFY(item->isEnabled());
        const QStringList listed = kwtest::columnValues(dm.tblList, QStringLiteral("NSN"));
        QVERIFY(listed.size() > 1);
        const QString path = out("Shop.Alse");

        auto run = [&](const char *button, bool *tablesClosed, int *result) {
            const auto factory = frm.backupDialogFactory;
            frm.backupDialogFactory = [&](QWidget *owner) {
                auto *dlg = static_cast<TfrmArchive *>(factory(owner));
                dlg->setArchivePrompts(&m_archivePrompts);
                QTimer::singleShot(0, dlg, [&, dlg] {
                    *tablesClosed = !dm.tblHrdf.active() && !dm.dbMain.connected();
                    setLocation(*dlg, path);
                    part<QToolButton>(dlg, button)->click();
                    *result = dlg->isVisible() ? -1 : dlg->result();
                    if (dlg->isVisible())
                        dlg->close();
                });
                return dlg;
            };
            item->trigger();
            frm.backupDialogFactory = factory;
        };
        bool closed = false;
        int result = -2;
        // An archive already there is replaced without a question.
        kwtest::writeFile(path, "an older backup");
        run("btnBackup", &closed, &result);
        QVERIFY(closed);
        QVERIFY2(m_prompts.messages.isEmpty(), qPrintable(m_prompts.messages.join('|')));
        QVERIFY(m_prompts.questions.isEmpty() && m_archivePrompts.log.isEmpty());
        int present = 0;
        for (const QString &name : TfrmArchive::shopFiles().names())
            present += QFile::exists(QDir(data()).filePath(name));
        QVERIFY(present > 11);
        QCOMPARE(kwtest::headerOf(path).ArchiveTotals.FileCount, present);
        QCOMPARE(result, int(QDialog::Accepted)); // a completed backup closes the dialog
        // ... and says where the archive is, its size and its file count.
        QCOMPARE(m_prompts.informations.size(), 1);
        QVERIFY2(m_prompts.informations[0].startsWith(QStringLiteral("The backup is in %1: ")
                                                           .arg(QDir::toNativeSeparators(path))),
                 qPrintable(m_prompts.informations[0]));
        QVERIFY2(m_prompts.informations[0].endsWith(QStringLiteral(", %1 database files.").arg(present)),
                 qPrintable(m_prompts.informations[0]));
        QVERIFY(m_prompts.informations[0].contains(
            QLocale().formattedDataSize(QFileInfo(path).size(), 1, QLocale::DataSizeTraditionalFormat)));
        QVERIFY(dm.tblHrdf.active());
        const auto backedUp = kwtest::fileHashes(data());

        // A master-list item goes; the restore brings it back.
        dm.tblList.first();
        dm.tblList.deleteRecord();
        QCOMPARE(kwtest::columnValues(dm.tblList, QStringLiteral("NSN")).size(), listed.size() - 1);
        run("btnRestore", &closed, &result);
        QVERIFY(closed);
        QVERIFY2(m_prompts.messages.isEmpty(), qPrintable(m_prompts.messages.join('|')));
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(m_prompts.questions.size(), 1); // asked first, answered OK
        QCOMPARE(m_prompts.informations.size(), 2);
        QVERIFY2(m_prompts.informations[1].startsWith(QStringLiteral("%1 database files restored into %2.")
                                                           .arg(present)
                                                           .arg(QDir::toNativeSeparators(data()))),
                 qPrintable(m_prompts.informations[1]));
        QVERIFY(m_prompts.informations[1].contains(QStringLiteral("\"kitwarden-cli restore --undo\" puts it back.")));
        QVERIFY(dm.tblList.active());
        QCOMPARE(kwtest::columnValues(dm.tblList, QStringLiteral("NSN")), listed);
        const auto restored = kwtest::fileHashes(data());
        for (const QString &name : TfrmArchive::shopFiles().names())
            QCOMPARE(restored.value(name), backedUp.value(name));

        // The next dialog starts where the last backup went.
        kw::settings::TIniOut ini(&frm);
        TfrmArchive next(data(), &ini);
        QCOMPARE(part<QLineEdit>(&next, "edFileName")->text(), QDir::toNativeSeparators(path));
        frm.close();
    }

    // Before a restore replaces the database it shows the backup's date,
    // creator and file count and asks; a no touches nothing (not even a copy
    // of the files is taken).
    void restoreAsksFirst_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("answered no") << false;
        QTest::newRow("answered yes") << true;
    }
    void restoreAsksFirst()
    {
        QFETCH(bool, yes);
        const QString path = backupWithVersion(out("Backup.Alse"), 200);
        const int files = kwtest::headerOf(path).ArchiveTotals.FileCount;
        kwtest::writeFile(QDir(data()).filePath(QStringLiteral("Hrdf.DB")), "changed since the backup");
        const auto before = kwtest::fileHashes(data());
        const QStringList entries = QDir(data()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        auto dlg = dialog();
        dlg->show();
        setLocation(*dlg, path);
        m_prompts.answers = {yes};
        QTest::mouseClick(part<QToolButton>(dlg.get(), "btnRestore"), Qt::LeftButton);
        QCOMPARE(m_prompts.questions.size(), 1);
        const QString q = m_prompts.questions[0];
        QVERIFY2(q.startsWith(QStringLiteral("Restore the backup %1, made %2 by Kitwarden User, V.I. Zode (version 200), "
                                             "with %3 database files?")
                                  .arg(QDir::toNativeSeparators(path),
                                       dateTimeText(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5))))
                                  .arg(files)),
                 qPrintable(q));
        QVERIFY(q.contains(QDir::toNativeSeparators(data())));
        QVERIFY2(m_prompts.messages.isEmpty(), qPrintable(m_prompts.messages.join('|')));
        if (!yes) {
            QCOMPARE(kwtest::fileHashes(data()), before);
            QCOMPARE(QDir(data()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), entries);
            QVERIFY(m_prompts.informations.isEmpty());
            QVERIFY(dlg->isVisible());
            return;
        }
        QVERIFY(dlg->lastRestore().complete());
        QVERIFY(kwtest::fileHashes(data()).value(QStringLiteral("Hrdf.DB")) != before.value(QStringLiteral("Hrdf.DB")));
        QCOMPARE(m_prompts.informations, QStringList{restoreDoneText(dlg->lastRestore(), data())});
        QVERIFY(m_prompts.informations[0].startsWith(QStringLiteral("%1 database files restored").arg(files)));
        QVERIFY(!dlg->isVisible());
    }

    // Archives the program must not restore from: the message, and not one
    // file of the data directory touched (no copy kept either).
    void refusedRestore_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("version 150") << "v150" << "This archive can not be used";
        QTest::newRow("missing file") << "missing" << "Archive %1 does not exist !";
        QTest::newRow("not an archive") << "text" << "Bad signature: file \"%1\" is not a valid archive";
    }
    void refusedRestore()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        const QString path = out("Old.Alse");
        if (kind == "v150")
            backupWithVersion(path, 150);
        else if (kind == "text")
            kwtest::writeFile(path, "not an archive at all, just some text");
        const auto before = kwtest::fileHashes(data());
        const QStringList entries = QDir(data()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        auto dlg = dialog();
        dlg->show();
        setLocation(*dlg, path);
        part<QToolButton>(dlg.get(), "btnRestore")->click();
        QCOMPARE(m_prompts.messages, QStringList{message.arg(QDir::toNativeSeparators(path))});
        QVERIFY(m_prompts.questions.isEmpty());
        QVERIFY(dlg->isVisible());
        QCOMPARE(kwtest::fileHashes(data()), before);
        QCOMPARE(QDir(data()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), entries);
    }

    // Targets a backup must not write: the reason, the dialog stays, the
    // data directory is as it was.
    void refusedBackup_data()
    {
        QTest::addColumn<QString>("location"); // "<data>" stands for the data directory
        QTest::addColumn<QString>("message");
        QTest::newRow("no location") << "" << applicationMessages()[Msg::FileNameNeeded];
        QTest::newRow("a database file") << "<data>/hrdf.db"
                                         << "\"<data>/hrdf.db\" is a database file: a backup there would destroy it. "
                                            "Choose another file name or folder.";
        QTest::newRow("a folder") << "<data>" << "\"<data>\" exists and is not a regular file: a backup cannot replace it.";
    }
    void refusedBackup()
    {
        QFETCH(QString, location);
        QFETCH(QString, message);
        location.replace("<data>", data());
        message.replace("<data>", QDir::toNativeSeparators(data()));
        const auto before = kwtest::fileHashes(data());
        auto dlg = dialog();
        dlg->show();
        setLocation(*dlg, location);
        part<QToolButton>(dlg.get(), "btnBackup")->click();
        QCOMPARE(m_prompts.messages, QStringList{message});
        QVERIFY(dlg->isVisible());
        QCOMPARE(kwtest::fileHashes(data()), before);
    }

    void cancelledBackupKeepsThePreviousOne()
    {
        const QString path = out("Backup.Alse");
        backupWithVersion(path, 200);
        const QByteArray previous = kwtest::readFile(path);
        auto dlg = dialog();
        dlg->show();
        setLocation(*dlg, path);
        const BusyView v = clickAndWatch(*dlg, "btnBackup", TOperation::opAdd,
                                         [&] { part<QToolButton>(dlg.get(), "btnCancel")->click(); });
        QVERIFY(v.seen);
        QCOMPARE(v.status, QStringLiteral("Backing up..."));
        QVERIFY(!v.backupOn && !v.restoreOn && !v.infoOn);
        QVERIFY(v.cancelOn);
        QCOMPARE(v.closeMessages, QStringList{"There's an operation in progress."});
        QVERIFY(v.stillOpenAfterClose);

        QVERIFY(dlg->lastBackup().cancelled);
        QVERIFY(dlg->isVisible());
        QCOMPARE(m_prompts.messages, v.closeMessages); // a cancel says nothing more
        QCOMPARE(text(dlg.get(), "lblMsg"), QStringLiteral("Completed"));
        QCOMPARE(part<QProgressBar>(dlg.get(), "bar")->value(), 0);
        QVERIFY(!part<QToolButton>(dlg.get(), "btnCancel")->isEnabled());
        QVERIFY(part<QToolButton>(dlg.get(), "btnBackup")->isEnabled());
        QCOMPARE(kwtest::readFile(path), previous);
        QCOMPARE(QDir(m_out->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{"Backup.Alse"});
        // Not busy any more: the dialog closes.
        dlg->close();
        QVERIFY(!dlg->isVisible());
    }

    // A restore stopped part-way leaves a mix of old and new tables: the
    // user is offered the files from before, and gets them back.
    void cancelledRestoreOffersTheFilesFromBefore_data()
    {
        QTest::addColumn<bool>("putBack");
        QTest::newRow("put back") << true;
        QTest::newRow("kept as left") << false;
    }
    void cancelledRestoreOffersTheFilesFromBefore()
    {
        QFETCH(bool, putBack);
        const QString path = backupWithVersion(out("Backup.Alse"), 200);
        // The data changes after the backup, so the restore replaces files.
        for (const QString &name : TfrmArchive::shopFiles().names())
            if (QFile::exists(QDir(data()).filePath(name)))
                kwtest::writeFile(QDir(data()).filePath(name), "changed " + name.toUtf8());
        const auto before = kwtest::fileHashes(data());
        auto dlg = dialog();
        dlg->show();
        setLocation(*dlg, path);
        // Stopped once a few files are back.
        int replacedAtCancel = -1;
        dlg->Archiver1.OnFileExtracted = [&](const TFileEntry &, const QString &) {
            if (++replacedAtCancel == 3)
                part<QToolButton>(dlg.get(), "btnCancel")->click();
        };
        m_prompts.answers = {true, putBack}; // restore, then put back or not
        const BusyView v = clickAndWatch(*dlg, "btnRestore", TOperation::opExtract, [] {});
        QVERIFY(v.seen);
        QCOMPARE(v.status, QStringLiteral("Restoring..."));
        QVERIFY(!v.backupOn && !v.restoreOn && !v.infoOn && v.cancelOn);
        QCOMPARE(v.closeMessages, QStringList{"There's an operation in progress."});
        QVERIFY(dlg->lastRestore().cancelled);
        QVERIFY(dlg->lastRestore().touched);
        QCOMPARE(m_prompts.questions.size(), 2);
        QVERIFY(m_prompts.questions[0].startsWith("Restore the backup "));
        QVERIFY2(m_prompts.questions[1].endsWith("Put the database files from before this restore back now?"),
                 qPrintable(m_prompts.questions[1]));
        QVERIFY(m_prompts.informations.isEmpty()); // it did not complete
        QVERIFY(dlg->isVisible());
        const auto after = kwtest::fileHashes(data());
        int same = 0;
        for (const QString &name : before.keys())
            same += after.value(name) == before.value(name);
        if (putBack)
            QCOMPARE(same, before.size());
        else
            QCOMPARE(same, before.size() - dlg->lastRestore().restored.size());
        QCOMPARE(m_prompts.messages, v.closeMessages);
    }
};

QTEST_MAIN(TstFrmArchive)
#include "tst_frmarchive.moc"
