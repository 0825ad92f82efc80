// The dataset model and the grid on their own: values shown and parsed,
// check-box cells, widths in characters, cursor sync, keys.
#include "app/apperror.h"
#include "app/dbgrid.h"
#include "app/dbnavigator.h"
#include "data/engine/engineerror.h"
#include "shopfixture.h"

#include <QHeaderView>
#include <QTest>

using namespace kw::app;
using namespace kw::data;
using kwtest::ScriptedPrompts;

class TestDbGrid : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_cfg, m_data;
    std::unique_ptr<Session> m_session;
    std::unique_ptr<TdmMain> m_dm;
    ScriptedPrompts m_prompts;

    static Field fieldOf(FieldType t, int size = 0)
    {
        Field f;
        f.name = QStringLiteral("F");
        f.type = t;
        f.size = size;
        return f;
    }

private slots:
    void initTestCase()
    {
        qputenv("KITWARDEN_CONFIG_DIR", m_cfg.path().toLocal8Bit());
        setPrompts(&m_prompts);
        m_session = std::make_unique<Session>();
        m_dm = std::make_unique<TdmMain>(*m_session);
        kwtest::fillShop(*m_dm, m_data.path());
    }
    void init()
    {
        m_prompts = ScriptedPrompts();
        m_dm->dbMain.open();
        for (TableDataset *t : m_dm->shopTables())
            t->open();
    }
    void cleanup()
    {
        for (TableDataset *t : m_dm->shopTables()) {
            if (t->isEditing())
                t->cancel();
            t->close();
        }
    }
    void cleanupTestCase()
    {
        m_dm.reset();
        m_session.reset();
        setPrompts(nullptr);
    }

    void parseText_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("error");
        const int S = int(FieldType::Short), D = int(FieldType::Date), A = int(FieldType::Alpha);
        QTest::newRow("short") << S << " 42 " << QVariant(42) << "";
        QTest::newRow("short empty") << S << "" << QVariant() << "";
        QTest::newRow("short text") << S << "4x" << QVariant() << "'4x' is not a valid integer value";
        QTest::newRow("short range") << S << "40000" << QVariant()
                                     << "40000 is not a valid value for field 'F'. The allowed range is -32767 to 32767.";
        QTest::newRow("date mdy") << D << "1/15/2002" << QVariant(QDate(2002, 1, 15)) << "";
        QTest::newRow("date two-digit 49") << D << "3/5/49" << QVariant(QDate(2049, 3, 5)) << "";
        QTest::newRow("date two-digit 50") << D << "3/5/50" << QVariant(QDate(1950, 3, 5)) << "";
        QTest::newRow("date iso") << D << "2002-01-15" << QVariant(QDate(2002, 1, 15)) << "";
        QTest::newRow("date bad day") << D << "2/30/2002" << QVariant() << "'2/30/2002' is not a valid date";
        QTest::newRow("date text") << D << "soon" << QVariant() << "'soon' is not a valid date";
        QTest::newRow("alpha") << A << " as typed" << QVariant(QStringLiteral(" as typed")) << "";
    }
    void parseText()
    {
        QFETCH(int, type);
        QFETCH(QString, text);
        QFETCH(QVariant, value);
        QFETCH(QString, error);
        const Field f = fieldOf(FieldType(type), 20);
        try {
            const QVariant v = DatasetModel::parseText(f, text);
            QVERIFY2(error.isEmpty(), "no error raised");
            QCOMPARE(v, value);
        } catch (const EngineError &e) {
            QCOMPARE(e.message(), error);
        }
    }

    void formatValue()
    {
        const Field f = fieldOf(FieldType::Date);
        QCOMPARE(DatasetModel::formatValue(f, QDate(2002, 1, 5)), QStringLiteral("1/5/2002"));
        QCOMPARE(DatasetModel::formatValue(f, QVariant()), QString());
    }

    void widthsInCharacters()
    {
        TDBGrid grid;
        grid.setDataSource(&m_dm->dsHrdf);
        for (int px : {10, 16}) {
            QFont font(QStringLiteral("Liberation Sans"));
            font.setPixelSize(px);
            grid.setFont(font);
            const int ch = charWidth(font);
            QVERIFY(ch >= QFontMetrics(font).horizontalAdvance(QLatin1Char('0')));
            const int holder = grid.gridModel()->columnOfField(QStringLiteral("HR Holder"));
            QCOMPARE(grid.columnWidth(holder), 30 * ch + 8);
            // A narrow column is never narrower than its title.
            const int number = grid.gridModel()->columnOfField(QStringLiteral("HR Number"));
            QVERIFY(grid.columnWidth(number) >= QFontMetrics(grid.horizontalHeader()->font()).horizontalAdvance(
                                                    QStringLiteral("HR #")));
        }
    }

    void checkBoxCells()
    {
        TDBGrid grid;
        grid.resize(900, 300);
        grid.setDataSource(&m_dm->dsList);
        grid.show();
        DatasetModel *m = grid.gridModel();
        const int alse = m->columnOfField(QStringLiteral("Alse"));
        QVERIFY(alse >= 0);
        // Nomenclature order: battery, first aid kit, vest.
        QModelIndex idx = m->index(0, alse);
        QCOMPARE(idx.data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QVERIFY(idx.flags() & Qt::ItemIsUserCheckable);
        QVERIFY(!(idx.flags() & Qt::ItemIsEditable));
        QVERIFY(!idx.data(Qt::DisplayRole).isValid());
        const QRect cell = grid.visualRect(idx);
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(m_dm->tblList.fieldByName(QStringLiteral("Alse")).value().toBool(), true);
        QCOMPARE(idx.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        m_dm->tblList.post();
        QCOMPARE(m_dm->tblList.rowValue(0, m_dm->tblList.fieldByName(QStringLiteral("Alse")).index()).toBool(),
                 true);
    }

    void cursorFollowsBothWays()
    {
        TDBGrid grid;
        grid.setDataSource(&m_dm->dsHrdf);
        m_dm->tblHrdf.first();
        grid.setCurrentIndex(grid.gridModel()->index(2, 1));
        QCOMPARE(m_dm->tblHrdf.recNo(), 2);
        m_dm->tblHrdf.first();
        QCOMPARE(grid.currentIndex().row(), 0);
        QCOMPARE(grid.currentIndex().column(), 1);
    }

    void badTextShowsEngineMessage()
    {
        TDBGrid grid;
        grid.setDataSource(&m_dm->dsHr);
        DatasetModel *m = grid.gridModel();
        const int due = m->columnOfField(QStringLiteral("Insp Due"));
        const QVariant before = m->index(0, due).data(DatasetModel::ValueRole);
        QVERIFY(!m->setData(m->index(0, due), QStringLiteral("31/31/2002"), Qt::EditRole));
        QCOMPARE(m_prompts.messages, QStringList{QStringLiteral("'31/31/2002' is not a valid date")});
        QCOMPARE(m->index(0, due).data(DatasetModel::ValueRole), before);
    }

    void keys()
    {
        TDBGrid grid;
        grid.setDataSource(&m_dm->dsHrdf);
        grid.show();
        grid.setFocus();
        grid.setCurrentIndex(grid.gridModel()->index(1, 0));
        const int rows = grid.gridModel()->rowCount();
        QTest::keyClick(&grid, Qt::Key_Insert);
        QCOMPARE(m_dm->tblHrdf.state(), DatasetState::Insert);
        QCOMPARE(grid.gridModel()->rowCount(), rows + 1);
        QCOMPARE(grid.currentIndex().row(), m_dm->tblHrdf.recNo());
        QTest::keyClick(&grid, Qt::Key_Escape);
        QCOMPARE(m_dm->tblHrdf.state(), DatasetState::Browse);
        QCOMPARE(grid.gridModel()->rowCount(), rows);
        // Without the option, Enter does not move on.
        QVERIFY(!grid.enterMovesToNextColumn);
        grid.setCurrentIndex(grid.gridModel()->index(0, 0));
        QTest::keyClick(&grid, Qt::Key_Return);
        QCOMPARE(grid.currentIndex().column(), 0);
        // Title buttons only when switched on.
        QStringList clicked;
        connect(&grid, &TDBGrid::titleButtonClick, this, [&](const QString &f) { clicked << f; });
        QHeaderView *h = grid.horizontalHeader();
        auto clickTitle = [&](int col) {
            QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                              QPoint(h->sectionViewportPosition(col) + 5, h->height() / 2));
        };
        clickTitle(1);
        QVERIFY(clicked.isEmpty());
        grid.setTitleButtons(true);
        clickTitle(1);
        QCOMPARE(clicked, QStringList{QStringLiteral("HR Holder")});
    }

    void navigatorButtons()
    {
        TDBNavigator nav;
        nav.setDataSource(&m_dm->dsHrdf);
        QVERIFY(nav.btnInsert()->isEnabled());
        QVERIFY(nav.btnDelete()->isEnabled());
        QVERIFY(!nav.btnPost()->isEnabled());
        QTest::mouseClick(nav.btnInsert(), Qt::LeftButton);
        QCOMPARE(m_dm->tblHrdf.state(), DatasetState::Insert);
        QVERIFY(nav.btnPost()->isEnabled());
        m_dm->tblHrdf.fieldByName(QStringLiteral("HR Number")).setValue(7);
        m_dm->tblHrdf.fieldByName(QStringLiteral("HR Holder")).setValue(QStringLiteral("Ito, Ken"));
        QTest::mouseClick(nav.btnPost(), Qt::LeftButton);
        QCOMPARE(m_dm->tblHrdf.state(), DatasetState::Browse);
        QVERIFY(m_dm->tblHrdf.findKey({7}));
        m_prompts.answers = {true};
        QTest::mouseClick(nav.btnDelete(), Qt::LeftButton);
        QCOMPARE(m_prompts.questions, QStringList{QStringLiteral("Delete record?")});
        QVERIFY(!m_dm->tblHrdf.findKey({7}));
        m_dm->tblHrdf.close();
        QVERIFY(!nav.btnInsert()->isEnabled());
    }
};

QTEST_MAIN(TestDbGrid)
#include "tst_dbgrid.moc"
