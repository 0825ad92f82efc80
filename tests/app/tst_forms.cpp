#include "elfwriter.h"
#include "settings/iniout.h"
#include "app/artwork.h"
#include "app/forms.h"
#include "app/weblinks.h"
#include "update/verinfo.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using namespace kw::app;
using namespace kw::update;

// Saves a picture of the window when KW_SHOT_DIR names a folder (by hand only).
static void shot(QWidget *w, const char *name)
{
    const QString dir = qEnvironmentVariable("KW_SHOT_DIR");
    if (!dir.isEmpty())
        w->grab().save(dir + QLatin1Char('/') + QString::fromLatin1(name));
}

class TstForms : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QList<QUrl> opened;

    void release(QWidget *w, QPoint at, Qt::MouseButton b = Qt::LeftButton)
    {
        QTest::mousePress(w, b, {}, at);
        QTest::mouseRelease(w, b, {}, at);
    }

private slots:
    void initTestCase()
    {
        qputenv("KITWARDEN_CONFIG_DIR", dir.path().toUtf8());
        setUrlOpener([this](const QUrl &u) {
            QVERIFY(QApplication::overrideCursor());  // the hourglass while the shell works
            opened << u;
        });
    }
    void init() { opened.clear(); }

    void splashWindow()
    {
        TfrmSplash s;
        QCOMPARE(s.size(), QSize(443, 269));
        QVERIFY(s.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(s.windowFlags() & Qt::WindowStaysOnTopHint);
        const QRegion outline = s.property("kwOutline").value<QRegion>();  // the window's shape
        QVERIFY(!outline.contains(QPoint(1, 1)));  // rounded corners from the picture
        QVERIFY(!outline.contains(QPoint(441, 267)));
        QVERIFY(outline.contains(QPoint(221, 134)));
        QVERIFY(outline.contains(QPoint(1, 134)));
        QCOMPARE(s.btnClose->geometry(), QRect(412, 9, 23, 22));
        QVERIFY(s.btnClose->text().isEmpty() && s.btnClose->icon().isNull());
        QCOMPARE(s.findChild<QLabel *>(QStringLiteral("lblTitle"))->text(), QStringLiteral("Kitwarden 2.0"));
        QCOMPARE(s.findChild<QLabel *>(QStringLiteral("lblLine2"))->text(), QStringLiteral("Aviation Life Support Equipment"));
        QVERIFY(!s.Timer1->isActive());
        s.show();
        QVERIFY(s.Timer1->isActive());
        QCOMPARE(s.Timer1->interval(), 5000);
        shot(&s, "kw-splash.png");
        s.Timer1Timer();
        QCOMPARE(s.result(), int(QDialog::Accepted));
        QVERIFY(!s.isVisible());
    }

    void splashEndsModalWait_data()
    {
        QTest::addColumn<bool>("button");
        QTest::newRow("timer") << false;
        QTest::newRow("close button") << true;
    }
    void splashEndsModalWait()
    {
        QFETCH(bool, button);
        TfrmSplash s;
        if (button)
            QTimer::singleShot(0, &s, [&] { QTest::mouseClick(s.btnClose, Qt::LeftButton); });
        else
            s.Timer1->setInterval(1);  // the wiring, not the length
        const int r = s.exec();
        QCOMPARE(r, button ? int(QDialog::Rejected) : int(QDialog::Accepted));
        QVERIFY(!s.Timer1->isActive());
    }

    void aboutTitle()
    {
        TfrmAbout a;
        QCOMPARE(a.lblTitle->text(), QStringLiteral("Kitwarden 2.0.0.000"));
        a.FormShow();
        QCOMPARE(a.lblTitle->text(), QStringLiteral("Kitwarden " KW_PROJECT_VERSION));
        QCOMPARE(a.lblTitle->cursor().shape(), Qt::PointingHandCursor);
        a.executable = dir.filePath(QStringLiteral("Kitwarden.exe"));
        QVERIFY(testelf::writeVersionedFile(a.executable, "2.0.3.30"));
        a.FormShow();
        QCOMPARE(a.lblTitle->text(), QStringLiteral("Kitwarden 2.0.3.30"));
        a.show();
        shot(&a, "kw-about.png");
    }

    void aboutWithoutVersion()
    {
        TfrmAbout a;
        a.executable = dir.filePath(QStringLiteral("plain.exe"));
        QVERIFY(testelf::writeFile(a.executable, "no resource"));
        try {
            a.FormShow();
            QFAIL("no error");
        } catch (const ENoVerInfoError &e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("No Version Info Available."));
        }
    }

    void aboutCloses_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QPoint>("at");  // inside the target; a null target clicks the picture
        QTest::addColumn<bool>("closes");
        QTest::newRow("title") << "lblTitle" << QPoint(180, 18) << true;
        QTest::newRow("footer") << "fcLabel2" << QPoint(220, 7) << true;
        QTest::newRow("close button") << "SpeedButton1" << QPoint(16, 16) << true;
        QTest::newRow("picture") << "" << QPoint(30, 230) << false;
        QTest::newRow("a text line") << "lblLine1" << QPoint(220, 12) << false;
    }
    void aboutCloses()
    {
        QFETCH(QString, target);
        QFETCH(QPoint, at);
        QFETCH(bool, closes);
        TfrmAbout a;
        a.show();
        QVERIFY(QTest::qWaitForWindowExposed(&a));
        QWidget *w = target.isEmpty() ? &a : a.findChild<QWidget *>(target);
        QVERIFY(w);
        release(w, at);
        QCOMPARE(!a.isVisible(), closes);
        QVERIFY(opened.isEmpty());
    }

    void linkEntries_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("url");
        QTest::newRow("Support") << "lbLinksLeft" << 0 << "Support"
                                 << "mailto:Kitwarden%20Support%20%3Csupport@quillfen.example%3E";
        QTest::newRow("Updates") << "lbLinksLeft" << 1 << "Updates" << "http://www.quillfen.example/alse/NewVersion.htm";
        QTest::newRow("ALSE Page") << "lbLinksRight" << 0 << "ALSE Page" << "http://www.quillfen.example/alse/alse.htm";
        QTest::newRow("FAQs") << "lbLinksRight" << 1 << "FAQs" << "http://www.quillfen.example/alse/faq.htm";
    }
    void linkEntries()
    {
        QFETCH(QString, list);
        QFETCH(int, row);
        QFETCH(QString, caption);
        QFETCH(QString, url);
        TfrmAbout a;
        a.show();
        auto *l = a.findChild<TLinkList *>(list);
        QCOMPARE(l->item(row)->text(), caption);
        QVERIFY(!l->item(row)->toolTip().isEmpty());
        const QPoint at = l->visualItemRect(l->item(row)).center();
        release(l->viewport(), at, Qt::RightButton);   // another button opens nothing
        release(l->viewport(), QPoint(at.x(), l->viewport()->height() - 2));  // below the entries
        QVERIFY(opened.isEmpty());
        release(l->viewport(), at);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened[0].toString(QUrl::FullyEncoded), url);
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(a.isVisible());
        QVERIFY(l->selectedItems().isEmpty());
    }

    void menuItemsAndHostSetting()
    {
        openLink(Link::AlsePage);
        openLink(Link::Faq);
        openLink(Link::Support);
        QCOMPARE(opened.size(), 3);
        QCOMPARE(opened[0].toString(), QStringLiteral("http://www.quillfen.example/alse/alse.htm"));
        QCOMPARE(opened[1].toString(), QStringLiteral("http://www.quillfen.example/alse/faq.htm"));
        QCOMPARE(opened[2].scheme(), QStringLiteral("mailto"));
        QCOMPARE(linkTarget(Link::Support), QStringLiteral("mailto:Kitwarden Support <support@quillfen.example>"));
        kw::settings::TIniOut ini(nullptr);
        ini.WriteRegString(kw::settings::kMainKey, kWebHostValue, QStringLiteral("intranet.shop:8080"));
        QCOMPARE(linkTarget(Link::Faq), QStringLiteral("http://intranet.shop:8080/alse/faq.htm"));
        ini.WriteRegString(kw::settings::kMainKey, kWebHostValue, QString());
        QCOMPARE(linkTarget(Link::Faq), QStringLiteral("http://www.quillfen.example/alse/faq.htm"));
    }

    void picturesHaveTheirOutlines()
    {
        const QImage s = artwork::splashPicture(), a = artwork::aboutPicture();
        QCOMPARE(s.size(), QSize(443, 269));
        QCOMPARE(a.size(), QSize(443, 269));
        QCOMPARE(s.pixel(0, 0), artwork::kTransparent);
        QCOMPARE(a.pixel(1, 1), artwork::kTransparent);
        const QRegion about = artwork::outline(a);
        QVERIFY(!about.contains(QPoint(2, 2)) && about.contains(QPoint(12, 2)));  // chamfered corners
        QVERIFY(about.contains(QRect(405, 8, 33, 33)));  // the close button lies inside
        QVERIFY(s.pixel(221, 40) != artwork::kTransparent);
        for (int i = 0; i < 4; ++i)
            QVERIFY(!artwork::linkImage(i).isNull());
        QVERIFY(artwork::linkImage(0) != artwork::linkImage(1));
    }
};

QTEST_MAIN(TstForms)
#include "tst_forms.moc"
