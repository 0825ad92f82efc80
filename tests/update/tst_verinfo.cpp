#include "elfwriter.h"
#include "settings/convert.h"
#include "update/verinfo.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace kw::update;

class TstVerInfo : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

private slots:
    void versionToInt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("2.0.3.30") << "2.0.3.30" << 20330;
        QTest::newRow("zero") << "0.0.0.0" << 0;
        QTest::newRow("2.0.10.0") << "2.0.10.0" << 20100;
        QTest::newRow("2.1.0.0") << "2.1.0.0" << 2100;
        QTest::newRow("blanks") << " 2.0.0.1 " << 2001;
        QTest::newRow("max") << "2147.483.647" << 2147483647;
    }
    void versionToInt()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(VersionToInt(text), value);
    }

    void versionToIntRejects_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << "" << "'' is not a valid integer value";
        QTest::newRow("dots only") << "..." << "'' is not a valid integer value";
        QTest::newRow("letters") << "2.0.a.1" << "'20a1' is not a valid integer value";
        QTest::newRow("too big") << "2.1.47.483648" << "'2147483648' is not a valid integer value";
    }
    void versionToIntRejects()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        try {
            VersionToInt(text);
            QFAIL("no error");
        } catch (const kw::settings::EConvertError &e) {
            QCOMPARE(e.message(), message);
        }
    }

    void olderVersion()
    {
        QVERIFY(!IsOlderVersion(20330, 20330));
        QVERIFY(IsOlderVersion(20330, 20400));
        QVERIFY(!IsOlderVersion(20330, 2100));  // 2.1.0.0 counts as older than 2.0.3.30
        QVERIFY(IsOlderVersion(2100, 20100));   // and 2.0.10.0 as newer than 2.1.0.0
    }

    // The update decision weighs each part; the glued integer above does not.
    void compareVersions_data()
    {
        QTest::addColumn<QString>("installed");
        QTest::addColumn<QString>("offered");
        QTest::addColumn<int>("order");  // sign of installed <=> offered
        QTest::newRow("equal") << "2.0.3.30" << "2.0.3.30" << 0;
        QTest::newRow("last part one up") << "2.0.3.30" << "2.0.3.31" << -1;
        QTest::newRow("1.9.99.9 is older than 2.0.0.0") << "2.0.0.0" << "1.9.99.9" << 1;
        QTest::newRow("2.1.0.0 is newer than 2.0.10.0") << "2.0.10.0" << "2.1.0.0" << -1;
        QTest::newRow("2.1.0.0 is newer than 2.0.3.30") << "2.0.3.30" << "2.1.0.0" << -1;
        QTest::newRow("two digits beat one") << "2.0.9.0" << "2.0.10.0" << -1;
        QTest::newRow("missing parts count as 0") << "2.1" << "2.1.0.0" << 0;
        QTest::newRow("shorter but newer") << "2.0.3.30" << "3" << -1;
        QTest::newRow("leading zeros") << "2.01.0.0" << "2.1.0.0" << 0;
        QTest::newRow("blanks around") << " 2.0.0.1 " << "2.0.0.1" << 0;
        QTest::newRow("server default 0.0.0.0") << "2.0.0.0" << "0.0.0.0" << 1;
        QTest::newRow("part above 16 bits") << "2.0.0.65535" << "2.0.0.70000" << -1;
    }
    void compareVersions()
    {
        QFETCH(QString, installed);
        QFETCH(QString, offered);
        QFETCH(int, order);
        const int c = CompareVersions(installed, offered);
        QCOMPARE((c > 0) - (c < 0), order);
        QCOMPARE(IsOlderRelease(installed, offered), order < 0);
        const int back = CompareVersions(offered, installed);
        QCOMPARE((back > 0) - (back < 0), -order);
    }

    void compareVersionsRejects_data()
    {
        QTest::addColumn<QString>("offered");
        QTest::addColumn<QString>("message");
        QTest::newRow("letters") << "2.x.0" << "'2x0' is not a valid integer value";
        QTest::newRow("empty") << "" << "'' is not a valid integer value";
        QTest::newRow("too long to glue") << "2.1.47.483648" << "'2147483648' is not a valid integer value";
    }
    void compareVersionsRejects()
    {
        QFETCH(QString, offered);
        QFETCH(QString, message);
        try {
            IsOlderRelease(QStringLiteral("2.0.0.0"), offered);
            QFAIL("no error");
        } catch (const kw::settings::EConvertError &e) {
            QCOMPARE(e.message(), message);
        }
    }

    void fileWithVersion()
    {
        QVERIFY(testelf::writeVersionedFile(path("a.bin"), "2.0.3.30"));
        QCOMPARE(FileVersionString(path("a.bin")), QStringLiteral("2.0.3.30"));
        QCOMPARE(FileVersionInt(path("a.bin")), 20330);
        TVerInfoRes r(path("a.bin"));
        QCOMPARE(r.translation(), 0x04E40409u);
        QCOMPARE(r.fixedFileVersion(), QStringLiteral("2.0.3.30"));
        QCOMPARE(r.GetVersionString(TVerInfoRes::CompanyName), QStringLiteral("Quillfen"));
        QCOMPARE(r.GetVersionString(TVerInfoRes::Comments), QString());
        // The string table is addressed by the first translation, in upper-case hex.
        const auto block = buildVersionBlock(testelf::spec("1.2.3.4"));
        QVERIFY(queryVersionValue(block, u"\\StringFileInfo\\040904E4\\FileVersion"));
        QVERIFY(queryVersionValue(block, u"\\stringfileinfo\\040904e4\\fileversion"));
        QVERIFY(!queryVersionValue(block, u"\\StringFileInfo\\04090000\\FileVersion"));
    }

    void otherTranslation()
    {
        auto s = testelf::spec("3.1.0.7");
        s.language = 0x0407;
        s.codePage = 0x04B0;
        QVERIFY(testelf::writeFile(path("de.bin"), testelf::elfWith(buildVersionBlock(s))));
        QCOMPARE(FileVersionString(path("de.bin")), QStringLiteral("3.1.0.7"));
    }

    void missingFileVersionString()
    {
        auto s = testelf::spec("2.0.3.30");
        s.strings = {{u"CompanyName", u"Quillfen"}};
        QVERIFY(testelf::writeFile(path("nofv.bin"), testelf::elfWith(buildVersionBlock(s))));
        QCOMPARE(FileVersionString(path("nofv.bin")), QString());
        QCOMPARE(FileVersionInt(path("nofv.bin")), 0);
    }

    void errors_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        auto noTranslation = testelf::spec("1.0.0.0");
        noTranslation.withTranslation = false;
        auto noFixed = testelf::spec("1.0.0.0");
        noFixed.withFixedInfo = false;
        const std::vector<uint8_t> garbage = {1, 2, 3, 4, 5, 6, 7, 8};
        QTest::newRow("plain file") << QByteArray("just text") << "No Version Info Available.";
        QTest::newRow("elf without block")
            << testelf::elfWith(buildVersionBlock(testelf::spec("1.0.0.0")), ".other") << "No Version Info Available.";
        QTest::newRow("garbage block") << testelf::elfWith(garbage) << "Cannot obtain version info.";
        QTest::newRow("no translation") << testelf::elfWith(buildVersionBlock(noTranslation)) << "No language info.";
        QTest::newRow("no fixed record") << testelf::elfWith(buildVersionBlock(noFixed)) << "No fixed file info";
        QByteArray truncated = testelf::elfWith(buildVersionBlock(testelf::spec("1.0.0.0")));
        truncated.chop(100);
        QTest::newRow("truncated") << truncated << "No Version Info Available.";
    }
    void errors()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        QVERIFY(testelf::writeFile(path("e.bin"), content));
        try {
            FileVersionString(path("e.bin"));
            QFAIL("no error");
        } catch (const std::runtime_error &e) {
            QCOMPARE(QString::fromUtf8(e.what()), message);
            // Each failure has its own class.
            if (message.startsWith(QLatin1String("No Version")))
                QVERIFY(dynamic_cast<const ENoVerInfoError *>(&e));
            else if (message.startsWith(QLatin1String("No fixed")))
                QVERIFY(dynamic_cast<const eNoFixeVerInfo *>(&e));
            else
                QVERIFY(dynamic_cast<const EVerInfoError *>(&e));
        }
    }

    void missingFile()
    {
        QVERIFY_THROWS_EXCEPTION(ENoVerInfoError, FileVersionString(path("absent.exe")));
    }

    void runningExecutableCarriesProjectVersion()
    {
        QCOMPARE(FileVersionString(executableFile()), QStringLiteral(KW_PROJECT_VERSION));
        QCOMPARE(TVerInfoRes(executableFile()).fixedFileVersion(), QStringLiteral(KW_PROJECT_VERSION));
        QCOMPARE(TVerInfoRes(executableFile()).GetVersionString(TVerInfoRes::ProductName), QStringLiteral("Kitwarden"));
        // A bare name is looked for beside the executable.
        QCOMPARE(FileVersionString(QFileInfo(executableFile()).fileName()), QStringLiteral(KW_PROJECT_VERSION));
    }
};

QTEST_GUILESS_MAIN(TstVerInfo)
#include "tst_verinfo.moc"
