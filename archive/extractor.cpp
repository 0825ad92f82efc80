#include "archive/archiver.h"

#include "archive/encoding.h"
#include "core/durablefile.h"

#include <QDir>
#include <QFileInfo>
#include <QtEndian>

namespace kw::archive {

static QString bareName(const QString &stored)
{
    const int i = qMax(stored.lastIndexOf(QLatin1Char('\\')), stored.lastIndexOf(QLatin1Char('/')));
    return stored.mid(i + 1);
}

static QString unsafeNameText(const QString &name)
{
    return QStringLiteral("The archive holds a file name that cannot be restored safely: \"%1\"")
        .arg(kw::core::printable(name));
}

// ---- segments while reading

// A segment that is not there when the archive needs it ends the job as a
// failure naming the file, not as a cancel: without it nothing after can be
// read, whether the user could not find it or nobody could be asked.
static QString segmentMissingText(int k, const QString &path)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (QFileInfo::exists(path))
        return QStringLiteral("\"%1\" is not segment %2 of this archive: it belongs to another backup or is "
                              "another segment.")
            .arg(shown)
            .arg(k);
    return QStringLiteral("Segment %1 of the archive, \"%2\", is missing.").arg(k).arg(shown);
}

static QString lastSegmentMissingText(const QString &first, int k, const QString &path)
{
    return QStringLiteral("The archive \"%1\" goes on in further segments, and they end without its last one: %2")
        .arg(QDir::toNativeSeparators(first), segmentMissingText(k, path));
}

void TCustomExtractor::changeSegment(int k, TFileEntry *continuing)
{
    if (k < 1 || k > 65535)
        throw EStreamError(QStringLiteral("Range check error"));
    if (!(m_stream.isOpen() && int(m_header.Segment) == k)) {
        const int blockSize = m_header.BlockSize;
        m_stream.close();
        QString path = m_knownSegments.value(k);
        if (!isRightSegment(path, k))
            path = segmentPath(k);
        const QString expected = path;
        while (!isRightSegment(path, k)) {
            if (m_drives->isRemovable(m_drive)) {
                QString v = m_drive;
                if (!m_prompts->inputLine(msg(Msg::SystemMessage), msg(Msg::InsertDisk, {k, m_drive}), v,
                                          msg(Msg::Ok), msg(Msg::Cancel)))
                    throw EArchiver(segmentMissingText(k, expected));
                applyDriveAnswer(v);
                path = segmentPath(k);
            } else {
                const QString f = m_prompts->chooseFile(msg(Msg::LocateSegment, {k, m_base}), path);
                if (f.isEmpty())
                    throw EArchiver(segmentMissingText(k, expected));
                if (isRightSegment(f, k)) {
                    setNameParts(f, true);
                    path = f;
                    break;
                }
                m_prompts->message(MessageKind::Warning, msg(Msg::Warning), msg(Msg::WrongSegment, {k, m_base}),
                                   MessageButtons::Ok);
            }
        }
        if (!openSegmentStream(path))
            throw EStreamError(QStringLiteral("Cannot open file \"%1\"").arg(QDir::toNativeSeparators(path)));
        readAndVerifyHeader(m_stream, m_header, path);
        if (m_header.BlockSize != blockSize)
            throw EArchiver(damagedArchiveText(QDir::toNativeSeparators(path)));
        m_knownSegments.insert(k, path);
        if (m_header.ArchiveTotals.CompressedSize > m_totals.CompressedSize) {
            m_totals = m_header.ArchiveTotals;
            if (m_operation == TOperation::opExtract || m_operation == TOperation::opList)
                m_progressTotal = qMax(m_progressTotal, m_totals.CompressedSize);
        }
        if (OnSegmentChanged)
            OnSegmentChanged(k);
    }
    m_stream.seek(m_header.headerSize());
    if (continuing) {
        const qint64 at = m_stream.pos();
        if (at >= m_header.DataEnd) {
            m_atNextEntry = true;
            throw EWrongNextSegment(msg(Msg::WrongNextSegment));
        }
        TFileEntry next;
        readEntryChecked(next);
        if (next.Name != continuing->Name || next.Size != continuing->Size || next.Date != continuing->Date) {
            m_stream.seek(at);
            m_atNextEntry = true;
            throw EWrongNextSegment(msg(Msg::WrongNextSegment));
        }
        *continuing = next;
    }
}

bool TCustomExtractor::nextSegmentIfAtEnd(TFileEntry *continuing)
{
    if (m_stream.pos() < m_header.DataEnd)
        return false;
    if ((m_header.Flags & afFinalSegment) || Options.has(oOpenSingleSegment))
        return false;
    changeSegment(int(m_header.Segment) + 1, continuing);
    return true;
}

