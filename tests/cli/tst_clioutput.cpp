// What kitwarden-cli writes and what its exit status says: CSV that every
// reader splits the same way, messages that keep what follows a damaged
// value, one treatment of the data directory's name, statements bounded in
// what they may take, and a stored row reported as stored.
#include "archivefixture.h"
#include "clirun.h"
#include "data/engine/dbase/dbftable.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

using Run = kwtest::CliRun;

} // namespace

class TstCliOutput : public QObject {
    Q_OBJECT
    QTemporaryDir m_tmp{kwtest::scratchTemplate()};
    QString m_shop;
    int m_counter = 0;

    Run cli(const QStringList &args) { return kwtest::runCli(args, m_tmp.filePath(QStringLiteral("cfg"))); }
    QString fresh(const QString &name) { return m_tmp.filePath(QStringLiteral("%1-%2").arg(++m_counter).arg(name)); }

private slots:
    void initTestCase()
    {
        m_shop = fresh(QStringLiteral("shop"));
        const Run r = cli({"demo", m_shop, "--items", "20"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        // A holder whose name holds a carriage return.
        const Run ins = cli({"--data", m_shop, "sql",
                             "INSERT INTO Hrdf (\"HR Number\", \"HR Holder\") VALUES (900, 'A' || char(13) || 'B')"});
        QVERIFY2(ins.code == 0, qPrintable(ins.err));
    }

    // A value holding a carriage return is quoted: a reader would end the
    // row there otherwise.
    void csvQuotesACarriageReturn_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("dump --csv") << QStringList{"dump", "Hrdf.DB", "--csv"};
        QTest::newRow("sql") << QStringList{"sql", "SELECT \"HR Number\", \"HR Holder\" FROM Hrdf"};
    }
    void csvQuotesACarriageReturn()
    {
        QFETCH(QStringList, args);
        const Run r = cli(QStringList{"--data", m_shop} + args);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains(QStringLiteral("900,\"A\rB\"")), qPrintable(r.out));
        QCOMPARE(r.out.count(QLatin1Char('\r')), 1);
    }

    // A damaged value quoted in a message cannot end the message early: the
    // file name after it is still there.
    void damagedValueWithANulKeepsTheFileName()
    {
        const QString dir = fresh(QStringLiteral("dbf"));
        QDir().mkpath(dir);
        const QString path = dir + QStringLiteral("/COUNTS.DBF");
        kw::data::DbfTable t = kw::data::DbfTable::create(path, {{QStringLiteral("N"), 'N', 5, 0}});
        t.appendRecord({12345});
        t.save();
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        const qsizetype at = bytes.indexOf("12345");
        QVERIFY(at > 0);
        bytes[at + 2] = '\0';
        QVERIFY(f.seek(0) && f.write(bytes) == bytes.size());
        f.close();
        const Run r = cli({"--data", dir, "sql", "SELECT * FROM COUNTS"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QStringLiteral("\"12\\045\"")), qPrintable(r.err));
        QVERIFY2(r.err.contains(QDir::toNativeSeparators(path)), qPrintable(r.err));
        QVERIFY(!r.err.contains(QChar(0)));
    }

