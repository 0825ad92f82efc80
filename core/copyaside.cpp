#include "core/copyaside.h"

#include "core/durablefile.h"
#include "core/error.h"
#include "core/filelock.h"
#include "core/folders.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

namespace kw::core {

namespace {

const QByteArray kHeader = "kitwarden copy aside 1";
const QString kList = QStringLiteral("files.txt");
const QString kMark = QStringLiteral("running");
const QString kLeft = QStringLiteral("left.txt");

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

[[noreturn]] void fail(const QString &message)
{
    throw Error(message);
}

QString cleanAbsolute(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// Copies from into a new file to (a name nothing else uses, in a folder that
// only counts once complete): written, its time set, synced.
void copyNew(const QString &from, const QString &to)
{
    QFile in(from), out(to);
    if (!in.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Cannot read \"%1\": %2").arg(shown(from), in.errorString()));
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        fail(QStringLiteral("Cannot write \"%1\": %2").arg(shown(to), out.errorString()));
    char buf[65536];
    qint64 n;
    QString why;
    while ((n = in.read(buf, sizeof buf)) > 0)
        if (!writeAll(out, buf, n, &why))
            fail(QStringLiteral("Cannot write \"%1\": %2").arg(shown(to), why));
    if (n < 0)
        fail(QStringLiteral("Cannot read \"%1\": %2").arg(shown(from), in.errorString()));
    out.setFileTime(QFileInfo(from).lastModified(), QFileDevice::FileModificationTime);
    if (!syncFile(out, &why))
        fail(QStringLiteral("Cannot write \"%1\": %2").arg(shown(to), why));
}

// Puts the copy from in the place of to, whole: a link at to is replaced,
// never written through.
void copyBack(const QString &from, const QString &to)
{
    if (isLink(to) && !QFile::remove(to))
        fail(QStringLiteral("Cannot remove the link \"%1\"").arg(shown(to)));
    if (QFileInfo::exists(to))
        QFile::setPermissions(to, QFile::permissions(to) | QFileDevice::WriteOwner);
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Cannot read \"%1\": %2").arg(shown(from), in.errorString()));
    DurableFile out(to);
    if (!out.open())
        fail(QStringLiteral("Cannot write \"%1\": %2").arg(shown(to), out.errorString()));
    char buf[65536];
    qint64 n;
    while ((n = in.read(buf, sizeof buf)) > 0)
        if (!out.write(buf, n))
            break;
    if (n != 0 || !out.commit())
        fail(QStringLiteral("Cannot put back \"%1\": %2").arg(shown(to), out.errorString()));
    QFile stamp(to);
    if (stamp.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        stamp.setFileTime(QFileInfo(from).lastModified(), QFileDevice::FileModificationTime);
}

// "size hash" of a file as it is now, "absent" when there is none.
QByteArray stateOf(const QString &path)
{
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly))
        return "absent";
    QCryptographicHash h(QCryptographicHash::Sha1);
    h.addData(&f);
    return QByteArray::number(f.size()) + ' ' + h.result().toHex();
}

} // namespace

CopyAside::CopyAside(QString folder) : m_folder(QDir::cleanPath(QFileInfo(folder).absoluteFilePath())) {}

CopyAside::~CopyAside() = default;

CopyAside::State CopyAside::state() const
{
    // A link under the folder's name is no copy of ours.
    if (isLink(m_folder) || !QFileInfo(QDir(m_folder).filePath(kList)).isFile())
        return State::None;
    const QString markPath = QDir(m_folder).filePath(kMark);
    if (!QFileInfo::exists(markPath))
        return State::Kept;
    if (m_mark)
        return State::Running;
    QFile mark(markPath);
    if (!mark.open(QIODevice::ReadOnly))
        return State::Interrupted;
    return tryLockFile(mark, LockMode::Shared) ? State::Interrupted : State::Running;
}

