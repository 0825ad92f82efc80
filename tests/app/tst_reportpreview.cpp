// The print preview driven headless (each test closes the modal window from
// a timer once it is up), and the two print buttons of the hand receipts
// page. With KW_SCREENSHOT_DIR set, the preview and the page are also saved
// as PNG files there, to be looked at.
#include "app/apperror.h"
#include "app/frmmain.h"
#include "app/pages/inspectionspage.h"
#include "app/pages/page.h"
#include "app/pages/handreceiptpage.h"
#include "app/preview/pageview.h"
#include "app/preview/reportpreview.h"
#include "app/printsetup.h"
#include "reports/exports.h"
#include "reports/hrdfreport.h"
#include "reports/layout.h"
#include "shopfixture.h"
#include "../reports/reportfixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>
#include <QTabBar>
#include <QtTest>

using namespace kw::app;
using namespace kw::reports;

namespace {

// Runs check on the preview once it is up (and, unless duringLayout, laid
// out), then closes it, whatever check found.
void onPreview(QObject *ctx, std::function<void(TReportPreview &)> check, bool duringLayout = false)
{
    auto *timer = new QTimer(ctx);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, ctx, [timer, check, duringLayout] {
        auto *p = qobject_cast<TReportPreview *>(QApplication::activeModalWidget());
        if (!p || !p->isVisible() || (!duringLayout && p->layingOut()) || p->document().pageCount() == 0)
            return;
        timer->stop();
        timer->deleteLater();
        auto close = qScopeGuard([p] { p->reject(); });
        check(*p);
    });
    timer->start();
}

template <class T> T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QLatin1String(name));
    if (!c)
        qFatal("no %s", name);
    return c;
}

