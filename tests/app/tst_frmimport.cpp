// The import dialog driven headless, on its own and from the main window's
// menu item: its parts, the missing alias, a completed and a failed import.
#include "app/apperror.h"
#include "app/frmimport.h"
#include "app/frmmain.h"
#include "marrowbyfixture.h"
#include "shopfixture.h"

#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using namespace kw::app;
using namespace kw::data;
using kwtest::ScriptedPrompts;

class TstFrmImport : public QObject {
    Q_OBJECT

    QTemporaryDir m_template; // the filled shop, copied for every test
    std::unique_ptr<QTemporaryDir> m_data, m_marrowby, m_cfg;
    std::unique_ptr<Session> m_session;
    std::unique_ptr<TdmMain> m_dm;
    ScriptedPrompts m_prompts;
    QStringList m_opened; // logs shown

    QString data() const { return m_data->path(); }

    template <class T> static T *part(QWidget *w, const char *name)
    {
        T *p = w->findChild<T *>(QLatin1String(name));
        if (!p)
            qFatal("no %s", name);
        return p;
    }

    static kwtest::Marrowby predecessor()
    {
        kwtest::Marrowby m;
        m.holders = {{11, QStringLiteral("Able")}, {12, QStringLiteral("O'Neil")}, {12, QStringLiteral("Baker")}};
        m.master = {{"8465-01-111-1111", "V11111", "VEST, SURVIVAL", "EA", "2", "Y", "1"}};
        m.items = {{11, "8465-01-111-1111", "VEST, SURVIVAL", "V-9", "new"}};
        m.kits = {{"90-26001", "SKIT", "K-1", "LOT 7", QDate(2027, 1, 1), "180", "D", QDate(2027, 3, 1)}};
        return m;
    }

    // The main window started on the shop, with m as the predecessor.
    std::unique_ptr<TfrmMain> startWith(const kwtest::Marrowby &m)
    {
        m.write(m_marrowby->path());
        m_session->config().setAlias(QStringLiteral("Marrowby"), m_marrowby->path());
        auto frm = std::make_unique<TfrmMain>(*m_dm);
        frm->setDataDirectory(data());
        frm->runSplash = {};
        frm->autoUpdateCheck = {};
        frm->show();
        return frm;
    }

    // Runs the menu item; answer(dialog) plays the user while it is shown.
    void runFromMenu(TfrmMain &frm, const std::function<void(TfrmImport &)> &answer)
    {
        bool answered = false;
        const auto factory = frm.importDialogFactory;
        frm.importDialogFactory = [&](QWidget *owner) {
            auto *dlg = static_cast<TfrmImport *>(factory(owner));
            dlg->options.today = QDate(2026, 12, 9);
            dlg->options.shortDateFormat = QStringLiteral("d/M/yyyy");
            dlg->openLog = [this](const QString &path) {
                m_opened << path;
                return true;
            };
            QTimer::singleShot(0, dlg, [&answered, dlg, answer] {
                answered = true;
                answer(*dlg);
            });
            return dlg;
        };
        frm.findChild<QAction *>(QStringLiteral("Import1"))->trigger();
        frm.importDialogFactory = factory;
        QVERIFY(answered);
    }

private slots:
    void initTestCase()
    {
        setPrompts(&m_prompts);
        Session s;
        TdmMain dm(s);
        kwtest::fillShop(dm, m_template.path());
    }
    void cleanupTestCase() { setPrompts(nullptr); }
    void init()
    {
        m_data = std::make_unique<QTemporaryDir>();
        m_marrowby = std::make_unique<QTemporaryDir>();
        m_cfg = std::make_unique<QTemporaryDir>();
        kwtest::copyDir(m_template.path(), data());
        m_session = std::make_unique<Session>();
        m_session->setConfigFile(QDir(m_cfg->path()).filePath(QStringLiteral("engine.json")));
        m_dm = std::make_unique<TdmMain>(*m_session);
        m_prompts = ScriptedPrompts();
        m_opened.clear();
    }
    void cleanup()
    {
        m_dm.reset();
        m_session.reset();
    }

