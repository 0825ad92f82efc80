#pragma once
// The write-ahead journal of a Paradox table (the protocol is described in
// pxjournal.cpp).
#include <QByteArray>
#include <QFile>
#include <QPair>
#include <QVector>

namespace kw::data::px {

// A journal: the target file's final length and a list of writes. It also
// names the table header it goes with (before and after the change), so
// that a journal left beside a table that was since replaced (a restore)
// is not applied to the wrong file.
struct Journal {
    qint64 finalLength = 0;
    quint32 headerLength = 0;
    quint32 headerBefore = 0;
    quint32 headerAfter = 0;
    QVector<QPair<qint64, QByteArray>> writes;

    bool belongsTo(const QByteArray &table) const;
    QByteArray encode() const;
    // False when the journal is incomplete or damaged (then it was never applied).
    static bool decode(const QByteArray &data, Journal *j);
    // The writes applied to the table's bytes in memory.
    void applyTo(QByteArray &data) const;
    // The writes applied to the table file, which is then synced; throws
    // EngineError when it cannot be written.
    void applyTo(QFile &f) const;
};

} // namespace kw::data::px
