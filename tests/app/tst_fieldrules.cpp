// One rule for a field's value whoever writes it: a grid cell, a dataset,
// a local SQL statement or the table itself takes the same values and
// refuses the same ones with the same message. The lowest value of a stored
// integer is the format's blank marker, so it is refused everywhere.
#include "app/apperror.h"
#include "app/datasetmodel.h"
#include "data/engine/engineerror.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/engine/session.h"
#include "data/engine/tabledataset.h"
#include "shopfixture.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace kw::data;

class TstFieldRules : public QObject {
    Q_OBJECT
    QTemporaryDir m_cfg, m_dir;
    std::unique_ptr<Session> m_session;
    std::unique_ptr<Database> m_db;
    std::unique_ptr<TableDataset> m_counts;
    kwtest::ScriptedPrompts m_prompts;
    int m_nextId = 1;

    ParadoxTable &table() { return *m_session->table(m_dir.path(), QStringLiteral("Counts.DB")); }

    template <typename F>
    static QString errorOf(F f)
    {
        try {
            f();
        } catch (const EngineError &e) {
            return e.message();
        }
        return QString();
    }

    // The message each writer gives for value in field, "" when it is taken.
    QString byTable(const QString &field, qint64 value)
    {
        Row r(3);
        r[0] = m_nextId++;
        r[table().def().fieldIndex(field)] = value;
        return errorOf([&] { table().insert(r); });
    }
    QString bySql(const QString &field, qint64 value)
    {
        return errorOf([&] {
            m_session->sql().exec(QStringLiteral("INSERT INTO \"Counts.DB\" (Id, \"%1\") VALUES (:id, :v)").arg(field),
                                  m_dir.path(), {{QStringLiteral("id"), m_nextId++}, {QStringLiteral("v"), value}});
        });
    }
    QString byDataset(const QString &field, qint64 value)
    {
        m_counts->append();
        m_counts->fieldByName(QStringLiteral("Id")).setValue(m_nextId++);
        const QString e = errorOf([&] { m_counts->fieldByName(field).setValue(value); });
        m_counts->cancel();
        return e;
    }
    QString byGrid(const QString &field, qint64 value)
    {
        kw::app::DatasetModel model;
        model.setDataset(m_counts.get());
        m_counts->append();
        m_counts->fieldByName(QStringLiteral("Id")).setValue(m_nextId++);
        m_prompts.messages.clear();
        const bool taken = model.setData(model.index(m_counts->recNo(), model.columnOfField(field)),
                                         QString::number(value), Qt::EditRole);
        m_counts->cancel();
        return taken ? QString() : m_prompts.messages.value(0, QStringLiteral("refused without a message"));
    }

private slots:
    void initTestCase()
    {
        qputenv("KITWARDEN_CONFIG_DIR", m_cfg.path().toLocal8Bit());
        kw::app::setPrompts(&m_prompts);
        TableDef def;
        def.fields = {{QStringLiteral("Id"), FieldType::Long, 4}, {QStringLiteral("Qty"), FieldType::Short, 2},
                      {QStringLiteral("Total"), FieldType::Long, 4}};
        def.keyFieldCount = 1;
        ParadoxTable::create(m_dir.filePath(QStringLiteral("Counts.DB")), def, QString());
        m_session = std::make_unique<Session>();
        m_db = std::make_unique<Database>(*m_session, QStringLiteral("Rules"));
        m_db->setParam(QStringLiteral("PATH"), m_dir.path());
        m_counts = std::make_unique<TableDataset>(*m_db, QStringLiteral("tblCounts"));
        m_counts->setTableName(QStringLiteral("Counts.DB"));
        m_counts->open();
    }
    void cleanupTestCase()
    {
        m_counts.reset();
        m_db.reset();
        m_session.reset();
        kw::app::setPrompts(nullptr);
    }

    void sameRuleEverywhere_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("error");
        const QString shortRange = QStringLiteral(" is not a valid value for field 'Qty'. The allowed range is -32767 to 32767.");
        const QString longRange =
            QStringLiteral(" is not a valid value for field 'Total'. The allowed range is -2147483647 to 2147483647.");
        QTest::newRow("short lowest") << "Qty" << qint64(-32767) << "";
        QTest::newRow("short highest") << "Qty" << qint64(32767) << "";
        QTest::newRow("short blank marker") << "Qty" << qint64(-32768) << "-32768" + shortRange;
        QTest::newRow("short too big") << "Qty" << qint64(32768) << "32768" + shortRange;
        QTest::newRow("long lowest") << "Total" << qint64(-2147483647) << "";
        QTest::newRow("long blank marker") << "Total" << qint64(-2147483648LL) << "-2147483648" + longRange;
        QTest::newRow("long too big") << "Total" << qint64(2147483648LL) << "2147483648" + longRange;
    }
    void sameRuleEverywhere()
    {
        QFETCH(QString, field);
        QFETCH(qint64, value);
        QFETCH(QString, error);
        QCOMPARE(byTable(field, value), error);
        QCOMPARE(bySql(field, value), error);
        QCOMPARE(byDataset(field, value), error);
        QCOMPARE(byGrid(field, value), error);
    }
};

QTEST_MAIN(TstFieldRules)
#include "tst_fieldrules.moc"
