// QSaveFile already writes beside the target and renames over it, and syncs
// the file before the rename; but it ignores a failed sync and never syncs
// the directory, so after a power loss the rename itself may be lost. The
// helpers here check the sync and make the rename durable.
#include "core/durablefile.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <filesystem>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <io.h>
#endif

namespace kw::core {

bool syncFile(QFileDevice &file, QString *error)
{
    if (!file.flush()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    int rc = 0;
#if defined(Q_OS_LINUX)
    // The data and what is needed to read it back (the size); timestamps
    // may lag, which nothing here relies on.
    rc = ::fdatasync(file.handle());
#elif defined(Q_OS_UNIX)
    rc = ::fsync(file.handle());
#elif defined(Q_OS_WIN)
    rc = ::_commit(file.handle());
#endif
    if (rc != 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}

bool writeAll(QFileDevice &file, const char *data, qint64 size, QString *error)
{
    qint64 done = 0;
    while (done < size) {
        const qint64 n = file.write(data + done, size - done);
        if (n <= 0) {
            if (error)
                *error = file.errorString();
            return false;
        }
        done += n;
    }
    return true;
}

bool syncDirectory(const QString &dir)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Some file systems cannot sync a directory (EINVAL); their renames are
    // as durable as they get.
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP;
    ::close(fd);
    return ok;
#else
    Q_UNUSED(dir);
    return true;
#endif
}

bool replaceFileDurably(const QString &from, const QString &to, QString *error)
{
    QString reason;
    QFile f(from);
#ifdef Q_OS_WIN
    const QIODevice::OpenMode mode = QIODevice::ReadWrite | QIODevice::ExistingOnly; // _commit needs write access
#else
    const QIODevice::OpenMode mode = QIODevice::ReadOnly; // a read-only file syncs all the same
#endif
    if (!f.open(mode) || !syncFile(f, &reason)) {
        if (error)
            *error = reason.isEmpty() ? f.errorString() : reason;
        return false;
    }
    f.close();
    // Replaces an existing to in one step on every system (rename(2),
    // MoveFileEx with MOVEFILE_REPLACE_EXISTING).
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(from.toStdU16String()), std::filesystem::path(to.toStdU16String()), ec);
    if (ec) {
        if (error)
            *error = QString::fromLocal8Bit(ec.message());
        return false;
    }
    syncDirectory(QFileInfo(to).absolutePath());
    return true;
}

// QSaveFile names its temporary like QTemporaryFile does for a template
// without placeholders: "<target>.XXXXXX".
QString durableTargetOf(const QString &fileName)
{
    constexpr int kRandom = 6;
    const qsizetype dot = fileName.size() - kRandom - 1;
    if (dot < 1 || fileName.at(dot) != QLatin1Char('.'))
        return {};
    for (qsizetype i = dot + 1; i < fileName.size(); ++i) {
        const char16_t c = fileName.at(i).unicode();
        if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')))
            return {};
    }
    return fileName.left(dot);
}

DurableFile::DurableFile(const QString &path) : m_file(path) {}

bool DurableFile::open()
{
    m_error.clear();
    // Unbuffered: a write that fails (a full disk) fails at once, with the
    // system's reason, rather than later in a flush that has none.
    return m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool DurableFile::write(const char *data, qint64 size)
{
    if (writeAll(m_file, data, size, &m_error))
        return true;
    m_file.cancelWriting(); // commit() then fails and leaves the target alone
    return false;
}

bool DurableFile::commit()
{
    if (!m_file.isOpen()) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("The file is not open");
        return false;
    }
    QString why;
    if (!syncFile(m_file, &why)) {
        m_error = why;
        m_file.cancelWriting();
        m_file.commit(); // removes the temporary file
        return false;
    }
    if (!m_file.commit()) {
        if (m_error.isEmpty())
            m_error = m_file.errorString();
        return false;
    }
    syncDirectory(QFileInfo(m_file.fileName()).absolutePath());
    return true;
}

void DurableFile::cancel()
{
    if (!m_file.isOpen())
        return;
    m_file.cancelWriting();
    m_file.commit();
}

QString DurableFile::errorString() const
{
    return m_error.isEmpty() ? m_file.errorString() : m_error;
}

bool writeFileDurably(const QString &path, const QByteArray &data, QString *error)
{
    DurableFile f(path);
    if (f.open() && f.write(data) && f.commit())
        return true;
    if (error)
        *error = f.errorString();
    return false;
}

} // namespace kw::core
