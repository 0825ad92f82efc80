// Helper of tst_paradox_crash: posts rows to a table until it is killed,
// printing a line after every change that has returned (and so must survive).
// With "batch" it adds rows in batches instead: "batch K SEQ..." names the
// rows of batch K before it ends, "done K" says that it has ended.
#include "data/engine/engineerror.h"
#include "data/engine/paradox/paradoxtable.h"

#include <QCoreApplication>
#include <QDate>
#include <QRandomGenerator>
#include <cstdio>

using namespace kw::data;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: px_crash_writer TABLE SEED [batch]\n");
        return 2;
    }
    try {
        auto t = ParadoxTable::open(args[1], {QStringLiteral("HarborlyQZ")}, false);
        QRandomGenerator rng(args[2].toUInt());
        int seq = 0;
        for (int i = 0; i < t->rowCount(); ++i)
            seq = std::max(seq, t->row(i)[1].toInt());
        std::printf("open %d\n", t->rowCount());
        std::fflush(stdout);
        if (args.size() > 3 && args[3] == QLatin1String("batch")) {
            for (int k = args[2].toInt() * 100000;; ++k) {
                t->beginBatch();
                QByteArray line = "batch " + QByteArray::number(k);
                for (int n = 2 + int(rng.bounded(5)); n > 0; --n) {
                    ++seq;
                    Row r{QVariant(), seq, QStringLiteral("b%1").arg(seq), QDate(2020, 1, 1).addDays(seq % 3000),
                          int(rng.bounded(100))};
                    t->insert(r);
                    line += ' ' + QByteArray::number(seq);
                }
                std::printf("%s\n", line.constData());
                std::fflush(stdout);
                t->endBatch();
                std::printf("done %d\n", k);
                std::fflush(stdout);
            }
        }
        for (;;) {
            ++seq;
            if (t->rowCount() > 0 && rng.bounded(4) == 0) {
                // Change a row: its text records the step that wrote it.
                const int pos = int(rng.bounded(t->rowCount()));
                Row r = t->row(pos);
                r[2] = QStringLiteral("u%1").arg(seq);
                t->update(pos, r);
                std::printf("updated %d %d\n", r[0].toInt(), seq);
            } else if (t->rowCount() > 20 && rng.bounded(8) == 0) {
                const int pos = int(rng.bounded(t->rowCount()));
                const int id = t->row(pos)[0].toInt();
                // Said first: if killed just after the removal returns, the
                // row may be gone although "removed" never came out.
                std::printf("removing %d\n", id);
                std::fflush(stdout);
                t->remove(pos);
                std::printf("removed %d\n", id);
            } else {
                Row r{QVariant(), seq, QStringLiteral("p%1").arg(seq), QDate(2020, 1, 1).addDays(seq % 3000),
                      int(rng.bounded(100))};
                t->insert(r);
                std::printf("posted %d %d\n", r[0].toInt(), seq);
            }
            std::fflush(stdout);
        }
    } catch (const EngineError &e) {
        std::fprintf(stderr, "error: %s\n", qPrintable(e.message()));
        return 1;
    }
}
