// kitwarden-cli due, run as cron or a script runs it: the exit status that
// tells whether anything is overdue, the window, the list as text and CSV,
// usage mistakes, and a calendar file that a calendar parser reads.
#include "clirun.h"
#include "dueshop.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using kwtest::DueShop;

namespace {

// The command works on the real date: shops are made around it, and a test
// that runs across midnight is not judged.
QDate today() { return QDate::currentDate(); }

kwtest::CliRun due(const QString &dir, const QStringList &args = {})
{
    return kwtest::runCli(QStringList{QStringLiteral("--data"), dir, QStringLiteral("due")} + args);
}

QStringList lines(const QString &text) { return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }

} // namespace

class TestCliDue : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_cfg.isValid() && m_template.isValid());
        qputenv("KITWARDEN_CONFIG_DIR", m_cfg.path().toLocal8Bit());
        DueShop(m_template.path());
    }

    void exitStatus_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<int>("days");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("status");
        QTest::newRow("item due later: nothing listed") << "item" << 31 << 0 << "";
        QTest::newRow("item due in 30 days") << "item" << 30 << 0 << "due";
        QTest::newRow("item due today") << "item" << 0 << 0 << "due";
        QTest::newRow("item due yesterday") << "item" << -1 << 3 << "overdue";
        QTest::newRow("item never inspected") << "item" << INT_MIN << 0 << "never inspected";
        QTest::newRow("kit overdue") << "kit" << -1 << 3 << "overdue";
        QTest::newRow("kit food expired yesterday") << "food" << -1 << 3 << "food expired";
        QTest::newRow("kit food expires today") << "food" << 0 << 0 << "";
    }
    void exitStatus()
    {
        QFETCH(QString, what);
        QFETCH(int, days);
        QFETCH(int, code);
        QFETCH(QString, status);
        const QDate day = today();
        const QDate date = days == INT_MIN ? QDate() : day.addDays(days);
        QTemporaryDir dir(kwtest::scratchTemplate());
        {
            DueShop shop(dir.path(), m_template.path());
            if (what == QLatin1String("item"))
                shop.item(QStringLiteral("V-1"), QStringLiteral("D"), date);
            else if (what == QLatin1String("kit"))
                shop.kit(QStringLiteral("K-1"), QStringLiteral("D"), date, day.addDays(400));
            else
                shop.kit(QStringLiteral("K-1"), QStringLiteral("D"), day.addDays(300), date);
        }
        const kwtest::CliRun r = due(dir.path());
        if (today() != day)
            QSKIP("the date changed while the test ran");
        QVERIFY2(r.code == code, qPrintable(QString::number(r.code) + r.err));
        const QStringList out = lines(r.out);
        if (status.isEmpty()) {
            QCOMPARE(out, QStringList{QStringLiteral("Nothing is overdue or due within 30 days.")});
            return;
        }
        QCOMPARE(out.size(), 3); // header, the row, the summary
        QVERIFY2(out[1].startsWith(status + QLatin1Char(' ')), qPrintable(out[1]));
        QVERIFY2(out[1].contains(date.toString(Qt::ISODate)) || !date.isValid(), qPrintable(out[1]));
    }

    // --within moves the far edge of the window; the summary names it.
    void window_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("serials");
        QTest::newRow("default 30 days") << QStringList() << QStringList{"V-OLD", "V-TODAY", "V-30"};
        QTest::newRow("0 days: today and before") << QStringList{"--within", "0"} << QStringList{"V-OLD", "V-TODAY"};
        QTest::newRow("60 days") << QStringList{"--within=60"} << QStringList{"V-OLD", "V-TODAY", "V-30", "V-45"};
    }
    void window()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, serials);
        const QDate day = today();
        QTemporaryDir dir(kwtest::scratchTemplate());
        {
            DueShop shop(dir.path(), m_template.path());
            shop.item(QStringLiteral("V-45"), QStringLiteral("Y"), day.addDays(45));
            shop.item(QStringLiteral("V-30"), QStringLiteral("Y"), day.addDays(30));
            shop.item(QStringLiteral("V-TODAY"), QStringLiteral("Y"), day);
            shop.item(QStringLiteral("V-OLD"), QStringLiteral("Y"), day.addDays(-400));
        }
        const kwtest::CliRun r = due(dir.path(), args + QStringList{QStringLiteral("--format"), QStringLiteral("csv")});
        if (today() != day)
            QSKIP("the date changed while the test ran");
        QCOMPARE(r.code, 3);
        const QStringList out = lines(r.out);
        QCOMPARE(out.first(), QStringLiteral("Status,Due,What,HR Number,Holder,NSN,Nomenclature,Serial Number"));
        QStringList got;
        for (int i = 1; i < out.size(); ++i)
            got << out[i].section(QLatin1Char(','), -1);
        QCOMPARE(got, serials);
        // A holder's name with a comma stays one field.
        QCOMPARE(out[1], QStringLiteral("overdue,%1,Item,1,\"BAKER, ANN\",%2,VEST TYPE Y,V-OLD")
                             .arg(day.addDays(-400).toString(Qt::ISODate), DueShop::nsnOf(QStringLiteral("Y"))));
    }

    void usageMistakes_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("negative window") << QStringList{"--within", "-1"};
        QTest::newRow("window not a number") << QStringList{"--within", "soon"};
        QTest::newRow("window without value") << QStringList{"--within"};
        QTest::newRow("unknown format") << QStringList{"--format", "xml"};
        QTest::newRow("extra argument") << QStringList{"all"};
    }
    void usageMistakes()
    {
        QFETCH(QStringList, args);
        const kwtest::CliRun r = due(m_template.path(), args);
        QCOMPARE(r.code, 2);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.contains(QLatin1String("usage: kitwarden-cli [--data DIR] due")), qPrintable(r.err));
    }

    // One all-day event per due date, read back by Python's icalendar.
    void calendar()
    {
        const QDate day = today();
        QTemporaryDir dir(kwtest::scratchTemplate());
        {
            DueShop shop(dir.path(), m_template.path());
            shop.item(QStringLiteral("V-1"), QStringLiteral("D"), day.addDays(-3));
            shop.item(QStringLiteral("V-2"), QStringLiteral("Y"), day.addDays(-3));
            shop.item(QStringLiteral("V-3"), QStringLiteral("Y"), day.addDays(12));
            shop.item(QStringLiteral("V-NEVER"), QStringLiteral("Y"), QDate());
            shop.kit(QStringLiteral("K-1"), QStringLiteral("D"), day.addDays(200), day.addDays(-3));
        }
        const kwtest::CliRun r = due(dir.path(), {QStringLiteral("--format"), QStringLiteral("ics")});
        if (today() != day)
            QSKIP("the date changed while the test ran");
        QCOMPARE(r.code, 3);
        QVERIFY(r.out.contains(QLatin1String("\r\n")));
        const QString file = dir.filePath(QStringLiteral("due.ics"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(r.out.toUtf8());
        f.close();
        // Each event: its start, its end, whether it is all-day, its summary
        // and the lines of its description.
        const char *script =
            "import sys, icalendar, datetime\n"
            "cal = icalendar.Calendar.from_ical(open(sys.argv[1], 'rb').read())\n"
            "for e in cal.walk('VEVENT'):\n"
            "    s, t = e.decoded('DTSTART'), e.decoded('DTEND')\n"
            "    allday = not isinstance(s, datetime.datetime)\n"
            "    print('%s|%s|%s|%s|%s' % (s.isoformat(), t.isoformat(), allday, e.get('SUMMARY'),\n"
            "                              ';'.join(str(e.get('DESCRIPTION')).split('\\n'))))\n";
        const kwtest::CliRun py = kwtest::runProgram(QStringLiteral("/usr/bin/python3"),
                                                     {QStringLiteral("-c"), QString::fromLatin1(script), file},
                                                     QProcessEnvironment(), 60000);
        QVERIFY2(py.code == 0, qPrintable(QStringLiteral("python3 with icalendar (Debian python3-icalendar): ") + py.err));
        const QString past = day.addDays(-3).toString(Qt::ISODate), later = day.addDays(12).toString(Qt::ISODate);
        const QString nsnD = DueShop::nsnOf(QStringLiteral("D")), nsnY = DueShop::nsnOf(QStringLiteral("Y"));
        QCOMPARE(lines(py.out),
                 (QStringList{
                     QStringLiteral("%1|%2|True|Kitwarden: 2 inspections overdue, 1 kit's food expired|"
                                    "HR 1 BAKER, ANN: %3 VEST TYPE D, serial V-1;HR 1 BAKER, ANN: %4 VEST TYPE Y, "
                                    "serial V-2;Aircraft 87-24512: OVERWATER kit, serial K-1 (food expired)")
                         .arg(past, day.addDays(-2).toString(Qt::ISODate), nsnD, nsnY),
                     QStringLiteral("%1|%2|True|Kitwarden: 1 inspection due|HR 1 BAKER, ANN: %3 VEST TYPE Y, serial V-3")
                         .arg(later, day.addDays(13).toString(Qt::ISODate), nsnY)}));
    }

private:
    QTemporaryDir m_cfg;
    QTemporaryDir m_template{kwtest::scratchTemplate()};
};

QTEST_MAIN(TestCliDue)
#include "tst_clidue.moc"
