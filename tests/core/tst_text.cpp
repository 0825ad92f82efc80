// Texts every part of the program writes the same way: CSV fields, and
// messages that quote values read from damaged files.
#include "core/csv.h"
#include "core/error.h"

#include <QtTest>

using namespace kw::core;

class TstText : public QObject {
    Q_OBJECT
private slots:
    void csvField_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("field");
        QTest::newRow("plain") << "LIFE VEST" << "LIFE VEST";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("comma") << "a,b" << "\"a,b\"";
        QTest::newRow("quote doubled") << "12\" RAFT" << "\"12\"\" RAFT\"";
        QTest::newRow("line feed") << "a\nb" << "\"a\nb\"";
        QTest::newRow("carriage return") << "a\rb" << "\"a\rb\"";
        QTest::newRow("leading blank") << " a" << "\" a\"";
        QTest::newRow("trailing blank") << "a " << "\"a \"";
    }
    void csvField()
    {
        QFETCH(QString, value);
        QFETCH(QString, field);
        QCOMPARE(kw::core::csvField(value), field);
    }

    void csvRowJoinsQuotedFields()
    {
        QCOMPARE(csvRow({"1", "a\rb", "", "x,y"}), QStringLiteral("1,\"a\rb\",,\"x,y\""));
    }

    void printable_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << "HRDF.DBF" << "HRDF.DBF";
        QTest::newRow("nul") << QStringLiteral("12") + QChar(0) + QStringLiteral("34") << "12\\034";
        QTest::newRow("line break") << "a\nFile: x" << "a\\nFile: x";
        QTest::newRow("escape") << "a\x1b[2J" << "a\\x1b[2J";
        QTest::newRow("tab and return") << "a\tb\r" << "a\\tb\\r";
        QTest::newRow("letters beyond ascii") << QStringLiteral("Gro\u00dfe") << QStringLiteral("Gro\u00dfe");
    }
    void printable()
    {
        QFETCH(QString, value);
        QFETCH(QString, shown);
        QCOMPARE(kw::core::printable(value), shown);
    }

    // A message travels whole: its text after a NUL is still there, in the
    // message and in what() for code that knows only std::exception.
    void messageKeepsWhatFollowsANul()
    {
        const QString text = QStringLiteral("bad value \"1") + QChar(0) + QStringLiteral("2\"\nFile: /data/ALSE.DBF");
        try {
            throw Error(text);
        } catch (const std::exception &e) {
            QCOMPARE(messageOf(e), text);
            QVERIFY(QByteArray(e.what()).endsWith("File: /data/ALSE.DBF"));
            QVERIFY(QByteArray(e.what()).contains("1\\02"));
        }
        QCOMPARE(printableLines(text), QStringLiteral("bad value \"1\\02\"\nFile: /data/ALSE.DBF"));
    }

    void messageOfAForeignException()
    {
        QCOMPARE(messageOf(std::runtime_error("plain")), QStringLiteral("plain"));
    }
};

QTEST_GUILESS_MAIN(TstText)
#include "tst_text.moc"
