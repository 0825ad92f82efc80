#include "data/engine/paradox/pxio.h"

#include "core/durablefile.h"
#include "data/engine/engineerror.h"

#include <QDir>

namespace kw::data::px {

QString native(const QString &path) { return QDir::toNativeSeparators(path); }

void ioError(const QString &what, const QString &path, const QString &detail)
{
    throw EngineError(QStringLiteral("%1: %2 (%3).").arg(what, native(path), detail));
}

void syncFile(QFile &f)
{
    QString why;
    if (!kw::core::syncFile(f, &why))
        ioError(QStringLiteral("Cannot flush file"), f.fileName(), why);
}

void writeFileAtomic(const QString &path, const QByteArray &data)
{
    QString why;
    if (!kw::core::writeFileDurably(path, data, &why))
        ioError(QStringLiteral("Cannot write file"), path, why);
}

QByteArray readHeaderBytes(const QString &path, bool *ok)
{
    QFile f(path);
    *ok = f.open(QIODevice::ReadOnly);
    return *ok ? f.read(65536) : QByteArray();
}

QByteArray readWholeFile(const QString &path, bool *ok)
{
    QFile f(path);
    *ok = f.open(QIODevice::ReadOnly);
    return *ok ? f.readAll() : QByteArray();
}

} // namespace kw::data::px