    // Every command treats the name of the data directory the same way,
    // a backslash in it included.
    void dataDirectoryWithABackslash_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("dump") << QStringList{"dump", "Hrdf.DB", "--csv"};
        QTest::newRow("sql") << QStringList{"sql", "SELECT COUNT(*) FROM Hrdf"};
        QTest::newRow("report") << QStringList{"report", "gear-master", "--out", "$OUT/gear.txt"};
        QTest::newRow("backup") << QStringList{"backup", "$OUT/b.Alse"};
    }
    void dataDirectoryWithABackslash()
    {
        QFETCH(QStringList, args);
        const QString data = fresh(QStringLiteral("a\\b"));
        QCOMPARE(cli({"demo", data, "--items", "5"}).code, 0);
        const QString outDir = fresh(QStringLiteral("out"));
        QDir().mkpath(outDir);
        args.replaceInStrings(QStringLiteral("$OUT"), outDir);
        const Run r = cli(QStringList{"--data", data} + args);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY2(!r.err.contains(QStringLiteral("Invalid path")), qPrintable(r.err));
    }

    // Every writer of a file the user names checks it as a backup does: a
    // report never replaces a table through a link, nor a folder or a device.
    void reportNeverReplacesATable_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("a link to a table") << "link";
        QTest::newRow("a link to a link to a table") << "link2";
        QTest::newRow("a folder") << "folder";
    }
    void reportNeverReplacesATable()
    {
        QFETCH(QString, target);
        const QString out = fresh(QStringLiteral("out"));
        QDir().mkpath(out);
        QVERIFY(QFile::link(m_shop + "/Parts.DB", out + "/link.pdf"));
        QVERIFY(QFile::link(out + "/link.pdf", out + "/link2.pdf"));
        QDir().mkpath(out + "/folder.pdf");
        QFile parts(m_shop + "/Parts.DB");
        QVERIFY(parts.open(QIODevice::ReadOnly));
        const QByteArray before = parts.readAll();
        parts.close();
        const Run r = cli({"--data", m_shop, "report", "parts", "--out", out + '/' + target + ".pdf"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(target == "folder" ? "is not a regular file" : "is a database file"), qPrintable(r.err));
        QVERIFY(parts.open(QIODevice::ReadOnly));
        QCOMPARE(parts.readAll(), before);
    }

    // One statement may not run the machine out of memory: it fails at
    // once, saying why.
    void statementsAreBoundedInWhatTheyTake_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("says");
        QTest::newRow("one huge value") << "SELECT randomblob(1000000000)" << "a value may hold";
        QTest::newRow("a huge result") << "SELECT zeroblob(60000000) FROM Equipment" << "result of this statement";
    }
    void statementsAreBoundedInWhatTheyTake()
    {
        QFETCH(QString, statement);
        QFETCH(QString, says);
        const Run r = cli({"--data", m_shop, "sql", statement});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(says), qPrintable(r.err));
    }

    // An INSERT whose row is stored exits 0 even when the index files cannot
    // be rewritten afterwards (a full disk): they are rebuilt at the next
    // open, and a retry would store the row twice. The warning gives the
    // system's reason.
    void storedRowIsReportedAsStoredOnAFullDisk()
    {
        const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
        if (strace.isEmpty())
            QSKIP("strace is not installed");
        const QString data = fresh(QStringLiteral("full"));
        QCOMPARE(cli({"demo", data, "--items", "5"}).code, 0);
        // The derived files are written beside their names and renamed over
        // them: every such rename fails as on a full disk.
        QProcessEnvironment env;
        env.insert(QStringLiteral("KITWARDEN_CONFIG_DIR"), m_tmp.filePath(QStringLiteral("cfg")));
        const Run r = kwtest::runProgram(strace,
                                         {"-f", "-o", "/dev/null", "-e", "trace=rename,renameat,renameat2", "-e",
                                          "inject=rename,renameat,renameat2:error=ENOSPC", KW_CLI_PATH, "--data", data,
                                          "sql", "INSERT INTO Parts (Drawer, Bin, NSN) VALUES ('9', '9', 'X')"},
                                         env, 60000);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(r.out.contains(QStringLiteral("1 row(s) affected")));
        QVERIFY2(r.err.contains(QStringLiteral("No space left on device")), qPrintable(r.err));
        const Run back = cli({"--data", data, "sql", "SELECT COUNT(*) FROM Parts WHERE NSN = 'X'"});
        QCOMPARE(back.out.split(QLatin1Char('\n')).value(1), QStringLiteral("1"));
    }

    // The same on a disk that really fills up, from a little room left to
    // enough: the exit status says whether the row was stored, and every
    // message gives the system's reason (a full disk first takes part of a
    // write, and a short write carries no reason of its own).
    void fullDiskExitStatusTellsWhetherTheRowIsStored()
    {
        if (::geteuid() != 0 || QStandardPaths::findExecutable("unshare").isEmpty()
            || QStandardPaths::findExecutable("fallocate").isEmpty())
            QSKIP("a small disk of its own needs root, unshare and fallocate");
        const QString shop = fresh(QStringLiteral("fullshop")), small = fresh(QStringLiteral("small")),
                      out = fresh(QStringLiteral("out"));
        QCOMPARE(cli({"demo", shop, "--items", "5"}).code, 0);
        QDir().mkpath(small);
        QDir().mkpath(out);
        const QString script = QStringLiteral(
            "mount -t tmpfs -o size=1m tmpfs '%1' || exit 99\n"
            "for leave in $(seq 0 4096 65536); do\n"
            "  rm -rf '%1/shop' '%1/fill'; cp -r '%2' '%1/shop'\n"
            "  fill=$(( $(df -B1 --output=avail '%1' | tail -1) - leave ))\n"
            "  [ $fill -gt 0 ] && fallocate -l $fill '%1/fill'\n"
            "  '%3' --data '%1/shop' sql \"INSERT INTO Parts (Drawer, Bin, NSN) VALUES ('9', '9', 'X')\" "
            ">'%4/out-'$leave 2>'%4/err-'$leave\n"
            "  echo $? >'%4/code-'$leave\n"
            "  rm -f '%1/fill'\n"
            "  '%3' --data '%1/shop' sql \"SELECT COUNT(*) FROM Parts WHERE NSN = 'X'\" >'%4/count-'$leave 2>&1\n"
            "done\n")
            .arg(small, shop, QStringLiteral(KW_CLI_PATH), out);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KITWARDEN_CONFIG_DIR"), m_tmp.filePath(QStringLiteral("cfg")));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("unshare"), {"-m", "sh", "-c", script});
        QVERIFY(p.waitForFinished(180000));
        if (p.exitCode() == 99)
            QSKIP("tmpfs cannot be mounted here");
        bool refused = false, warned = false;
        for (int leave = 0; leave <= 65536; leave += 4096) {
            const auto text = [&](const char *what) {
                return QString::fromUtf8(kwtest::readFile(QStringLiteral("%1/%2-%3").arg(out).arg(what).arg(leave)));
            };
            const QString code = text("code").trimmed(), err = text("err"), at = QStringLiteral("%1 bytes left: ").arg(leave);
            const QString count = text("count").split(QLatin1Char('\n')).value(1);
            QVERIFY2(code == "0" || code == "1", qPrintable(at + code + err));
            QVERIFY2(count == (code == "0" ? "1" : "0"), qPrintable(at + "exit " + code + ", rows " + count + ": " + err));
            QVERIFY2(err.isEmpty() || err.contains("No space left on device"), qPrintable(at + err));
            refused |= code == "1";
            warned |= code == "0" && !err.isEmpty();
        }
        QVERIFY(refused && warned); // both sides of the commit were reached
    }
};

QTEST_GUILESS_MAIN(TstCliOutput)
#include "tst_clioutput.moc"