QString CopyAside::job() const
{
    QFile mark(QDir(m_folder).filePath(kMark));
    if (isLink(m_folder) || !mark.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(mark.read(200)).trimmed();
}

void CopyAside::hold(QFile &mark)
{
    if (!tryLockFile(mark, LockMode::Exclusive))
        fail(QStringLiteral("\"%1\" is in use by a job running in another process.").arg(shown(m_folder)));
}

void CopyAside::take(const QStringList &paths, const QString &job, const QStringList &emptyIsAbsent)
{
    QSet<QString> countsWhenFull;
    for (const QString &p : emptyIsAbsent)
        countsWhenFull.insert(cleanAbsolute(p));
    if (state() == State::Running && !m_mark)
        fail(QStringLiteral("\"%1\" is in use by a job running in another process.").arg(shown(m_folder)));
    m_mark.reset();
    const QString fresh = m_folder + QStringLiteral(".new");
    QString why;
    if (!makeFreshFolder(fresh, &why))
        fail(why);
    // A copy that cannot be completed (a full disk) leaves nothing behind
    // to take the room.
    try {
        QByteArray list = kHeader + '\n';
        int n = 0;
        for (const QString &p : paths) {
            const QString abs = cleanAbsolute(p);
            const QFileInfo fi(abs);
            if (fi.isFile() && !(fi.size() == 0 && countsWhenFull.contains(abs))) {
                const QString copy = QStringLiteral("%1.kept").arg(n++, 4, 10, QLatin1Char('0'));
                copyNew(abs, QDir(fresh).filePath(copy));
                list += "present\t" + copy.toUtf8() + '\t' + abs.toUtf8() + '\n';
            } else if (fi.exists() && !fi.isFile()) {
                fail(QStringLiteral("\"%1\" is not a regular file: it cannot be set aside.").arg(shown(abs)));
            } else {
                list += "absent\t\t" + abs.toUtf8() + '\n';
            }
        }
        if (!writeFileDurably(QDir(fresh).filePath(kList), list, &why))
            fail(QStringLiteral("Cannot write \"%1\": %2").arg(shown(QDir(fresh).filePath(kList)), why));
    } catch (const Error &) {
        removeTree(fresh);
        throw;
    }
    // Marked before it takes the earlier copy's place: from the moment it
    // is there, the job counts as running.
    auto mark = std::make_unique<QFile>(QDir(fresh).filePath(kMark));
    if (!mark->open(QIODevice::WriteOnly | QIODevice::NewOnly) || mark->write(job.toUtf8() + '\n') < 0
        || !syncFile(*mark, &why))
        fail(QStringLiteral("Cannot write \"%1\": %2").arg(shown(mark->fileName()), why.isEmpty() ? mark->errorString() : why));
    hold(*mark);
    syncDirectory(fresh);
    if (!removeTree(m_folder, &why))
        fail(why);
    if (!QDir().rename(fresh, m_folder))
        fail(QStringLiteral("Cannot create \"%1\"").arg(shown(m_folder)));
    syncDirectory(QFileInfo(m_folder).absolutePath());
    m_mark = std::move(mark);
}

void CopyAside::begin(const QString &job)
{
    switch (state()) {
    case State::None:
        fail(QStringLiteral("There is no copy in \"%1\".").arg(shown(m_folder)));
    case State::Running:
        if (!m_mark)
            fail(QStringLiteral("\"%1\" is in use by a job running in another process.").arg(shown(m_folder)));
        break;
    default:
        break;
    }
    m_mark.reset();
    const QString markPath = QDir(m_folder).filePath(kMark);
    QString why;
    if (!writeFileDurably(markPath, job.toUtf8() + '\n', &why))
        fail(QStringLiteral("Cannot write \"%1\": %2").arg(shown(markPath), why));
    auto mark = std::make_unique<QFile>(markPath);
    if (!mark->open(QIODevice::ReadOnly))
        fail(QStringLiteral("Cannot open \"%1\": %2").arg(shown(markPath), mark->errorString()));
    hold(*mark);
    m_mark = std::move(mark);
}

void CopyAside::writeLeft()
{
    QByteArray text;
    for (const Entry &e : entries())
        text += e.path.toUtf8() + '\t' + stateOf(e.path) + '\n';
    QString why;
    if (!writeFileDurably(QDir(m_folder).filePath(kLeft), text, &why))
        fail(QStringLiteral("Cannot write \"%1\": %2").arg(shown(QDir(m_folder).filePath(kLeft)), why));
}

void CopyAside::end()
{
    writeLeft();
    QFile::remove(QDir(m_folder).filePath(kMark));
    syncDirectory(m_folder);
    m_mark.reset();
}

void CopyAside::leaveInterrupted()
{
    // A state noted earlier (the job was found interrupted before) stays
    // the measure: what changed since then is still what an undo loses.
    if (!QFileInfo::exists(QDir(m_folder).filePath(kLeft)))
        writeLeft();
    m_mark.reset();
}

void CopyAside::discard()
{
    if (!isLink(m_folder)) {
        QFile::remove(QDir(m_folder).filePath(kList));
        syncDirectory(m_folder);
    }
    m_mark.reset();
    QString why;
    if (!removeTree(m_folder, &why) || !removeTree(m_folder + QStringLiteral(".new"), &why))
        fail(why);
    syncDirectory(QFileInfo(m_folder).absolutePath());
}

QList<CopyAside::Entry> CopyAside::entries() const
{
    QFile f(QDir(m_folder).filePath(kList));
    if (isLink(m_folder) || !f.open(QIODevice::ReadOnly))
        fail(QStringLiteral("There is no copy in \"%1\".").arg(shown(m_folder)));
    const QList<QByteArray> lines = f.readAll().split('\n');
    if (lines.value(0) != kHeader)
        fail(QStringLiteral("\"%1\" is not a list of files set aside.").arg(shown(f.fileName())));
    QList<Entry> all;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            continue;
        const QList<QByteArray> parts = lines[i].split('\t');
        if (parts.size() != 3 || (parts[0] != "present" && parts[0] != "absent"))
            fail(QStringLiteral("\"%1\" is damaged at line %2.").arg(shown(f.fileName())).arg(i + 1));
        all.append({parts[0] == "present", QString::fromUtf8(parts[1]), QString::fromUtf8(parts[2])});
    }
    return all;
}

