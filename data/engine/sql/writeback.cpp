#include "data/engine/sql/writeback.h"

#include "data/engine/dbase/dbftable.h"
#include "data/engine/engineerror.h"
#include "data/engine/fieldvalue.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/engine/sql/mirrors.h"
#include "data/engine/sql/sqlconnection.h"
#include "data/engine/sql/sqlvalues.h"

#include <QHash>
#include <QScopeGuard>
#include <algorithm>
#include <sqlite3.h>

namespace kw::data::sql {

namespace {

// A row the statement touched, with its new values in field order (none
// for a delete).
struct Affected {
    qint64 rowid;
    Row values;
};

// What one statement changes in one mirror.
struct Change {
    Kind kind;
    Mirror *m;
    QVector<int> setFields; // fields an UPDATE sets (or an INSERT lists)
    QVector<Affected> affected;
};

QVector<int> fieldsSet(const Statement &st, const Mirror *m)
{
    QVector<int> fields;
    if (st.kind == Kind::Delete || (st.kind != Kind::Update && st.setColumns.isEmpty()))
        return fields;
    for (const QString &c : st.setColumns) {
        const int fi = Mirrors::columnIndex(m, c);
        if (fi < 0)
            throw EngineError(QStringLiteral("Invalid field name.\n%1").arg(c));
        fields << fi;
    }
    return fields;
}

// Steps the statement (with RETURNING) and collects the rows it touched.
void collectAffected(const SqlConnection &db, sqlite3_stmt *q, Change &ch)
{
    int rc;
    while ((rc = sqlite3_step(q)) == SQLITE_ROW) {
        Affected a;
        a.rowid = sqlite3_column_int64(q, 0);
        if (ch.kind != Kind::Delete) {
            a.values.resize(ch.m->cols.size());
            for (int c = 0; c < ch.m->cols.size(); ++c) {
                const FieldDef &f = ch.m->def.fields[c];
                a.values[c] = toEngine(q, c + 1, f.type, true, f.name);
            }
        }
        ch.m->logChange(a.rowid); // also when SQLite truncates without telling
        ch.affected.append(std::move(a));
    }
    if (rc != SQLITE_DONE)
        db.fail();
}

// Normalizes and checks new values before anything is written, as a
// dataset would: text cut to the field's width, required fields filled.
void prepareValues(Change &ch)
{
    if (ch.kind == Kind::Delete)
        return;
    const QVector<FieldDef> &fields = ch.m->def.fields;
    for (Affected &a : ch.affected) {
        for (int c = 0; c < fields.size(); ++c) {
            const FieldSpec spec = FieldSpec::of(fields[c]);
            QVariant &v = a.values[c];
            v = fieldvalue::convert(spec, v);
            const bool written = ch.kind == Kind::Insert || ch.setFields.contains(c);
            if (written && fields[c].type != FieldType::AutoInc)
                fieldvalue::checkRequired(spec, v);
        }
    }
}

void writeDbase(Mirrors &mirrors, const Change &ch)
{
    Mirror *m = ch.m;
    DbfTable copy = *m->dbf; // changes are made on a copy and saved in one go
    QVector<qint64> rowidAt = m->rowidAt;
    QHash<qint64, int> recOf;
    for (int i = 0; i < rowidAt.size(); ++i)
        if (rowidAt[i])
            recOf.insert(rowidAt[i], i);
    QVector<QPair<qint64, int>> touched; // rowid, record
    for (const Affected &a : ch.affected) {
        switch (ch.kind) {
        case Kind::Delete:
            copy.setDeleted(recOf.value(a.rowid), true);
            rowidAt[recOf.value(a.rowid)] = 0;
            break;
        case Kind::Update: {
            const int rec = recOf.value(a.rowid);
            Row row = copy.record(rec);
            for (int fi : ch.setFields)
                row[fi] = a.values[fi];
            copy.setRecord(rec, row);
            touched.append({a.rowid, rec});
            break;
        }
        case Kind::Insert: {
            // A memo value is refused as in an UPDATE (see DbfTable), never
            // stored as an empty memo.
            const int rec = copy.appendRecord(a.values);
            rowidAt.append(a.rowid);
            touched.append({a.rowid, rec});
            break;
        }
        default:
            break;
        }
    }
    if (!ch.affected.isEmpty())
        copy.save();
    m->dbf = std::move(copy);
    m->rowidAt = rowidAt;
    m->stamp = m->dbf->stamp();
    RowRefresh refresh;
    for (const auto &[rowid, rec] : touched)
        mirrors.refreshRow(m, rowid, m->dbf->record(rec), refresh);
}

// Writes a Paradox table as one change: the rows go in one by one inside a
// batch, which reaches the file in one journalled write when it ends, so a
// crash leaves all of the statement's rows or none; a failure on the way
// abandons the batch.
class ParadoxWriter {
public:
    explicit ParadoxWriter(const Change &ch) : m_ch(ch), m(ch.m), px(ch.m->px) {}

