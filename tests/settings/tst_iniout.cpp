#include "settings/convert.h"
#include "settings/iniout.h"
#include "settings/registry.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace kw::settings;

// Stand-ins for the main window's controls: properties as Qt offers them.
class Panel : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Width MEMBER width)
public:
    using QObject::QObject;
    int width = 0;
};

class Splitter : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Left MEMBER left)
public:
    using QObject::QObject;
    int left = 0;
};

// Position and size as widgets offer them.
class Box : public QObject {
    Q_OBJECT
    Q_PROPERTY(QPoint pos MEMBER pos)
    Q_PROPERTY(QSize size MEMBER size)
    Q_PROPERTY(int width READ width)  // read-only, as QWidget's
public:
    using QObject::QObject;
    int width() const { return size.width(); }
    QPoint pos{5, 6};
    QSize size{70, 80};
};

class CheckBox : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool checked MEMBER checked)  // lower case, as QAbstractButton has it
public:
    using QObject::QObject;
    bool checked = false;
};

// Every kind of value text.
class Gadget : public QObject {
    Q_OBJECT
public:
    enum Align : int { alNone, alTop, alBottom, alLeft };  // any int is a value, as in a stored file
    Q_ENUM(Align)
    enum Style { fsBold = 1, fsItalic = 2, fsUnderline = 4 };
    Q_DECLARE_FLAGS(Styles, Style)
    Q_FLAG(Styles)
private:
    Q_PROPERTY(int number MEMBER number)
    Q_PROPERTY(bool flag MEMBER flag)
    Q_PROPERTY(QChar letter MEMBER letter)
    Q_PROPERTY(Align align MEMBER align)
    Q_PROPERTY(Styles styles READ getStyles WRITE setStyles)
    Q_PROPERTY(double ratio MEMBER ratio)
    Q_PROPERTY(QString text MEMBER text)
    Q_PROPERTY(QStringList lines MEMBER lines)
    Q_PROPERTY(QObject *buddy MEMBER buddy)
    Q_PROPERTY(QObject *font MEMBER font)
public:
    using QObject::QObject;
    int number = 0;
    bool flag = false;
    QChar letter;
    Align align = alNone;
    Styles styles;
    Styles getStyles() const { return styles; }
    void setStyles(Styles s) { styles = s; }
    double ratio = 0;
    QString text;
    QStringList lines;
    QObject *buddy = nullptr;
    QObject *font = nullptr;
};

class Font : public QObject {
    Q_OBJECT
    Q_PROPERTY(int size MEMBER size)
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(bool bold MEMBER bold)
public:
    using QObject::QObject;
    int size = 8;
    QString name = QStringLiteral("Arial");
    bool bold = false;
};

// The main window as the settings see it: its own Top, Left and Width bound
// by accessors, the rest found by name.
struct MainForm {
    QObject form;
    Panel pnlHrLeft{&form}, pnlMainLeft{&form};
    Splitter splitter1{&form}, splMain{&form};
    CheckBox cbAutoUpdate{&form}, cbAutoUpdateNotify{&form};
    int top = 40, left = 50, width = 792;  // as designed
    TIniOut ini{&form};

    MainForm()
    {
        form.setObjectName(QStringLiteral("frmMain"));
        pnlHrLeft.setObjectName(QStringLiteral("pnlHrLeft"));
        pnlMainLeft.setObjectName(QStringLiteral("pnlMainLeft"));
        splitter1.setObjectName(QStringLiteral("Splitter1"));
        splMain.setObjectName(QStringLiteral("splMain"));
        cbAutoUpdate.setObjectName(QStringLiteral("cbAutoUpdate"));
        cbAutoUpdateNotify.setObjectName(QStringLiteral("cbAutoUpdateNotify"));
        ini.bindInt(QStringLiteral("frmMain"), QStringLiteral("Top"), [this] { return top; }, [this](int v) { top = v; });
        ini.bindInt(QStringLiteral("frmMain"), QStringLiteral("Left"), [this] { return left; }, [this](int v) { left = v; });
        ini.bindInt(QStringLiteral("frmMain"), QStringLiteral("Width"), [this] { return width; }, [this](int v) { width = v; });
        ini.setItems(mainWindowItems());
        ini.setFileName(QStringLiteral("QuillfenUpdates.ini"));
    }
};