void TCustomExtractor::goToFirstSegment()
{
    if (m_stream.isOpen() && m_header.Segment == 1) {
        // Read the header again: it is the one on disk that counts.
        readAndVerifyHeader(m_stream, m_header, m_stream.path());
        m_stream.seek(m_header.headerSize());
        return;
    }
    changeSegment(1, nullptr);
}

void TCustomExtractor::openLastSegment(const QString &path)
{
    const int blockSize = m_header.BlockSize;
    m_stream.close();
    if (!openSegmentStream(path))
        throw EStreamError(QStringLiteral("Cannot open file \"%1\"").arg(QDir::toNativeSeparators(path)));
    readAndVerifyHeader(m_stream, m_header, path);
    if (m_header.BlockSize != blockSize)
        throw EArchiver(damagedArchiveText(QDir::toNativeSeparators(path)));
    m_knownSegments.insert(int(m_header.Segment), path);
    m_totals = m_header.ArchiveTotals;
}

void TCustomExtractor::goToLastSegment()
{
    if ((m_header.Flags & afFinalSegment) || Options.has(oOpenSingleSegment))
        return;
    const QString first = m_stream.path();
    int next = int(m_header.Segment) + 1; // the first segment that is not there
    for (int j = next; j <= 65535; ++j, ++next) {
        bool final = false;
        if (!isRightSegment(segmentPath(j), j, &final))
            break;
        if (final) {
            changeSegment(j, nullptr);
            m_totals = m_header.ArchiveTotals;
            return;
        }
    }
    for (;;) {
        if (m_drives->isRemovable(m_drive)) {
            QString v = m_drive;
            if (!m_prompts->inputLine(msg(Msg::SystemMessage), msg(Msg::InsertLastSegment, {m_drive}), v,
                                      msg(Msg::Ok), msg(Msg::Cancel)))
                throw EArchiver(lastSegmentMissingText(first, next, segmentPath(next)));
            if (!applyDriveAnswer(v))
                continue;
            const QStringList files = QDir(m_dir).entryList({m_base + QStringLiteral("*.mmm")}, QDir::Files, QDir::Name);
            for (const QString &f : files) {
                bool final = false;
                if (isRightSegment(m_dir + f, 0, &final) && final) {
                    openLastSegment(m_dir + f);
                    return;
                }
            }
        } else {
            const QString f = m_prompts->chooseFile(msg(Msg::LocateLastSegment, {m_base}), m_dir);
            if (f.isEmpty())
                throw EArchiver(lastSegmentMissingText(first, next, segmentPath(next)));
            bool final = false;
            if (isRightSegment(f, 0, &final) && final) {
                setNameParts(f, true);
                openLastSegment(f);
                return;
            }
            m_prompts->message(MessageKind::Warning, msg(Msg::Warning), msg(Msg::WrongLastSegment),
                               MessageButtons::Ok);
        }
    }
}

// ---- listing

void TCustomExtractor::skipRest(TFileEntry &part, qint64 entryPos)
{
    for (;;) {
        // Positions come from where the entry really was read, so a damaged
        // EntryOffset cannot send the walk backwards.
        m_stream.seek(entryPos + part.entrySize() + part.PartCompressedSize);
        m_progressDone += part.PartCompressedSize;
        reportProgress();
        if ((part.Flags & efComplete) || (m_header.Flags & afFinalSegment) || Options.has(oOpenSingleSegment))
            return;
        try {
            changeSegment(int(m_header.Segment) + 1, &part);
        } catch (const EWrongNextSegment &) {
            return; // the next segment starts with another file: read on from there
        }
        entryPos = m_header.headerSize();
    }
}

void TCustomExtractor::ListContent()
{
    OperationScope op(*this, TOperation::opList);
    const double saveDone = m_progressDone, saveTotal = m_progressTotal;
    ensureOpen();
    displayMessage(msg(Msg::LoadingArchiveContnent), msg(Msg::LoadingArchiveContnent));
    m_entries.clear();
    m_progressDone = 0;
    m_progressTotal = m_totals.CompressedSize;
    goToFirstSegment();
    for (;;) {
        m_atNextEntry = false;
        if (m_stream.pos() >= m_header.DataEnd) {
            if (!nextSegmentIfAtEnd())
                break;
            continue;
        }
        const qint64 at = m_stream.pos();
        TFileEntry e;
        readEntryChecked(e);
        TFileEntry part = e;
        skipRest(part, at);
        // The list keeps the first part's place and the last part's totals.
        e.CompressedSize = part.CompressedSize;
        e.Flags = uint8_t((e.Flags & ~efComplete) | (part.Flags & efComplete));
        e.PartSize = e.Size;
        m_entries.append(e);
        if (OnEnumeration)
            OnEnumeration(e);
    }
    if (!op.outermost()) {
        m_progressDone = saveDone;
        m_progressTotal = saveTotal;
    }
}