QStringList CopyAside::paths() const
{
    QStringList out;
    for (const Entry &e : entries())
        out << e.path;
    return out;
}

void CopyAside::putBack(const std::function<bool(const QString &)> &mayTouch, const QStringList &only) const
{
    QSet<QString> wanted;
    for (const QString &p : only)
        wanted.insert(cleanAbsolute(p));
    const QList<Entry> all = entries();
    // The list is a file like any other: every name in it is checked before
    // anything is written.
    for (const Entry &e : all) {
        if (!mayTouch(QDir::cleanPath(e.path)))
            fail(QStringLiteral("The copy in \"%1\" names a file it cannot have set aside: \"%2\". Nothing was put back.")
                     .arg(shown(m_folder), shown(printable(e.path))));
        const QString copy = QDir(m_folder).filePath(e.copy);
        if (e.present && (e.copy.contains(QLatin1Char('/')) || e.copy.contains(QLatin1Char('\\'))
                          || isLink(copy) || !QFileInfo(copy).isFile()))
            fail(QStringLiteral("The copy of \"%1\" in \"%2\" is missing or is not a file. Nothing was put back.")
                     .arg(shown(e.path), shown(m_folder)));
    }
    for (const Entry &e : all) {
        const QString path = QDir::cleanPath(e.path);
        if (!wanted.isEmpty() && !wanted.contains(path))
            continue;
        if (e.present) {
            copyBack(QDir(m_folder).filePath(e.copy), path);
        } else if ((QFileInfo::exists(path) || isLink(path)) && !QFile::remove(path)) {
            fail(QStringLiteral("Cannot remove \"%1\"").arg(shown(path)));
        }
    }
}

QStringList CopyAside::changedSince() const
{
    QFile f(QDir(m_folder).filePath(kLeft));
    if (isLink(m_folder) || !f.open(QIODevice::ReadOnly))
        return {};
    // A file that is already as it was copied (put back by an undo that was
    // then interrupted) loses nothing when it is put back again.
    QHash<QString, QByteArray> copied;
    try {
        for (const Entry &e : entries())
            copied.insert(QDir::cleanPath(e.path),
                          e.present ? stateOf(QDir(m_folder).filePath(e.copy)) : QByteArray("absent"));
    } catch (const Error &) {
        // No list: nothing is as it was copied.
    }
    QStringList changed;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const qsizetype tab = line.indexOf('\t');
        if (tab < 0)
            continue;
        const QString path = QString::fromUtf8(line.left(tab));
        const QByteArray now = stateOf(path);
        if (now != line.mid(tab + 1) && copied.value(QDir::cleanPath(path)) != now)
            changed << path;
    }
    return changed;
}

void CopyAside::noticeInterruption()
{
    if (state() == State::Interrupted && !QFileInfo::exists(QDir(m_folder).filePath(kLeft))) {
        try {
            writeLeft();
        } catch (const Error &) {
            // A folder that cannot be written (a read-only medium): nothing
            // can change there either.
        }
    }
}

} // namespace kw::core