static QString storedText(const QString &name)
{
    auto reg = openRegistry(TRegRoots::CURRENT_USER);
    if (!reg->openKey(kMainKey, false))
        return QStringLiteral("<no key>");
    if (reg->dataType(name) != RegDataType::String)
        return QStringLiteral("<not a string>");
    return reg->readString(name);
}

class TstIniOut : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> cfg;

private slots:
    void init()
    {
        cfg = std::make_unique<QTemporaryDir>();
        qputenv("KITWARDEN_CONFIG_DIR", cfg->path().toUtf8());
    }

    void firstRunAppliesDefaults()
    {
        MainForm m;
        m.pnlHrLeft.width = 7;
        m.cbAutoUpdate.checked = m.cbAutoUpdateNotify.checked = true;
        m.ini.LoadItems();
        QCOMPARE(m.top, 1);
        QCOMPARE(m.left, 1);
        QCOMPARE(m.width, 792);  // empty default leaves the designed width
        QCOMPARE(m.pnlHrLeft.width, 160);
        QCOMPARE(m.splitter1.left, 161);
        QCOMPARE(m.splMain.left, 101);
        QCOMPARE(m.pnlMainLeft.width, 100);
        QVERIFY(!m.cbAutoUpdate.checked);
        QVERIFY(!m.cbAutoUpdateNotify.checked);
        QCOMPARE(storedText(QStringLiteral("Top")), QStringLiteral("<no key>"));  // loading creates nothing
    }

    void saveThenLoadRoundTrip()
    {
        {
            MainForm m;
            m.top = 33;
            m.left = -12;
            m.width = 900;
            m.pnlHrLeft.width = 210;
            m.cbAutoUpdate.checked = true;
            m.ini.SaveItems();
        }
        QCOMPARE(storedText(QStringLiteral("Top")), QStringLiteral("33"));
        QCOMPARE(storedText(QStringLiteral("Left")), QStringLiteral("-12"));
        QCOMPARE(storedText(QStringLiteral("AutoUpdate")), QStringLiteral("1"));
        QCOMPARE(storedText(QStringLiteral("AutoUpdateNotify")), QStringLiteral("0"));
        MainForm again;
        again.ini.LoadItems();
        QCOMPARE(again.top, 33);
        QCOMPARE(again.left, -12);
        QCOMPARE(again.width, 900);
        QCOMPARE(again.pnlHrLeft.width, 210);
        QVERIFY(again.cbAutoUpdate.checked);
        QVERIFY(!again.cbAutoUpdateNotify.checked);
    }

    void booleanText_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("checked");
        QTest::newRow("True") << "True" << true;
        QTest::newRow("1") << "1" << true;
        QTest::newRow("yes") << "yes" << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("False") << "False" << false;
        QTest::newRow("junk") << "x" << false;
    }
    void booleanText()
    {
        QFETCH(QString, stored);
        QFETCH(bool, checked);
        MainForm m;
        m.ini.WriteRegString(kMainKey, QStringLiteral("AutoUpdate"), stored);
        m.cbAutoUpdate.checked = !checked;
        m.ini.LoadItems();
        QCOMPARE(m.cbAutoUpdate.checked, checked);
        m.ini.SaveItems();
        QCOMPARE(storedText(QStringLiteral("AutoUpdate")), checked ? QStringLiteral("1") : QStringLiteral("0"));
    }

    void nonStringValueIsIgnored()
    {
        {
            auto reg = openRegistry(TRegRoots::CURRENT_USER);
            QVERIFY(reg->openKey(kMainKey, true));
            reg->writeInteger(QStringLiteral("Top"), 300);
            reg->writeString(QStringLiteral("Left"), QStringLiteral("abc"));  // does not convert
            reg->writeString(QStringLiteral("olWidth"), QStringLiteral("120"));
        }
        MainForm m;
        m.ini.LoadItems();
        QCOMPARE(m.top, 40);   // neither the value nor the default
        QCOMPARE(m.left, 50);
        QCOMPARE(m.pnlMainLeft.width, 120);  // later items still load
        try {
            m.ini.ReadRegString(kMainKey, QStringLiteral("Top"), QStringLiteral("1"));
            QFAIL("no error for a number value");
        } catch (const ERegistryException &e) {
            QCOMPARE(e.message(), QStringLiteral("Invalid data type for 'Top'"));
        }
    }

    void regStrings()
    {
        TIniOut ini(nullptr);
        const QString key = QStringLiteral("\\Software\\Quillfen\\Kitwarden\\Setup");
        QCOMPARE(ini.ReadRegString(key, QStringLiteral("Company"), QStringLiteral("Your Company Name Here")),
                 QStringLiteral("Your Company Name Here"));
        auto reg = openRegistry(TRegRoots::CURRENT_USER);
        QVERIFY(reg->openKey(key, false));  // reading created the key
        ini.WriteRegString(key, QStringLiteral("Company"), QStringLiteral("B Co, 1-214 AVN"));
        // Names compare without regard to case, as in the Windows registry.
        QCOMPARE(ini.ReadRegString(QStringLiteral("\\software\\quillfen\\kitwarden\\setup"), QStringLiteral("COMPANY"),
                                   QString()),
                 QStringLiteral("B Co, 1-214 AVN"));
        // Another root is another store.
        ini.setRegistryRoot(TRegRoots::LOCAL_MACHINE);
        QCOMPARE(ini.ReadRegString(key, QStringLiteral("Company"), QStringLiteral("none")), QStringLiteral("none"));
    }

    void writeFailureIsReported()
    {
        QVERIFY(QDir(cfg->path()).mkdir(QStringLiteral("registry.json")));  // the store cannot be written
        TIniOut ini(nullptr);
        try {
            ini.WriteRegString(kSetupKey, QStringLiteral("Approved"), QStringLiteral("x"));
            QFAIL("no error");
        } catch (const ERegistryException &e) {
            QCOMPARE(e.message(), QStringLiteral("Failed to set data for 'Approved'"));
        }
        MainForm m;
        m.ini.SaveItems();  // never reports
    }

    void itemLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("unknown control") << "pnlNothing;Width;5;\\K;V;1;0";
        QTest::newRow("unknown property") << "pnlHrLeft;Height;5;\\K;V;1;0";
        QTest::newRow("blanks") << "   ";
        QTest::newRow("empty fields") << " ; ;9; ; ;1;0";
        QTest::newRow("form name case") << "FRMMAIN;Tag;5;\\K;V;1;0";
    }
    void itemLines()
    {
        QFETCH(QString, line);
        MainForm m;
        m.ini.setItems({line});
        m.ini.LoadItems();
        m.ini.SaveItems();
        QCOMPARE(m.pnlHrLeft.width, 0);
        QCOMPARE(m.top, 40);
        QVERIFY(!QFile::exists(registryFilePath()));
    }

    void fieldsAreTrimmedAndLoadOnlyIsNotSaved()
    {
        MainForm m;
        m.ini.setItems({QStringLiteral("\tpnlHrLeft ; Width ; 77 ; \\Software\\Q ; W ;1; 1 "),
                        QStringLiteral("pnlMainLeft;Width;88;\\Software\\Q;M")});  // missing fields are empty
        m.ini.LoadItems();
        QCOMPARE(m.pnlHrLeft.width, 77);
        QCOMPARE(m.pnlMainLeft.width, 88);
        m.ini.SaveItems();
        TIniOut probe(nullptr);
        QCOMPARE(probe.ReadRegString(QStringLiteral("\\Software\\Q"), QStringLiteral("W"), QStringLiteral("none")),
                 QStringLiteral("none"));
        QCOMPARE(probe.ReadRegString(QStringLiteral("\\Software\\Q"), QStringLiteral("M"), QString()),
                 QStringLiteral("88"));
    }

    void laterItemsWin()
    {
        MainForm m;
        m.ini.setItems({QStringLiteral("pnlHrLeft;Width;10;\\K;A"), QStringLiteral("pnlHrLeft;Width;20;\\K;B")});
        m.ini.LoadItems();
        QCOMPARE(m.pnlHrLeft.width, 20);
    }

    void valueText_data()
    {
        QTest::addColumn<QString>("property");
        QTest::addColumn<QString>("text");      // applied
        QTest::addColumn<QString>("written");   // read back as value text
        QTest::newRow("integer") << "number" << "-42" << "-42";
        QTest::newRow("integer blank keeps") << "number" << "" << "7";
        QTest::newRow("boolean T") << "flag" << "T" << "1";
        QTest::newRow("boolean blank keeps") << "flag" << "" << "0";
        QTest::newRow("char") << "letter" << "Yes" << "Y";
        QTest::newRow("enum") << "align" << "alBottom" << "alBottom";
        QTest::newRow("enum any case") << "align" << "ALLEFT" << "alLeft";
        QTest::newRow("set") << "styles" << "[fsItalic,fsUnderline]" << "[fsItalic,fsUnderline]";
        QTest::newRow("set members anywhere") << "styles" << "xfsBoldx" << "[fsBold]";
        QTest::newRow("set empty") << "styles" << "[]" << "[]";
        QTest::newRow("float") << "ratio" << "2.5" << "2.5";
        QTest::newRow("string") << "text" << " a;b " << " a;b ";
        QTest::newRow("string list") << "lines" << "one|two|three" << "one|two|three";
        QTest::newRow("component") << "buddy" << "pnlHrLeft" << "pnlHrLeft";
        QTest::newRow("other object") << "font" << "12|Tahoma|1" << "12|Tahoma|1";
    }
    void valueText()
    {
        QFETCH(QString, property);
        QFETCH(QString, text);
        QFETCH(QString, written);
        MainForm m;
        Gadget g(&m.form);
        g.setObjectName(QStringLiteral("gadget"));
        g.number = 7;
        Font f;  // owned by the gadget, not a component of the form
        g.font = &f;
        QVERIFY(m.ini.applyValueText(QStringLiteral("gadget"), property, text));
        QString out;
        QVERIFY(m.ini.readValueText(QStringLiteral("gadget"), property, &out));
        QCOMPARE(out, written);
    }

    void badTextRaises_data()
    {
        QTest::addColumn<QString>("property");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("integer") << "number" << "12x" << "'12x' is not a valid integer value";
        QTest::newRow("too big") << "number" << "2147483648" << "'2147483648' is not a valid integer value";
        QTest::newRow("enum") << "align" << "alMiddle" << "Invalid enumeration value 'alMiddle'";
    }
    void badTextRaises()
    {
        QFETCH(QString, property);
        QFETCH(QString, text);
        QFETCH(QString, message);
        MainForm m;
        Gadget g(&m.form);
        g.setObjectName(QStringLiteral("gadget"));
        try {
            m.ini.applyValueText(QStringLiteral("gadget"), property, text);
            QFAIL("no error");
        } catch (const EConvertError &e) {
            QCOMPARE(e.message(), message);
        }
    }

    void outOfRangeEnumWritesLowest()
    {
        MainForm m;
        Gadget g(&m.form);
        g.setObjectName(QStringLiteral("gadget"));
        g.align = Gadget::Align(9);
        QString out;
        QVERIFY(m.ini.readValueText(QStringLiteral("gadget"), QStringLiteral("align"), &out));
        QCOMPARE(out, QStringLiteral("alNone"));
    }

    void positionAndSizeOfWidgets()
    {
        MainForm m;
        Box b(&m.form);
        b.setObjectName(QStringLiteral("pnlBox"));
        m.ini.setItems({QStringLiteral("pnlBox;Left;11;\\K;L"), QStringLiteral("pnlBox;Top;12;\\K;T"),
                        QStringLiteral("pnlBox;Width;13;\\K;W"), QStringLiteral("pnlBox;Height;14;\\K;H")});
        m.ini.LoadItems();
        QCOMPARE(b.pos, QPoint(11, 12));
        QCOMPARE(b.size, QSize(13, 14));
        b.pos = QPoint(-3, 4);
        b.size = QSize(500, 60);
        m.ini.SaveItems();
        TIniOut probe(nullptr);
        QCOMPARE(probe.ReadRegString(QStringLiteral("\\K"), QStringLiteral("L"), QString()), QStringLiteral("-3"));
        QCOMPARE(probe.ReadRegString(QStringLiteral("\\K"), QStringLiteral("W"), QString()), QStringLiteral("500"));
    }

    void fileNameAndIniReading()
    {
        TIniOut ini(nullptr);
        ini.setFileName(QStringLiteral("QuillfenUpdates.ini"));
        QCOMPARE(ini.FileName(), QStringLiteral("QUILLFENUPDATES.INI"));
        ini.setFileName(QStringLiteral("c:\\dir.x\\settings"));
        QCOMPARE(ini.FileName(), QStringLiteral("C:\\DIR.X\\SETTINGS.INI"));

        QFile f(QDir(cfg->path()).filePath(QStringLiteral("QuillfenUpdates.ini")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("; comment\r\n[Other]\r\nBuild=9.9.9.9\r\n[kitwarden]\r\n  build =  2.0.3.31 \r\n"
                "File=\"http://h/x.exe\"\r\n");
        f.close();
        ini.setFileName(QStringLiteral("QuillfenUpdates.ini"));  // upper case, found all the same
        QCOMPARE(ini.ReadIniString(QStringLiteral("Kitwarden"), QStringLiteral("Build"), QStringLiteral("0.0.0.0")),
                 QStringLiteral("2.0.3.31"));
        QCOMPARE(ini.ReadIniString(QStringLiteral("Kitwarden"), QStringLiteral("File"), QString()),
                 QStringLiteral("http://h/x.exe"));
        QCOMPARE(ini.ReadIniString(QStringLiteral("Kitwarden"), QStringLiteral("Missing"), QStringLiteral("d")),
                 QStringLiteral("d"));
        QCOMPARE(ini.ReadIniString(QStringLiteral("Nope"), QStringLiteral("Build"), QStringLiteral("d")),
                 QStringLiteral("d"));
        ini.setFileName(QStringLiteral("absent.ini"));
        QCOMPARE(ini.ReadIniString(QStringLiteral("Kitwarden"), QStringLiteral("Build"), QStringLiteral("0.0.0.0")),
                 QStringLiteral("0.0.0.0"));
    }

    void unreadableStoreIsKeptAside()
    {
        QFile f(registryFilePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("{ torn");
        f.close();
        TIniOut ini(nullptr);
        QCOMPARE(ini.ReadRegString(kSetupKey, QStringLiteral("Company"), QStringLiteral("d")), QStringLiteral("d"));
        QVERIFY(QFile::exists(registryFilePath() + QStringLiteral(".bad")));
        ini.WriteRegString(kSetupKey, QStringLiteral("Company"), QStringLiteral("c"));
        QCOMPARE(ini.ReadRegString(kSetupKey, QStringLiteral("Company"), QStringLiteral("d")), QStringLiteral("c"));
    }
};

QTEST_GUILESS_MAIN(TstIniOut)
#include "tst_iniout.moc"
