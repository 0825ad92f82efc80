#include "data/engine/paths.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Creates the files of a layout ("a/b.txt c/d") under root; a name ending in
// "/" is a directory, "name->target" a symbolic link.
void makeLayout(const QString &root, const QString &layout)
{
    for (const QString &entry : layout.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString path = root + QLatin1Char('/') + entry.section(QStringLiteral("->"), 0, 0);
        if (entry.contains(QStringLiteral("->"))) {
            QDir().mkpath(QFileInfo(path).path());
            QVERIFY(QFile::link(root + QLatin1Char('/') + entry.section(QStringLiteral("->"), 1), path));
        } else if (entry.endsWith(QLatin1Char('/'))) {
            QVERIFY(QDir().mkpath(path));
        } else {
            QDir().mkpath(QFileInfo(path).path());
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
    }
}

QString resolved(const QString &root, QString path)
{
    return path.startsWith(QLatin1Char('/')) ? path : root + QLatin1Char('/') + path;
}

} // namespace

class TstPaths : public QObject {
    Q_OBJECT
    QString m_userDir;
private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Quillfen"));
        QCoreApplication::setApplicationName(QStringLiteral("Kitwarden"));
        QStandardPaths::setTestModeEnabled(true);
        m_userDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QVERIFY(!m_userDir.isEmpty());
    }

    void environmentOverrides()
    {
        QTemporaryDir data, cfg;
        qputenv("KITWARDEN_DATA_DIR", data.path().toUtf8());
        qputenv("KITWARDEN_CONFIG_DIR", cfg.path().toUtf8() + "/sub");
        QCOMPARE(kw::data::defaultDataDir(), QDir(data.path()).absolutePath());
        QCOMPARE(kw::data::configDir(), QDir(cfg.path() + "/sub").absolutePath());
        QVERIFY(QFileInfo(cfg.path() + "/sub").isDir());
    }

    void installedProgramDir_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("exeDir");
        QTest::addColumn<bool>("installed");
        const QString entry = QStringLiteral("share/applications/") + kw::data::appId() + QStringLiteral(".desktop");
        QTest::newRow("system programs") << QString() << QStringLiteral("/usr/bin") << true;
        QTest::newRow("system programs with a trailing slash") << QString() << QStringLiteral("/usr/bin/") << true;
        QTest::newRow("local programs") << QString() << QStringLiteral("/usr/local/bin") << true;
        QTest::newRow("prefix with our desktop entry")
            << QStringLiteral("p/bin/ p/") + entry << QStringLiteral("p/bin") << true;
        QTest::newRow("prefix reached through a link")
            << QStringLiteral("p/bin/ p/") + entry + QStringLiteral(" alias->p/bin") << QStringLiteral("alias") << true;
        QTest::newRow("prefix with another program's entry")
            << QStringLiteral("p/bin/ p/share/applications/org.example.Other.desktop") << QStringLiteral("p/bin")
            << false;
        QTest::newRow("entry beside a folder not named bin")
            << QStringLiteral("p/tools/ p/") + entry << QStringLiteral("p/tools") << false;
        QTest::newRow("portable folder named bin") << QStringLiteral("bin/") << QStringLiteral("bin") << false;
        QTest::newRow("portable folder with tables")
            << QStringLiteral("shop/Hrdf.DB") << QStringLiteral("shop") << false;
        QTest::newRow("missing folder") << QString() << QStringLiteral("nowhere/bin") << false;
    }

    void installedProgramDir()
    {
        QFETCH(QString, layout);
        QFETCH(QString, exeDir);
        QFETCH(bool, installed);
        QTemporaryDir root;
        makeLayout(root.path(), layout);
        QCOMPARE(kw::data::isInstalledProgramDir(resolved(root.path(), exeDir)), installed);
    }

    // An installed copy keeps its data per user even where it could write
    // (root, or a prefix in the home), and even when someone left tables
    // beside the program; a portable copy keeps them beside itself.
    void dataDirForExecutable_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("exeDir");
        QTest::addColumn<bool>("perUser");
        const QString entry = QStringLiteral("share/applications/") + kw::data::appId() + QStringLiteral(".desktop");
        QTest::newRow("installed, writable") << QStringLiteral("p/bin/ p/") + entry << QStringLiteral("p/bin") << true;
        QTest::newRow("installed, with tables")
            << QStringLiteral("p/bin/Hrdf.DB p/") + entry << QStringLiteral("p/bin") << true;
        QTest::newRow("system programs") << QString() << QStringLiteral("/usr/bin") << true;
        QTest::newRow("portable, empty and writable") << QStringLiteral("shop/") << QStringLiteral("shop") << false;
        QTest::newRow("portable, with tables") << QStringLiteral("shop/hrdf.db") << QStringLiteral("shop") << false;
        QTest::newRow("no executable folder") << QString() << QString() << true;
    }

    void dataDirForExecutable()
    {
        QFETCH(QString, layout);
        QFETCH(QString, exeDir);
        QFETCH(bool, perUser);
        QTemporaryDir root;
        makeLayout(root.path(), layout);
        const QString dir = exeDir.isEmpty() ? QString() : resolved(root.path(), exeDir);
        const QString chosen = kw::data::dataDirFor(dir);
        QCOMPARE(chosen, perUser ? m_userDir : QDir(dir).absolutePath());
        QVERIFY(QFileInfo(chosen).isDir());
    }
};

QTEST_GUILESS_MAIN(TstPaths)
#include "tst_paths.moc"