    void parts()
    {
        TfrmImport dlg(*m_session, data());
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Import Options"));
        QVERIFY(dlg.windowFlags().testFlag(Qt::Tool));
        QVERIFY(dlg.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        auto *import = part<QToolButton>(&dlg, "btnImport");
        auto *cancel = part<QToolButton>(&dlg, "btnCancel");
        QCOMPARE(import->text(), QStringLiteral("Import"));
        QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
        QVERIFY(import->autoRaise() && cancel->autoRaise());
        auto *status = part<QLabel>(&dlg, "lblStatus");
        QCOMPARE(status->text().split(QLatin1Char('\n')),
                 (QStringList{"Items with blank NSN's will not be Imported.", "Please ensure your Marrowby items all have",
                              "unique NSN's assigned in the Master List",
                              "before continuing with this import utility."}));
        QVERIFY(status->font().bold());
        QCOMPARE(status->font().pointSize(), 10);
        QCOMPARE(status->font().family(), QStringLiteral("Tahoma"));
        QCOMPARE(status->palette().color(QPalette::WindowText), dlg.palette().color(QPalette::Highlight));
        for (const char *name : {"barPart", "barTotal"}) {
            auto *bar = part<QProgressBar>(&dlg, name);
            QVERIFY(bar->isHidden());
            QCOMPARE(bar->minimum(), 0);
            QCOMPARE(bar->maximum(), 100);
        }
        dlg.show();
        QVERIFY(import->x() < cancel->x());
        // Cancel only closes.
        cancel->click();
        QVERIFY(!dlg.isVisible());
    }

    void noAliasChangesNothing()
    {
        predecessor().write(m_marrowby->path());
        m_session->config().setAlias(QStringLiteral("marrowby"), m_marrowby->path()); // not the exact name
        const auto before = kwtest::fileHashes(data());
        TfrmImport dlg(*m_session, data());
        dlg.openLog = [this](const QString &p) {
            m_opened << p;
            return true;
        };
        part<QToolButton>(&dlg, "btnImport")->click();
        QCOMPARE(m_prompts.messages, QStringList{"Marrowby does not appear to be on your system.\n"
                                                 "Please contact Support if you think this an error."});
        QCOMPARE(kwtest::fileHashes(data()), before);
        QVERIFY(m_opened.isEmpty());
        QVERIFY(part<QProgressBar>(&dlg, "barTotal")->isHidden());
        QCOMPARE(part<QToolButton>(&dlg, "btnCancel")->text(), QStringLiteral("Cancel"));
    }

    // Before it changes anything the import says what it replaces, with
    // the counts of both sides, and asks; a no changes nothing, here or in
    // Marrowby's files. A log that no viewer shows is pointed to, as
    // information.
    void importAsksFirst_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("viewerOpens");
        QTest::newRow("answered no") << false << true;
        QTest::newRow("answered yes") << true << true;
        QTest::newRow("answered yes, no viewer for the log") << true << false;
    }
    void importAsksFirst()
    {
        QFETCH(bool, yes);
        QFETCH(bool, viewerOpens);
        const kwtest::Marrowby m = predecessor();
        m.write(m_marrowby->path());
        m_session->config().setAlias(QStringLiteral("Marrowby"), m_marrowby->path());
        const auto shopBefore = kwtest::fileHashes(data());
        const auto marrowbyBefore = kwtest::fileHashes(m_marrowby->path());
        m_dm->dbMain.setParam(QStringLiteral("PATH"), data()); // as the main window sets it
        TfrmImport dlg(*m_session, data());
        dlg.company = QStringLiteral("HHC 1-150");
        dlg.openLog = [&](const QString &p) {
            m_opened << p;
            return viewerOpens;
        };
        m_prompts.answers = {yes};
        dlg.show();
        QTest::mouseClick(part<QToolButton>(&dlg, "btnImport"), Qt::LeftButton);
        // Asked once, with both sides counted: the shop's 3 holders, 3
        // items and no kits, the predecessor's 2 holders (12 is consolidated).
        QCOMPARE(m_prompts.questions.size(), 1);
        const QString q = m_prompts.questions[0];
        QVERIFY2(q.startsWith(QStringLiteral("The import replaces 3 holders, ")), qPrintable(q));
        QVERIFY2(q.contains(QStringLiteral("the company name \"HHC 1-150\" with Marrowby's 2 holders, 1 item, "
                                           "1 aircraft, 1 kit and \"%1\".").arg(m.title)),
                 qPrintable(q));
        QVERIFY(q.contains(QStringLiteral("The master list and the kit types are kept and added to.")));
        const QString log = QDir(data()).filePath(QStringLiteral("Import.txt"));
        if (!yes) {
            QCOMPARE(kwtest::fileHashes(data()), shopBefore);
            QCOMPARE(kwtest::fileHashes(m_marrowby->path()), marrowbyBefore);
            QVERIFY(m_opened.isEmpty());
            QVERIFY(part<QProgressBar>(&dlg, "barTotal")->isHidden());
            QCOMPARE(part<QToolButton>(&dlg, "btnCancel")->text(), QStringLiteral("Cancel"));
            QVERIFY(m_prompts.messages.isEmpty() && m_prompts.informations.isEmpty());
            return;
        }
        QVERIFY2(dlg.lastReport().completed, qPrintable(dlg.lastReport().error));
        QCOMPARE(dlg.lastReport().holders, 2);
        QCOMPARE(m_opened, QStringList{log});
        // Nothing went wrong: no error box, whether or not the log showed.
        QVERIFY2(m_prompts.messages.isEmpty(), qPrintable(m_prompts.messages.join(u'|')));
        QCOMPARE(m_prompts.informations,
                 viewerOpens ? QStringList{}
                             : QStringList{QStringLiteral("The import completed. Its log is in %1.")
                                               .arg(QDir::toNativeSeparators(log))});
    }