// ---- extraction

void TCustomExtractor::ExtractFiles()
{
    if (ExtractPath.isEmpty())
        throw EArchiver(msg(Msg::NeedExtractPath));
    OperationScope op(*this, TOperation::opExtract);
    ensureOpen();
    m_progressDone = 0;
    m_progressTotal = m_totals.CompressedSize;
    goToFirstSegment();
    for (;;) {
        if (m_stream.pos() >= m_header.DataEnd) {
            if (!nextSegmentIfAtEnd())
                break;
            continue;
        }
        const qint64 at = m_stream.pos();
        TFileEntry e;
        readEntryChecked(e);
        extractOne(e, at);
    }
}

// Where an entry lands: the extract path, or with oRestorePath the folder
// stored with the name (relative ones under the extract path).
static QString extractDestination(const QString &extractPath, bool restorePath, const QString &name,
                                  const QString &bare)
{
    QString destDir = extractPath;
    if (restorePath) {
        QString stored = QDir::fromNativeSeparators(QString(name).replace(QLatin1Char('\\'), QLatin1Char('/')));
        const int slash = stored.lastIndexOf(QLatin1Char('/'));
        stored = slash >= 0 ? stored.left(slash) : QString();
        if (!stored.isEmpty())
            destDir = QDir::isAbsolutePath(stored) ? stored : QDir(extractPath).filePath(stored);
    }
    QString dest = QDir::fromNativeSeparators(destDir);
    if (!dest.endsWith(QLatin1Char('/')))
        dest += QLatin1Char('/');
    return dest + bare;
}

// Makes room for the file at dest: a link is removed rather than written
// through, a read-only file made writable, a folder in the way refused.
static void prepareTarget(const QFileInfo &di, const QString &dest)
{
    if (di.isSymLink()) {
        // Replace the link itself; never write through it to another place.
        QFile::remove(dest);
    } else if (di.exists()) {
        if (di.isDir())
            throw EStreamError(QStringLiteral("Cannot create file \"%1\"").arg(QDir::toNativeSeparators(dest)));
        QFile::setPermissions(dest, di.permissions() | QFile::WriteOwner | QFile::ReadOwner);
    }
}

bool TCustomExtractor::restoreActionAllows(const TFileEntry &e, const QString &dest)
{
    const QFileInfo existing(dest);
    const bool exists = existing.exists();
    const bool newer = !exists || dateTimeToOle(existing.lastModified()) < e.Date;
    switch (RestoreAction) {
    case TRestoreAction::raOverwrite: return true;
    case TRestoreAction::raSkip: return !exists;
    case TRestoreAction::raUpdate: return newer;
    case TRestoreAction::raExistingOnly: return exists;
    case TRestoreAction::raUpdateExisting: return exists && newer;
    case TRestoreAction::raAsk:
        if (exists) {
            const MessageAnswer a = m_prompts->message(
                MessageKind::Confirmation, msg(Msg::ConfirmFileOverwrite),
                msg(Msg::ReplaceFile) + QLatin1Char('\n') + QDir::toNativeSeparators(dest) + QLatin1Char('\n') +
                    msg(Msg::WithFile) + QLatin1Char('\n') + e.Name,
                MessageButtons::YesNoCancel);
            if (a == MessageAnswer::Cancel)
                throw EAbort();
            return a == MessageAnswer::Yes;
        }
        return true;
    }
    return true;
}

void TCustomExtractor::extractOne(TFileEntry &e, qint64 entryPos)
{
    const double before = m_progressDone;
    m_atNextEntry = false;
    const QString bare = bareName(e.Name);
    QString dest = extractDestination(ExtractPath, Options.has(oRestorePath), e.Name, bare);

    TFileEntry part = e;
    bool accept = true;
    if (OnExtractFile)
        OnExtractFile(e, dest, accept);
    if (accept && RestoreAction != TRestoreAction::raOverwrite)
        accept = restoreActionAllows(e, dest);
    if (!accept) {
        skipRest(part, entryPos);
        return;
    }

    displayMessage(msg(Msg::ExtractingFile, {QFileInfo(dest).fileName(), e.Size}),
                   msg(Msg::ExtractingFile, {QDir::toNativeSeparators(dest), e.Size}));
    qint64 partPos = entryPos;
    try {
        writeEntryFile(e, part, partPos, dest, bare);
    } catch (const EAbort &) {
        throw;
    } catch (...) {
        applyErrorPolicy(std::current_exception(), e);
        m_progressDone = before;
        if (!m_atNextEntry)
            skipRest(part, partPos);
    }
}

