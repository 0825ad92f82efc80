// The derived files of a table (.PX, .VAL, .Xnn/.Ynn, .XGn/.YGn) are made
// from the table alone: checked cheaply on open, compared byte for byte and
// rewritten where they differ on close, rebuilt when lost.
#include "data/engine/paradox/paradoxtableimpl.h"

#include "core/durablefile.h"
#include "core/findfile.h"
#include "data/engine/paradox/pxio.h"

#include <QDir>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>

namespace kw::data::px {

bool isSingleFieldExt(const QString &ext)
{
    if (ext.size() != 3 || ext[0] != QLatin1Char('X'))
        return false;
    bool ok = false;
    ext.mid(1).toInt(&ok, 16);
    return ok && ext[1] != QLatin1Char('G');
}

bool isIndexExt(const QString &ext, QString *dataExt)
{
    QString x = ext.toUpper();
    if (x.startsWith(QLatin1Char('Y')))
        x[0] = QLatin1Char('X');
    if (dataExt)
        *dataExt = x;
    return isSingleFieldExt(x) || (x.size() == 3 && x.startsWith(QLatin1String("XG")));
}

void ParadoxTableImpl::scanIndexes()
{
    m_info.def.indexes.clear();
    if (m_level < 4)
        return;
    const QStringList entries = QDir(m_dir).entryList(QDir::Files);
    QSet<QString> haveX;
    QStringList yOnly;
    for (const QString &e : entries) {
        const QFileInfo fi(e);
        if (fi.completeBaseName().compare(m_base, Qt::CaseInsensitive) != 0)
            continue;
        const QString ext = fi.suffix().toUpper();
        const bool single = isSingleFieldExt(ext);
        const bool named = ext.size() == 3 && ext.startsWith(QLatin1String("XG"));
        if (!single && !named) {
            if (ext.size() == 3 && ext[0] == QLatin1Char('Y'))
                yOnly.append(ext);
            continue;
        }
        haveX.insert(ext);
        bool ok = false;
        const QByteArray xdata = readHeaderBytes(QDir(m_dir).filePath(e), &ok);
        IndexDef idx;
        try {
            if (ok) {
                const FileHeader xh = parseHeader(xdata, false, e);
                idx = indexDefFromHeader(xh, m_info.def, ext);
            }
        } catch (const EngineError &) {
        }
        if (idx.name.isEmpty() && single) {
            // A damaged single-field index still names its field.
            const int fnum = ext.mid(1).toInt(nullptr, 16);
            if (fnum >= 1 && fnum <= m_info.def.fields.size()) {
                idx.name = m_info.def.fields[fnum - 1].name;
                idx.fields = QStringList{idx.name};
                idx.fileExt = ext;
            }
        }
        if (!idx.name.isEmpty())
            m_info.def.indexes.append(idx);
    }
    // A lone .Ynn still tells which field its lost .Xnn indexed.
    for (const QString &y : yOnly) {
        QString x = y;
        x[0] = QLatin1Char('X');
        if (haveX.contains(x) || !isSingleFieldExt(x))
            continue;
        const int fnum = x.mid(1).toInt(nullptr, 16);
        if (fnum >= 1 && fnum <= m_info.def.fields.size()) {
            IndexDef idx;
            idx.name = m_info.def.fields[fnum - 1].name;
            idx.fields = QStringList{idx.name};
            idx.fileExt = x;
            m_info.def.indexes.append(idx);
        }
    }
    std::sort(m_info.def.indexes.begin(), m_info.def.indexes.end(),
              [](const IndexDef &a, const IndexDef &b) { return a.fileExt < b.fileExt; });
}

// A writer killed while it replaced one of the table's files leaves the
// temporary beside it. The writer holds the table's lock while it writes,
// so once this opener holds it, every such temporary is stale.
void ParadoxTableImpl::removeStaleTemporaries()
{
    const QDir dir(m_dir);
    for (const QString &e : dir.entryList(QDir::Files | QDir::Hidden)) {
        const QFileInfo target(kw::core::durableTargetOf(e));
        if (target.fileName().isEmpty() || target.completeBaseName().compare(m_base, Qt::CaseInsensitive) != 0)
            continue;
        const QString ext = target.suffix().toUpper();
        if (ext == QLatin1String("DB") || ext == QLatin1String("PX") || ext == QLatin1String("VAL")
            || ext == QLatin1String("MB") || isIndexExt(ext))
            QFile::remove(dir.filePath(e));
    }
}

QString ParadoxTableImpl::companion(const QString &ext) const
{
    return kw::core::findFileNoCase(m_dir, m_base + QLatin1Char('.') + ext);
}

QVector<ChainBlock> ParadoxTableImpl::chainBlocks() const
{
    QVector<ChainBlock> out;
    int first = 0;
    for (const Blk &b : m_s.chain) {
        out.append({b.num, first, b.count});
        first += b.count;
    }
    return out;
}

// ---- derived files ----------------------------------------------------------------

bool ParadoxTableImpl::derivedStale()
{
    if (m_header[0x14] != 0 || m_rebuildPending)
        return true;
    const auto *th = reinterpret_cast<const uchar *>(m_header.constData());
    bool ok = false;
    if (m_keyBytes > 0) {
        const QString pxPath = companion(QStringLiteral("PX"));
        const QByteArray px = readWholeFile(pxPath, &ok);
        if (!ok || px != buildPrimaryIndex(m_info, m_s.recs, chainBlocks(), QFileInfo(pxPath).fileName().toLatin1()))
            return true;
    }
    if (m_hasVal && m_level >= 4) {
        ValInfo vi;
        const QByteArray val = readWholeFile(companion(QStringLiteral("VAL")), &ok);
        if (!ok || !readValFile(val, &vi) || vi.changeCounter2 != th[0x2E]
            || vi.updateTime != m_info.updateTime || vi.nextFieldId != m_info.nextFieldId)
            return true;
    }
    for (const IndexDef &idx : std::as_const(m_info.def.indexes)) {
        const QByteArray x = readHeaderBytes(companion(idx.fileExt), &ok);
        if (!ok)
            return true;
        QString yExt = idx.fileExt;
        yExt[0] = QLatin1Char('Y');
        const QByteArray y = readHeaderBytes(companion(yExt), &ok);
        if (!ok || x.size() < 0x58 || y.size() < 0x58)
            return true;
        const auto *xd = reinterpret_cast<const uchar *>(x.constData());
        const auto *yd = reinterpret_cast<const uchar *>(y.constData());
        if (qFromLittleEndian<quint32>(xd + 6) != quint32(m_s.recs.size()) || xd[0x2F] != th[0x2D] || xd[0x2E] != th[0x2E]
            || yd[0x2C] != xd[0x2D])
            return true;
    }
    return false;
}

// Writes every derived file whose bytes differ from what the table gives.
void ParadoxTableImpl::writeDerived()
{
    auto writeFileAtomic = [](const QString &path, const QByteArray &data) {
        bool ok = false;
        if (readWholeFile(path, &ok) == data && ok)
            return;
        px::writeFileAtomic(path, data);
    };
    const QVector<ChainBlock> chain = chainBlocks();
    m_info.autoIncrement = m_s.autoInc;
    if (m_keyBytes > 0) {
        const QString pxPath = companion(QStringLiteral("PX"));
        writeFileAtomic(pxPath, buildPrimaryIndex(m_info, m_s.recs, chain, QFileInfo(pxPath).fileName().toLatin1()));
    }
    if (m_level >= 4) {
        if (m_hasVal) {
            const QString valPath = companion(QStringLiteral("VAL"));
            writeFileAtomic(valPath, buildValFile(m_info, native(QFileInfo(m_path).absoluteFilePath()).toLatin1()));
        }
        for (const IndexDef &idx : std::as_const(m_info.def.indexes)) {
            QString yExt = idx.fileExt;
            yExt[0] = QLatin1Char('Y');
            const QString xPath = companion(idx.fileExt), yPath = companion(yExt);
            const SecondaryFiles files = buildSecondaryIndex(m_info, idx, m_s.recs, chain,
                                                             QFileInfo(xPath).fileName().toLatin1(),
                                                             QFileInfo(yPath).fileName().toLatin1());
            writeFileAtomic(xPath, files.x);
            writeFileAtomic(yPath, files.y);
        }
    }
    m_rebuildPending = false;
}

void ParadoxTableImpl::syncSchema(const TableDef &expected)
{
    if (m_readOnly || !m_open)
        return;
    if (expected.fields.size() != m_info.def.fields.size())
        throw EngineError(QStringLiteral("Table structure does not match.\nFile: %1").arg(native(m_path)));
    bool changed = false;
    for (int i = 0; i < expected.fields.size(); ++i) {
        if (expected.fields[i].name.compare(m_info.def.fields[i].name, Qt::CaseInsensitive) != 0
            || expected.fields[i].type != m_info.def.fields[i].type)
            throw EngineError(QStringLiteral("Table structure does not match.\nFile: %1").arg(native(m_path)));
        if (expected.hasValFile && m_info.def.fields[i].required != expected.fields[i].required) {
            m_info.def.fields[i].required = expected.fields[i].required;
            changed = true;
        }
    }
    if (expected.hasValFile && !m_hasVal) {
        m_hasVal = true;
        m_info.def.hasValFile = true;
        changed = true;
    }
    for (const IndexDef &want : expected.indexes) {
        auto same = [&](const IndexDef &have) {
            return have.fileExt.compare(want.fileExt, Qt::CaseInsensitive) == 0;
        };
        auto it = std::find_if(m_info.def.indexes.begin(), m_info.def.indexes.end(), same);
        if (want.fileExt.isEmpty())
            continue;
        IndexDef w = want;
        w.fileExt = want.fileExt.toUpper();
        if (it == m_info.def.indexes.end()) {
            m_info.def.indexes.append(w);
            changed = true;
        } else if (it->name.compare(w.name, Qt::CaseInsensitive) != 0 || it->fields.size() != w.fields.size()
                   || it->caseInsensitive != w.caseInsensitive || it->descending != w.descending) {
            *it = w;
            changed = true;
        } else {
            for (int f = 0; f < w.fields.size(); ++f)
                if (it->fields[f].compare(w.fields[f], Qt::CaseInsensitive) != 0) {
                    *it = w;
                    changed = true;
                    break;
                }
        }
    }
    if (changed) {
        std::sort(m_info.def.indexes.begin(), m_info.def.indexes.end(),
                  [](const IndexDef &a, const IndexDef &b) { return a.fileExt < b.fileExt; });
        writeDerived();
        ++m_changes;
    }
}

} // namespace kw::data::px
