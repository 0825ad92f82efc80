#include "data/paths.h"

#include <QTemporaryDir>
#include <QtTest>

class TstPaths : public QObject {
    Q_OBJECT
private slots:
    void environmentOverrides()
    {
        QTemporaryDir data, cfg;
        qputenv("KITWARDEN_DATA_DIR", data.path().toUtf8());
        qputenv("KITWARDEN_CONFIG_DIR", cfg.path().toUtf8() + "/sub");
        QCOMPARE(kw::data::defaultDataDir(), QDir(data.path()).absolutePath());
        QCOMPARE(kw::data::configDir(), QDir(cfg.path() + "/sub").absolutePath());
        QVERIFY(QFileInfo(cfg.path() + "/sub").isDir());
    }
};

QTEST_GUILESS_MAIN(TstPaths)
#include "tst_paths.moc"