void TCustomExtractor::writeEntryFile(const TFileEntry &e, TFileEntry &part, qint64 &partPos, const QString &dest,
                                      const QString &bare)
{
    const QFileInfo di(dest);
    if (!QDir().mkpath(di.absolutePath()))
        throw EArchiver(msg(Msg::CannotCreateDir));
    if (e.Flags & efFolder) {
        skipRest(part, partPos);
        return;
    }
    if (bare.isEmpty() || bare == QLatin1String(".") || bare == QLatin1String(".."))
        throw EArchiver(unsafeNameText(e.Name));
    prepareTarget(di, dest);
    QFile target(dest);
    const bool continuing = e.PartOffset != 0 && QFileInfo::exists(dest);
    if (!target.open(continuing ? QIODevice::ReadWrite : (QIODevice::WriteOnly | QIODevice::Truncate)))
        throw EStreamError(QStringLiteral("Cannot create file \"%1\". %2")
                               .arg(QDir::toNativeSeparators(dest), target.errorString()));
    readFileBlocks(target, part, partPos);
    if (!target.flush())
        throw EStreamError(QStringLiteral("Stream write error"));
    if (e.Date != 0)
        target.setFileTime(oleToDateTime(e.Date), QFileDevice::FileModificationTime);
    target.close();
    QFile::Permissions perms = QFile::permissions(dest) | QFile::ReadOwner | QFile::WriteOwner;
    if (e.Attributes & faReadOnly)
        perms &= ~(QFile::WriteOwner | QFile::WriteUser | QFile::WriteGroup | QFile::WriteOther);
    QFile::setPermissions(dest, perms);
    if (OnFileExtracted)
        OnFileExtracted(e, dest);
}

void TCustomExtractor::readFileBlocks(QFile &target, TFileEntry &part, qint64 &partPos)
{
    if (part.Size == 0)
        return;
    ensureBuffers();
    const size_t bs = size_t(m_header.BlockSize);
    const size_t cap = bs + bs / 100;
    unsigned char *in = m_inBuf.data() + kFrameHeadSize;
    unsigned char *out = m_outBuf.data() + kFrameHeadSize;
    const QString corrupted = msg(Msg::BadCRC);
    for (;;) {
        if (!target.seek(part.PartOffset))
            throw EStreamError(QStringLiteral("Stream write error"));
        qint64 consumed = 0, decoded = 0;
        while (consumed < part.PartCompressedSize) {
            unsigned char head[kFrameHeadSize];
            m_stream.readExact(head, kFrameHeadSize);
            const int32_t stored = qFromLittleEndian<qint32>(head);
            const uint32_t crc = qFromLittleEndian<quint32>(head + 4);
            const qint64 n = stored < 0 ? -qint64(stored) : qint64(stored);
            // A frame length no writer can produce is damage, caught before reading.
            if (stored == 0 || size_t(n) > cap || (stored < 0 && size_t(n) > bs) ||
                consumed + kFrameHeadSize + n > part.PartCompressedSize)
                throw EArchiverBadCRC(corrupted);
            m_stream.readExact(in, n);
            if (crc32Of(in, size_t(n)) != crc)
                throw EArchiverBadCRC(corrupted);
            const unsigned char *data = in;
            size_t len = size_t(n);
            if (stored > 0) {
                len = bs;
                if (!uncompressBlock(out, len, in, size_t(n)))
                    throw EArchiverUncompress(msg(Msg::CouldNotUncompressBlock));
                data = out;
            }
            if (decoded + qint64(len) > part.PartSize)
                throw EArchiver(damagedArchiveText(QDir::toNativeSeparators(m_stream.path())));
            QString why;
            if (!kw::core::writeAll(target, reinterpret_cast<const char *>(data), qint64(len), &why))
                throw EStreamError(QStringLiteral("Stream write error. %1").arg(why));
            decoded += qint64(len);
            consumed += kFrameHeadSize + n;
            m_progressDone += double(kFrameHeadSize + n);
            reportProgress();
        }
        if (decoded != part.PartSize)
            throw EArchiver(damagedArchiveText(QDir::toNativeSeparators(m_stream.path())));
        if (part.Flags & efComplete) {
            if (qint64(part.PartOffset) + part.PartSize != part.Size)
                throw EArchiver(damagedArchiveText(QDir::toNativeSeparators(m_stream.path())));
            return;
        }
        if ((m_header.Flags & afFinalSegment) || Options.has(oOpenSingleSegment))
            throw EWrongNextSegment(msg(Msg::WrongNextSegment));
        changeSegment(int(m_header.Segment) + 1, &part);
        partPos = m_header.headerSize();
    }
}

} // namespace kw::archive
