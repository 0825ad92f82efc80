// kitwarden-cli report: reports laid out from a demo shop without a display,
// written in the format of the output's extension; saved report files
// converted; errors with a message and a non-zero exit.
#include "settings/iniout.h"
#include "settings/registry.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
    int code;
    QString out, err;
};

} // namespace

class TstReportCli : public QObject {
    Q_OBJECT
    QTemporaryDir m_cfg, m_data, m_out;

    Run cli(const QStringList &args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KITWARDEN_CONFIG_DIR"), m_cfg.path());
        // No display and no platform chosen: the command must still work.
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(KW_CLI_PATH), args);
        p.waitForFinished(300000);
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }

    Run report(const QStringList &args) { return cli(QStringList{QStringLiteral("--data"), m_data.path(), QStringLiteral("report")} + args); }
    QString outFile(const QString &name) const { return m_out.filePath(name); }
    static QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void initTestCase()
    {
        qputenv("KITWARDEN_CONFIG_DIR", m_cfg.path().toLocal8Bit());
        qputenv("LC_ALL", "C.UTF-8"); // English month names in the due report's title
        const Run r = cli({QStringLiteral("demo"), m_data.path(), QStringLiteral("--items"), QStringLiteral("300")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        // The setup texts the program keeps in the registry.
        auto reg = kw::settings::openRegistry(kw::settings::TRegRoots::CURRENT_USER);
        QVERIFY(reg->openKey(kw::settings::kSetupKey, true));
        reg->writeString(QStringLiteral("Company"), QStringLiteral("B Co 2-10 AVN"));
        reg->writeString(QStringLiteral("AlseOfficer"), QStringLiteral("CW2 Ortiz"));
    }

    void formatsByExtension_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<QByteArray>("contains");
        const QStringList holders{QStringLiteral("holders")};
        const QStringList receipt{QStringLiteral("hand-receipt"), QStringLiteral("--holder"), QStringLiteral("100")};
        QTest::newRow("holders as PDF") << holders << "h.pdf" << QByteArray("%PDF-") << QByteArray();
        QTest::newRow("holders as text") << holders << "h.txt" << QByteArray("Printed: ")
                                         << QByteArray("ALSE Hand Receipt Numbers");
        QTest::newRow("holders as CSV") << holders << "h.csv" << QByteArray("Printed: ")
                                        << QByteArray("HR #,Holder,Section,Phone");
        QTest::newRow("holders as HTML") << holders << "h.html" << QByteArray("<!DOCTYPE html>")
                                         << QByteArray("B Co 2-10 AVN");
        QTest::newRow("holders as report file") << holders << "h.kwr" << QByteArray("KWREPORT") << QByteArray();
        QTest::newRow("hand receipt with the setup texts") << receipt << "r.txt" << QByteArray(" Page: 1")
                                                           << QByteArray("CW2 Ortiz");
        QTest::newRow("hand receipt names its holder") << receipt << "r.csv" << QByteArray("Page: 1")
                                                       << QByteArray("HR #,100");
        // Every report by its name, titled as its page would title it.
        auto row = [](const char *name, const QStringList &args, const char *title) {
            QTest::newRow(name) << args << QStringLiteral("%1.txt").arg(QLatin1String(name)) << QByteArray()
                                << QByteArray(title);
        };
        row("inspections", {"inspections"}, "ALSE Gear Inspections");
        row("inspections-due", {"inspections-due", "--through", "2026-12-09"}, "Through 9 Dec 2026");
        row("gear", {"gear"}, "ALSE Gear Listing of All Items");
        row("gear tab 3", {"gear", "--tab", "3"}, "ALSE Gear Listing of Flotation Devices");
        row("kits", {"kits"}, "Aircraft Equipment Listing");
        row("gear-master tab 8", {"gear-master", "--tab", "8"}, "ALSE Gear Master Add from List 2 Items");
        row("inventory", {"inventory"}, "Inventory Sheet");
        row("parts tab 4", {"parts", "--tab", "4"}, "PLL Listing");
        row("parts-master tab 1", {"parts-master", "--tab", "1"}, "Master List of Bench Stock Items");
        row("manuals", {"manuals"}, "Technical Manual Listing");
    }

    void formatsByExtension()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, file);
        QFETCH(QByteArray, start);
        QFETCH(QByteArray, contains);
        const Run r = report(args + QStringList{QStringLiteral("--out"), outFile(file)});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(r.out.contains(QLatin1String("page(s) written")));
        const QByteArray bytes = read(outFile(file));
        QVERIFY(bytes.startsWith(start));
        QVERIFY2(bytes.contains(contains), bytes.left(400).constData());
    }

    void reportFileConverts()
    {
        QVERIFY(report({QStringLiteral("holders"), QStringLiteral("--out"), outFile(QStringLiteral("c.kwr"))}).code == 0);
        QVERIFY(report({QStringLiteral("holders"), QStringLiteral("--out"), outFile(QStringLiteral("direct.txt"))}).code == 0);
        const Run r = cli({QStringLiteral("report"), outFile(QStringLiteral("c.kwr")), QStringLiteral("--out"),
                           outFile(QStringLiteral("converted.txt"))});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(read(outFile(QStringLiteral("converted.txt"))), read(outFile(QStringLiteral("direct.txt"))));
    }

    void errors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        const QString out = QStringLiteral("--out");
        QTest::newRow("unknown report") << QStringList{"nosuch", out, "x.pdf"} << "Unknown report nosuch";
        QTest::newRow("no --out") << QStringList{"holders"} << "needs --out FILE";
        QTest::newRow("no report name") << QStringList{out, "x.pdf"} << "usage:";
        QTest::newRow("unknown format") << QStringList{"holders", out, "x.doc"} << "Cannot tell the format";
        QTest::newRow("hand receipt without holder") << QStringList{"hand-receipt", out, "x.pdf"}
                                                     << "needs --holder HR";
        QTest::newRow("holder that does not exist") << QStringList{"hand-receipt", "--holder", "9999", out, "x.pdf"}
                                                    << "no holder with HR number 9999";
        QTest::newRow("holder not a number") << QStringList{"hand-receipt", "--holder", "abc", out, "x.pdf"}
                                             << "--holder needs a number";
        QTest::newRow("missing report file") << QStringList{"gone.kwr", out, "x.pdf"} << "Cannot open";
        QTest::newRow("due report without its date") << QStringList{"inspections-due", out, "x.pdf"}
                                                     << "needs --through YYYY-MM-DD";
        QTest::newRow("due date not a date") << QStringList{"inspections-due", "--through", "9.12.2026", out, "x.pdf"}
                                             << "--through needs a date";
        QTest::newRow("tab the page does not have") << QStringList{"parts", "--tab", "6", out, "x.pdf"}
                                                    << "parts has tabs 0 to 5, not 6";
    }

    void errors()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        for (QString &a : args)
            if (a.startsWith(QLatin1String("x.")) || a.endsWith(QLatin1String(".kwr")))
                a = outFile(a);
        const Run r = report(args);
        QVERIFY(r.code != 0);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(!QFile::exists(outFile(QStringLiteral("x.pdf"))));
    }

    void damagedReportFile()
    {
        QFile f(outFile(QStringLiteral("bad.kwr")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("KWREPORT\0\0\0\1\0\0\0\x10", 16);
        f.close();
        const Run r = cli({QStringLiteral("report"), f.fileName(), QStringLiteral("--out"), outFile(QStringLiteral("y.txt"))});
        QVERIFY(r.code != 0);
        QVERIFY2(r.err.contains(QLatin1String("damaged")), qPrintable(r.err));
        QVERIFY(!QFile::exists(outFile(QStringLiteral("y.txt"))));
    }

    void usageListsTheReports()
    {
        const Run r = cli({});
        QVERIFY(r.code != 0);
        QVERIFY(r.err.contains(QLatin1String("report NAME")));
        QVERIFY(r.err.contains(QLatin1String("hand-receipt --holder HR")));
        QVERIFY(r.err.contains(QLatin1String("holders")));
        for (const char *name : {"inspections", "inspections-due --through YYYY-MM-DD", "gear [--tab N]", "kits",
                                 "gear-master [--tab N]", "inventory", "parts [--tab N]", "parts-master [--tab N]",
                                 "manuals"})
            QVERIFY2(r.err.contains(QLatin1String(name)), name);
    }
};

QTEST_GUILESS_MAIN(TstReportCli)
#include "tst_reportcli.moc"
