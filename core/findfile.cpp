#include "core/findfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <filesystem>
#include <system_error>

namespace kw::core {

namespace {

QString matchEntry(const QDir &dir, const QString &name, QDir::Filters filters)
{
    const QStringList entries = dir.entryList(filters);
    for (const QString &e : entries)
        if (e.compare(name, Qt::CaseInsensitive) == 0)
            return e;
    return {};
}

} // namespace

QString findExistingFileNoCase(const QString &dir, const QString &fileName)
{
    const QDir d(dir);
    const QString exact = d.filePath(fileName);
    if (QFileInfo::exists(exact))
        return exact;
    const QString match = matchEntry(d, fileName, QDir::Files | QDir::Hidden | QDir::System);
    return match.isEmpty() ? QString() : d.filePath(match);
}

QString findFileNoCase(const QString &dir, const QString &fileName)
{
    const QString found = findExistingFileNoCase(dir, fileName);
    return found.isEmpty() ? QDir(dir).filePath(fileName) : found;
}

QString resolvePathNoCase(const QString &path)
{
    if (path.isEmpty() || QFileInfo::exists(path))
        return path;
    const QStringList parts = QDir::fromNativeSeparators(path).split(QLatin1Char('/'));
    QString cur;
    for (int i = 0; i < parts.size(); ++i) {
        const QString &p = parts[i];
        const QString next = i == 0 ? p : cur + QLatin1Char('/') + p;
        if (i == 0 || p.isEmpty() || QFileInfo::exists(next)) {
            cur = next;
            continue;
        }
        const QDir dir(cur.isEmpty() ? QStringLiteral("/") : cur);
        const QString match = matchEntry(dir, p, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        if (match.isEmpty())
            return path;
        cur = dir.filePath(match);
    }
    return cur;
}

NoCaseDirectory::NoCaseDirectory(const QString &dir) : m_dir(dir)
{
    const QStringList entries = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &e : entries)
        m_byLower.insert(e.toLower(), e);
}

QString NoCaseDirectory::find(const QString &fileName) const
{
    // The exact spelling wins over another one differing only in case.
    const QDir d(m_dir);
    if (QFileInfo(d.filePath(fileName)).isFile())
        return d.filePath(fileName);
    const QString actual = m_byLower.value(fileName.toLower());
    return actual.isEmpty() ? QString() : d.filePath(actual);
}

QString accessProblem(const QString &path)
{
#ifdef Q_OS_WIN
    const std::filesystem::path p(path.toStdWString());
#else
    const std::filesystem::path p(QFile::encodeName(path).toStdString());
#endif
    std::error_code ec;
    const auto st = std::filesystem::status(p, ec);
    if (!ec || st.type() == std::filesystem::file_type::not_found)
        return {};
    return QString::fromLocal8Bit(ec.message());
}

} // namespace kw::core