    void write()
    {
        px->beginBatch();
        try {
            switch (m_ch.kind) {
            case Kind::Delete: removeRows(); break;
            case Kind::Update: updateRows(); break;
            default: insertRows(); break;
            }
        } catch (...) {
            px->abandonBatch();
            m->loaded = false; // the mirror starts afresh next time
            throw;
        }
        try {
            px->endBatch(); // puts the rows back itself when the write fails
        } catch (...) {
            m->loaded = false;
            throw;
        }
    }

    // Makes the mirror rows hold what the table stored (AutoInc values,
    // text cut to width); positions may have moved with key changes.
    void refreshMirror(Mirrors &mirrors)
    {
        QHash<qint64, int> where;
        for (qint64 rowid : std::as_const(m_touched))
            where.insert(rowid, -1);
        if (!where.isEmpty())
            for (int i = 0; i < m->rowidAt.size(); ++i)
                if (const auto it = where.find(m->rowidAt[i]); it != where.end())
                    it.value() = i;
        RowRefresh refresh;
        for (auto it = where.cbegin(); it != where.cend(); ++it)
            if (it.value() >= 0)
                mirrors.refreshRow(m, it.key(), px->row(it.value()), refresh);
        m->pxChanges = px->changeCount();
        m->pxRows = px->rowCount();
        m->stamp = FileStamp::of(m->path);
    }

private:
    int posOf(qint64 rowid) const
    {
        const int p = int(m->rowidAt.indexOf(rowid));
        if (p < 0)
            throw EngineError(QStringLiteral("Row not found in table.\nFile: %1").arg(m->path));
        return p;
    }
    // Positions of the affected rows, found in one pass.
    QHash<qint64, int> positions() const
    {
        QHash<qint64, int> wanted;
        for (const Affected &a : m_ch.affected)
            wanted.insert(a.rowid, -1);
        for (int i = 0; i < m->rowidAt.size(); ++i)
            if (const auto it = wanted.find(m->rowidAt[i]); it != wanted.end())
                it.value() = i;
        return wanted;
    }

    void removeRows()
    {
        const QHash<qint64, int> wanted = positions();
        QVector<int> order;
        for (const Affected &a : m_ch.affected)
            order << wanted.value(a.rowid);
        std::sort(order.begin(), order.end(), std::greater<int>());
        for (int p : order) {
            px->remove(p);
            m->rowidAt.remove(p);
            m->snapshot.remove(p);
        }
    }

    void updateRows()
    {
        const QHash<qint64, int> wanted = positions();
        for (const Affected &a : m_ch.affected) {
            // Earlier updates may have moved rows: check the position found.
            const int p = m->rowidAt.value(wanted.value(a.rowid)) == a.rowid ? wanted.value(a.rowid) : posOf(a.rowid);
            Row row = px->row(p);
            for (int fi : m_ch.setFields)
                row[fi] = a.values[fi];
            const int np = px->update(p, row);
            if (np != p) {
                m->rowidAt.move(p, np);
                m->snapshot.move(p, np);
            }
            m->snapshot[np] = px->row(np);
            m_touched.append(a.rowid);
        }
    }

    void insertRows()
    {
        for (const Affected &a : m_ch.affected) {
            Row row = a.values;
            const int np = px->insert(row);
            m->rowidAt.insert(np, a.rowid);
            m->snapshot.insert(np, px->row(np));
            m->nextRowid = std::max(m->nextRowid, a.rowid + 1);
            m_touched.append(a.rowid);
        }
    }

    const Change &m_ch;
    Mirror *m;
    ParadoxTable *px;
    QVector<qint64> m_touched;
};

} // namespace

int writeBack(SqlConnection &db, Mirrors &mirrors, const Statement &st, const Translation &tr, Mirror *m,
              const QHash<QString, QVariant> &params)
{
    Change ch{st.kind, m, fieldsSet(st, m), {}};
    Stmt q;
    QString text = tr.sql;
    while (!text.isEmpty() && (text.back().isSpace() || text.back() == u';'))
        text.chop(1);
    db.prepare(q, text + QStringLiteral(" RETURNING rowid,*"));
    bindValues(q.s, paramValues(tr.params, params));

    Savepoint sp(db, "change");
    {
        // Done with before the savepoint is released or rolled back.
        const auto finished = qScopeGuard([&] { sqlite3_reset(q.s); });
        collectAffected(db, q.s, ch);
    }
    prepareValues(ch);
    if (m->dbase) {
        writeDbase(mirrors, ch);
    } else {
        ParadoxWriter writer(ch);
        writer.write();
        writer.refreshMirror(mirrors);
    }
    sp.release();
    return int(ch.affected.size());
}

} // namespace kw::data::sql