void screenshot(QWidget *w, const QString &name)
{
    const QString dir = qEnvironmentVariable("KW_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        w->grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

// Every text of a document, page by page.
QStringList allTexts(const ReportDocument &doc)
{
    QStringList out;
    for (int p = 0; p < doc.pageCount(); ++p)
        out += kwtest::pageTexts(doc, p);
    return out;
}

} // namespace

class TstReportPreview : public QObject {
    Q_OBJECT
    QTemporaryDir m_cfg, m_out;
    kwtest::ScriptedPrompts m_prompts;
    std::unique_ptr<kwtest::ReportShop> m_shop; // 300 holders: three pages
    PrintSetup m_setup;

    // A preview of the holders list that its test drives.
    void runHolders(std::function<void(TReportPreview &)> check, std::function<void(TReportPreview &)> prepare = {})
    {
        THrdfReport report(m_shop->dm);
        report.setCaption(QStringLiteral("lblCompany"), QStringLiteral("B Co 2-10 AVN"));
        TReportPreview preview(m_setup);
        if (prepare)
            prepare(preview);
        onPreview(this, check);
        preview.previewReport(report);
    }

private slots:
    void initTestCase()
    {
        qputenv("KITWARDEN_CONFIG_DIR", m_cfg.path().toLocal8Bit());
        setPrompts(&m_prompts);
        kw::data::Clock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(10, 30)));
        m_shop = std::make_unique<kwtest::ReportShop>();
        m_shop->holders(300);
        m_shop->open({&m_shop->dm.tblHrdf});
    }

    void cleanupTestCase() { m_shop.reset(); }

    void firstPageWhileLayingOut()
    {
        bool layingOut = false, printEnabled = true;
        int shown = -1;
        THrdfReport report(m_shop->dm);
        TReportPreview preview(m_setup);
        onPreview(this, [&](TReportPreview &p) {
            layingOut = p.layingOut();
            shown = p.currentPage();
            printEnabled = child<QToolButton>(&p, "btnPrint")->isEnabled();
        }, true);
        preview.previewReport(report);
        QVERIFY(layingOut);
        QCOMPARE(shown, 0);
        QVERIFY(!printEnabled); // nothing prints a half-laid-out report
        // Closing the window stopped the layout: fewer pages than the report has.
        QVERIFY(preview.document().pageCount() < layoutReport(report).pageCount());
    }

    void captionAndPages()
    {
        runHolders([](TReportPreview &p) {
            QCOMPARE(p.windowTitle(), QStringLiteral("Kitwarden Hand Receipt Numbers"));
            QCOMPARE(p.document().pageCount(), 3);
            QCOMPARE(child<QLabel>(&p, "lblPages")->text(), QStringLiteral("of 3"));
            QVERIFY(child<QToolButton>(&p, "btnPrint")->isEnabled());
            QCOMPARE(child<QListView>(&p, "lstThumbs")->model()->rowCount(), 3);
            screenshot(&p, QStringLiteral("preview-holders"));
        });
    }

    void navigation_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("page");
        QTest::newRow("next twice") << QStringList{"btnNext", "btnNext"} << 2;
        QTest::newRow("last, then previous") << QStringList{"btnLast", "btnPrior"} << 1;
        QTest::newRow("next, then first") << QStringList{"btnNext", "btnFirst"} << 0;
        QTest::newRow("go to page 3") << QStringList{"edPage=3"} << 2;
        QTest::newRow("go to page 9 stops at the last") << QStringList{"edPage=9"} << 2;
        QTest::newRow("page down, page down, page up") << QStringList{"PgDn", "PgDn", "PgUp"} << 1;
        QTest::newRow("end, home") << QStringList{"End", "Home"} << 0;
        QTest::newRow("thumbnail of page 2") << QStringList{"thumb=1"} << 1;
    }

    void navigation()
    {
        QFETCH(QStringList, steps);
        QFETCH(int, page);
        runHolders([&](TReportPreview &p) {
            for (const QString &s : steps) {
                if (s.startsWith(QLatin1String("edPage=")))
                    child<QSpinBox>(&p, "edPage")->setValue(s.mid(7).toInt());
                else if (s.startsWith(QLatin1String("thumb="))) {
                    auto *list = child<QListView>(&p, "lstThumbs");
                    const QRect r = list->visualRect(list->model()->index(s.mid(6).toInt(), 0));
                    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
                } else if (s == QLatin1String("PgDn"))
                    QTest::keyClick(&p, Qt::Key_PageDown);
                else if (s == QLatin1String("PgUp"))
                    QTest::keyClick(&p, Qt::Key_PageUp);
                else if (s == QLatin1String("End"))
                    QTest::keyClick(&p, Qt::Key_End);
                else if (s == QLatin1String("Home"))
                    QTest::keyClick(&p, Qt::Key_Home);
                else
                    child<QToolButton>(&p, qPrintable(s))->click();
            }
            QCOMPARE(p.currentPage(), page);
            QCOMPARE(child<QSpinBox>(&p, "edPage")->value(), page + 1);
            QCOMPARE(child<QToolButton>(&p, "btnPrior")->isEnabled(), page > 0);
            QCOMPARE(child<QToolButton>(&p, "btnNext")->isEnabled(), page < 2);
            QCOMPARE(child<QListView>(&p, "lstThumbs")->currentIndex().row(), page);
        });
    }

    void zoom_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("percent"); // expected zoom; 0 = a fit, checked by size
        QTest::newRow("100 %") << "100" << 100;
        QTest::newRow("zoom in from 100 %") << "100,in" << 125;
        QTest::newRow("zoom out from 100 %") << "100,out" << 75;
        QTest::newRow("Ctrl+wheel up") << "100,wheel+" << 125;
        QTest::newRow("Ctrl+wheel down") << "100,wheel-" << 75;
        QTest::newRow("typed 130") << "130" << 130;
        QTest::newRow("not below 10 %") << "10,out" << 10;
        QTest::newRow("whole page") << "whole" << 0;
        QTest::newRow("page width") << "width" << 0;
    }

    void zoom()
    {
        QFETCH(QString, action);
        QFETCH(int, percent);
        runHolders([&](TReportPreview &p) {
            auto *view = child<PageView>(&p, "pageView");
            for (const QString &a : action.split(QLatin1Char(','))) {
                if (a == QLatin1String("in"))
                    child<QToolButton>(&p, "btnZoomIn")->click();
                else if (a == QLatin1String("out"))
                    child<QToolButton>(&p, "btnZoomOut")->click();
                else if (a.startsWith(QLatin1String("wheel"))) {
                    QWheelEvent e(QPointF(50, 50), view->mapToGlobal(QPointF(50, 50)), QPoint(),
                                  QPoint(0, a.endsWith(QLatin1Char('+')) ? 120 : -120), Qt::NoButton,
                                  Qt::ControlModifier, Qt::NoScrollPhase, false);
                    QApplication::sendEvent(view->viewport(), &e);
                } else if (a == QLatin1String("whole"))
                    child<QComboBox>(&p, "cbZoom")->activated(0);
                else if (a == QLatin1String("width"))
                    child<QComboBox>(&p, "cbZoom")->activated(1);
                else
                    p.setZoomPercent(a.toInt());
            }
            const QSize port = view->viewport()->size();
            const QRect page = view->pageRect();
            if (percent) {
                QCOMPARE(qRound(view->zoom() * 100), percent);
                QCOMPARE(page.width(), qRound(816 * view->logicalDpiX() / 96.0 * percent / 100));
            } else if (action == QLatin1String("whole")) {
                QVERIFY(page.width() <= port.width() && page.height() <= port.height());
                QVERIFY(page.width() > port.width() - 40 || page.height() > port.height() - 40);
            } else {
                QVERIFY(page.width() <= port.width() && page.width() > port.width() - 40);
            }
        });
    }

    void find()
    {
        runHolders([](TReportPreview &p) {
            // Independent count: items holding the text, any case.
            int expected = 0;
            for (const QString &t : allTexts(p.document()))
                expected += int(t.count(QStringLiteral("holder 01"), Qt::CaseInsensitive));
            QVERIFY(expected > 10);
            QTest::keyClicks(child<QLineEdit>(&p, "edFind"), QStringLiteral("holder 01"));
            QCOMPARE(p.hitCount(), expected);
            QCOMPARE(p.currentHit(), 0);
            QCOMPARE(child<QLabel>(&p, "lblFind")->text(), QStringLiteral("1 of %1").arg(expected));
            QCOMPARE(p.currentPage(), 0); // Holder 0100
            // The last hit (Holder 0199) is on page 2; previous from the first wraps to it.
            child<QToolButton>(&p, "btnFindPrior")->click();
            QCOMPARE(p.currentHit(), expected - 1);
            QCOMPARE(p.currentPage(), 1);
            child<QToolButton>(&p, "btnFindNext")->click();
            QCOMPARE(p.currentHit(), 0);
            QCOMPARE(p.currentPage(), 0);
            screenshot(&p, QStringLiteral("preview-find"));
            child<QLineEdit>(&p, "edFind")->setText(QStringLiteral("no such text"));
            QCOMPARE(p.hitCount(), 0);
            QCOMPARE(child<QLabel>(&p, "lblFind")->text(), QStringLiteral("Not found"));
        });
    }

    void printPageRange_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("pages");
        QTest::newRow("all pages") << 0 << 0 << 3;
        QTest::newRow("page 2 only") << 2 << 2 << 1;
        QTest::newRow("pages 2 to 9") << 2 << 9 << 2;
    }

    void printPageRange()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(int, pages);
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext not installed");
        const QString pdf = m_out.filePath(QStringLiteral("printed-%1-%2.pdf").arg(from).arg(to));
        QPrinter &printer = m_setup.printer();
        printer.setPageSize(QPageSize(QPageSize::A4));
        const QPageLayout before = printer.pageLayout();
        ReportDocument shown;
        int asked = 0;
        runHolders([&](TReportPreview &p) {
            shown = p.document();
            child<QToolButton>(&p, "btnPrint")->click();
        }, [&](TReportPreview &p) {
            p.askPrint = [&](QPrinter &pr, int count, int *f, int *t) {
                asked = count;
                pr.setOutputFormat(QPrinter::PdfFormat);
                pr.setOutputFileName(pdf);
                *f = from;
                *t = to;
                return true;
            };
        });
        printer.setOutputFileName(QString());
        QCOMPARE(asked, 3);
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished());
        const QStringList printedPages = QString::fromUtf8(text.readAllStandardOutput()).split(QLatin1Char('\f'),
                                                                                              Qt::SkipEmptyParts);
        QCOMPARE(printedPages.size(), pages);
        const int first = from ? from - 1 : 0;
        const QString sample = kwtest::pageTexts(shown, first).filter(QStringLiteral("Holder ")).first();
        QVERIFY(printedPages.first().contains(sample));
        // The user's set-up stays for the next report.
        QVERIFY(printer.pageLayout().isEquivalentTo(before));
    }

    void pageSetupLaysOutAgain_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("legal paper accepted") << true;
        QTest::newRow("cancelled") << false;
    }

    void pageSetupLaysOutAgain()
    {
        QFETCH(bool, accept);
        PrintSetup setup;
        setup.printer().setPageSize(QPageSize(QPageSize::Letter));
        THrdfReport report(m_shop->dm);
        TReportPreview preview(setup);
        preview.askPageSetup = [&](QPrinter &pr) {
            if (!accept)
                return false;
            pr.setPageSize(QPageSize(QPageSize::Legal));
            return true;
        };
        int before = 0, after = 0, height = 0;
        onPreview(this, [&](TReportPreview &p) {
            // Holders on page 1: the longer paper holds more.
            before = int(kwtest::pageTexts(p.document(), 0).filter(QStringLiteral("Holder ")).size());
            QCOMPARE(p.document().pageCount(), 3);
            p.goToPage(2);
            child<QToolButton>(&p, "btnPageSetup")->click();
            after = int(kwtest::pageTexts(p.document(), 0).filter(QStringLiteral("Holder ")).size());
            height = p.document().page.paperHeight;
            QCOMPARE(p.currentPage(), 2); // the page shown stays
        });
        preview.previewReport(report);
        QCOMPARE(before, 108);
        QCOMPARE(setup.pageChosen(), accept);
        QCOMPARE(height, accept ? 14 * 96 : 11 * 96);
        QCOMPARE(after, accept ? 144 : 108);
    }

    void saveAndOpen_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("start");
        QTest::newRow("report file") << "saved.kwr" << QByteArray("KWREPORT");
        QTest::newRow("PDF") << "saved.pdf" << QByteArray("%PDF-");
        QTest::newRow("text") << "saved.txt" << QByteArray("Printed: ");
        QTest::newRow("CSV") << "saved.csv" << QByteArray("Printed: ");
        QTest::newRow("HTML") << "saved.html" << QByteArray("<!DOCTYPE html>");
    }

    void saveAndOpen()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, start);
        const QString path = m_out.filePath(file);
        ReportDocument shown, reopened;
        bool openable = file.endsWith(QLatin1String(".kwr"));
        runHolders([&](TReportPreview &p) {
            shown = p.document();
            child<QToolButton>(&p, "btnSave")->click();
            if (openable) {
                child<QToolButton>(&p, "btnOpen")->click();
                reopened = p.document();
                // A report file is not laid out again by a page set-up.
                p.askPageSetup = [](QPrinter &pr) {
                    pr.setPageSize(QPageSize(QPageSize::Legal));
                    return true;
                };
                p.pageSetup();
                QVERIFY(p.document() == reopened);
            }
        }, [&](TReportPreview &p) {
            p.chooseFile = [&](bool, const QString &, const QString &) { return path; };
        });
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.read(start.size()) == start);
        if (openable)
            QVERIFY(reopened == shown);
    }

    // The save dialog starts in Documents, then in the folder last saved to.
    void saveDialogFolders()
    {
        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("HOME");
        auto restore = qScopeGuard([&] { qputenv("HOME", oldHome); });
        qputenv("HOME", home.path().toLocal8Bit());
        QVERIFY(QDir(home.path()).mkpath(QStringLiteral("Documents")) && QDir(home.path()).mkpath(QStringLiteral("exports")));
        const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QCOMPARE(docs, home.filePath(QStringLiteral("Documents")));
        QStringList shownDirs;
        // Answers one file dialog: notes where it opened and names the file.
        auto answer = [&](const QString &typed) {
            auto *timer = new QTimer(this);
            timer->setInterval(5);
            connect(timer, &QTimer::timeout, this, [&shownDirs, typed, timer] {
                auto *fd = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
                if (!fd || !fd->isVisible())
                    return;
                timer->stop();
                timer->deleteLater();
                shownDirs << fd->directory().absolutePath();
                auto *name = fd->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                auto *box = fd->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
                if (!name || !box || !box->button(QDialogButtonBox::Save)) {
                    fd->reject();
                    return;
                }
                // Typed name, then a click on Save (a completer popup would
                // take a Return key for itself).
                name->setText(typed);
                QTest::mouseClick(box->button(QDialogButtonBox::Save), Qt::LeftButton);
            });
            timer->start();
        };
        runHolders([&](TReportPreview &p) {
            answer(home.filePath(QStringLiteral("exports/first.csv")));
            child<QToolButton>(&p, "btnSave")->click();
            answer(QStringLiteral("second.txt"));
            child<QToolButton>(&p, "btnSave")->click();
        });
        QCOMPARE(shownDirs, (QStringList{docs, home.filePath(QStringLiteral("exports"))}));
        QVERIFY(QFile::exists(home.filePath(QStringLiteral("exports/first.csv"))));
        QVERIFY(QFile::exists(home.filePath(QStringLiteral("exports/second.txt"))));
    }

    void damagedFileOpensWithAMessage()
    {
        const QString path = m_out.filePath(QStringLiteral("bad.kwr"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("KWREPORT garbage that is not a report");
        f.close();
        m_prompts.messages.clear();
        ReportDocument before, after;
        runHolders([&](TReportPreview &p) {
            before = p.document();
            child<QToolButton>(&p, "btnOpen")->click();
            after = p.document();
        }, [&](TReportPreview &p) {
            p.chooseFile = [&](bool, const QString &, const QString &) { return path; };
        });
        QCOMPARE(m_prompts.messages.size(), 1);
        QVERIFY2(m_prompts.messages.first().contains(QLatin1String("damaged")), qPrintable(m_prompts.messages.first()));
        QVERIFY(after == before);
    }

    // Every print button of the pages runs its report on the page's data as
    // the page holds it, with the setup texts; after the holders list the
    // holders grid is on its first row.
    void pageButtons_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("prepare"); // "tab=N" on the page's tabs, "due=YYYY-MM-DD"
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("absent");
        QTest::newRow("holders list") << "tabHandReceipt" << "btnHrdfPrint" << "" << "Kitwarden Hand Receipt Numbers"
                                      << QStringList{"B Co 2-10 AVN", "Adams, Charlie", "Young, Zed", "Brown, Mia"}
                                      << QStringList{};
        QTest::newRow("hand receipt") << "tabHandReceipt" << "btnAlsePrint" << "" << "Kitwarden Hand Receipt"
                                      << QStringList{"B Co 2-10 AVN", "CW2 Ortiz", "Brown, Mia", "V-002", "B-001"}
                                      << QStringList{"V-001"};
        QTest::newRow("inspections") << "tabInsp" << "btnInspAll" << "" << "Kitwarden Inspections"
                                     << QStringList{"B Co 2-10 AVN", "ALSE Gear Inspections", "V-001", "B-001", "Year", "Day"}
                                     << QStringList{};
        QTest::newRow("inspections due") << "tabInsp" << "btnInspDue" << "due=2026-12-20" << "Inspections Due"
                                         << QStringList{"B Co 2-10 AVN", "ALSE Gear Inspections Due",
                                                        "Through 20 Dec 2026", "V-001"}
                                         << QStringList{};
        QTest::newRow("equipment, batteries") << "tabAlseGear" << "btnGearPrint" << "tab=4" << "Kitwarden Inspections"
                                              << QStringList{"B Co 2-10 AVN", "ALSE Gear Listing of Batteries", "B-001"}
                                              << QStringList{"V-001", "V-002"};
        QTest::newRow("aircraft kits") << "tabSurvival" << "btnSurvivalList" << "" << "Aircraft Equipment Listing"
                                       << QStringList{"B Co 2-10 AVN", "Aircraft Equipment Listing", "Flare Lot #"}
                                       << QStringList{};
        QTest::newRow("master gear list, list 2") << "tabEquipLists" << "btnListPrint" << "tab=8" << "Kitwarden Master Gear List"
                                                  << QStringList{"B Co 2-10 AVN", "ALSE Gear Master Add from List 2 Items"}
                                                  << QStringList{"VEST, SURVIVAL"};
        QTest::newRow("master gear list, all") << "tabEquipLists" << "btnListPrint" << "" << "Kitwarden Master Gear List"
                                               << QStringList{"ALSE Gear Master List of All Items", "VEST, SURVIVAL",
                                                              "BATTERY, RADIO", "None"}
                                               << QStringList{};
        QTest::newRow("inventory sheet") << "tabOfficeSupplies" << "btnPartsInventory" << "" << "Inventory Sheet"
                                         << QStringList{"B Co 2-10 AVN", "Inventory Sheet", "Reorder Point"}
                                         << QStringList{};
        QTest::newRow("parts on hand, PLL") << "tabOfficeSupplies" << "btnPartsList" << "tab=4" << "Inventory Sheet"
                                            << QStringList{"B Co 2-10 AVN", "PLL Listing", "Prepared By:", "SGT Prep",
                                                           "CPT Appr", "MAJ Auth"}
                                            << QStringList{};
        QTest::newRow("master parts, bench stock") << "tabPartsList" << "btnMstrPartsList" << "tab=1" << "Parts List"
                                                   << QStringList{"B Co 2-10 AVN", "Master List of Bench Stock Items"}
                                                   << QStringList{};
        QTest::newRow("manuals") << "tabTechManuals" << "btnTechManList" << "" << "Technical Manual Listing"
                                 << QStringList{"B Co 2-10 AVN", "Technical Manual Listing", "Publication"}
                                 << QStringList{};
    }

    void pageButtons()
    {
        QFETCH(QString, page);
        QFETCH(QString, button);
        QFETCH(QString, prepare);
        QFETCH(QString, caption);
        QFETCH(QStringList, texts);
        QFETCH(QStringList, absent);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QTemporaryDir data;
        kw::data::Session session;
        kw::data::TdmMain dm(session);
        kwtest::fillShop(dm, data.path());
        TfrmMain frm(dm);
        frm.setDataDirectory(data.path());
        frm.runSplash = [](QWidget *) {};
        frm.autoUpdateCheck = nullptr;
        frm.show();
        QVERIFY(frm.startedUp());
        frm.setupTexts().Company = QStringLiteral("B Co 2-10 AVN");
        frm.setupTexts().AlseOfficer = QStringLiteral("CW2 Ortiz");
        frm.setupTexts().Prepared = QStringLiteral("SGT Prep");
        frm.setupTexts().Approved = QStringLiteral("CPT Appr");
        frm.setupTexts().Authorized = QStringLiteral("MAJ Auth");
        auto *p = frm.findChild<kw::app::Page *>(page);
        QVERIFY(p);
        frm.setActivePage(p); // as the navigation bar does: show, then enter
        p->enter();
        if (page == QLatin1String("tabHandReceipt")) {
            QVERIFY(dm.tblHrdf.findKey({2}));
            screenshot(&frm, QStringLiteral("hand-receipts-page"));
        }
        if (prepare.startsWith(QLatin1String("tab="))) {
            auto *tabs = p->findChild<QTabBar *>();
            QVERIFY(tabs);
            tabs->setCurrentIndex(prepare.mid(4).toInt());
        } else if (prepare.startsWith(QLatin1String("due="))) {
            frm.page<InspectionsPage>()->setDueByDate(QDate::fromString(prepare.mid(4), Qt::ISODate));
        }

        QString shownCaption;
        QStringList shownTexts;
        onPreview(this, [&](TReportPreview &pv) {
            shownCaption = pv.windowTitle();
            shownTexts = allTexts(pv.document());
            screenshot(&pv, QStringLiteral("preview-") + button);
        });
        auto *b = frm.findChild<QAbstractButton *>(button);
        QVERIFY(b && b->isEnabled());
        b->click();
        QCOMPARE(shownCaption, caption);
        for (const QString &t : texts)
            QVERIFY2(shownTexts.contains(t), qPrintable(t + QStringLiteral(" in ") + shownTexts.join(QLatin1Char('|'))));
        for (const QString &t : absent)
            QVERIFY2(!shownTexts.contains(t), qPrintable(t));
        if (button == QLatin1String("btnHrdfPrint"))
            QCOMPARE(dm.tblHrdf.recNo(), 0);
    }
};

QTEST_MAIN(TstReportPreview)
#include "tst_reportpreview.moc"