    void importFromTheMenu()
    {
        const kwtest::Marrowby m = predecessor();
        auto window = startWith(m);
        TfrmMain &frm = *window;
        QVERIFY(frm.findChild<QAction *>(QStringLiteral("Import1"))->isEnabled());
        bool tablesClosed = false;
        QString cancelCaption, status;
        int total = 0;
        bool barsOverStatus = false;
        runFromMenu(frm, [&](TfrmImport &dlg) {
            tablesClosed = !m_dm->tblHrdf.active() && !m_dm->dbMain.connected();
            part<QToolButton>(&dlg, "btnImport")->click();
            cancelCaption = part<QToolButton>(&dlg, "btnCancel")->text();
            status = part<QLabel>(&dlg, "lblStatus")->text();
            total = part<QProgressBar>(&dlg, "barTotal")->isVisible() ? part<QProgressBar>(&dlg, "barTotal")->value() : -1;
            // The bars lie over the lower part of the status text.
            const QRect text = part<QLabel>(&dlg, "lblStatus")->geometry();
            const QRect upper = part<QProgressBar>(&dlg, "barPart")->geometry();
            const QRect lower = part<QProgressBar>(&dlg, "barTotal")->geometry();
            barsOverStatus = upper.top() > text.top() + text.height() / 3 && upper.bottom() < lower.top()
                             && lower.bottom() <= text.bottom() && text.contains(upper) && text.contains(lower);
            part<QToolButton>(&dlg, "btnCancel")->click();
        });
        QVERIFY(tablesClosed);
        QVERIFY2(m_prompts.messages.isEmpty(), qPrintable(m_prompts.messages.join(u'|')));
        QCOMPARE(cancelCaption, QStringLiteral("Close"));
        QCOMPARE(status, QStringLiteral("Complete"));
        QCOMPARE(total, 100);
        QVERIFY(barsOverStatus);
        QCOMPARE(m_opened, QStringList{QDir(data()).filePath(QStringLiteral("Import.txt"))});
        QCOMPARE(frm.setupTexts().Company, m.title);
        // The tables are open again and show the imported holders.
        QVERIFY(m_dm->tblHrdf.active());
        QCOMPARE(kwtest::columnValues(m_dm->tblHrdf, QStringLiteral("HR Number")), (QStringList{"11", "12"}));
        QVERIFY(kwtest::columnValues(m_dm->tblHrdf, QStringLiteral("HR Holder")).value(1).startsWith("! "));
        frm.close();
    }

    void failedImportFromTheMenu()
    {
        kwtest::Marrowby m = predecessor();
        m.leaveOut = {QStringLiteral("CWX.DBF")};
        auto window = startWith(m);
        TfrmMain &frm = *window;
        const QString company = frm.setupTexts().Company;
        QString cancelCaption;
        runFromMenu(frm, [&](TfrmImport &dlg) {
            part<QToolButton>(&dlg, "btnImport")->click();
            cancelCaption = part<QToolButton>(&dlg, "btnCancel")->text();
            part<QToolButton>(&dlg, "btnCancel")->click();
        });
        QCOMPARE(cancelCaption, QStringLiteral("Cancel"));
        QCOMPARE(m_prompts.messages.size(), 1);
        QVERIFY2(m_prompts.messages[0].contains(QStringLiteral("CWX.DBF")), qPrintable(m_prompts.messages[0]));
        QVERIFY(m_prompts.messages[0].endsWith(QStringLiteral("The import did not complete. Nothing was changed.")));
        // The log is shown all the same, and the shop is as it was.
        QCOMPARE(m_opened.size(), 1);
        QCOMPARE(frm.setupTexts().Company, company);
        QVERIFY(m_dm->tblHrdf.active());
        QCOMPARE(kwtest::columnValues(m_dm->tblHrdf, QStringLiteral("HR Number")), (QStringList{"1", "2", "3"}));
        frm.close();
    }
};

QTEST_MAIN(TstFrmImport)
#include "tst_frmimport.moc"
