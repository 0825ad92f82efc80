#include "archive/archiver.h"

#include "archive/encoding.h"
#include "core/filelock.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QScopedValueRollback>
#include <QtEndian>
#include <chrono>


namespace kw::archive {

static QString withSlash(QString p)
{
    if (!p.isEmpty() && !p.endsWith(QLatin1Char('/')))
        p += QLatin1Char('/');
    return p;
}

// "*.*" means every file, as on the systems the archives come from.
static QStringList nameFilters(const QString &filter)
{
    QStringList out;
    for (QString f : filter.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        f = f.trimmed();
        out << (f == QLatin1String("*.*") ? QStringLiteral("*") : f);
    }
    if (out.isEmpty())
        out << QStringLiteral("*");
    return out;
}

static int32_t attributesOf(const QFileInfo &fi)
{
    int32_t a = faArchive;
    // The owner's write bit is the read-only attribute (root writes anything).
    if (!(fi.permissions() & QFile::WriteOwner))
        a |= faReadOnly;
    if (fi.fileName().startsWith(QLatin1Char('.')))
        a |= faHidden;
    return a;
}

static uint32_t tickCount()
{
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

TCustomArchiver::~TCustomArchiver()
{
    try {
        Close();
    } catch (...) {
    }
}

// ---- creating

void TCustomArchiver::createSegmentFile(const QString &path)
{
    if (QFileInfo::exists(path))
        QFile::remove(path);
    if (!m_stream.open(path, ArchiveStream::Mode::Create))
        throw EArchiver(msg(Msg::CanNotCreateArchive) + QStringLiteral(" \"%1\"").arg(QDir::toNativeSeparators(path)));
    m_knownSegments.insert(int(m_header.Segment), path);
}

void TCustomArchiver::createArchive()
{
    m_header = TArchiveHeader{};
    m_header.Segment = 1;
    m_header.BlockSize = m_blockSize;
    m_header.Version = kFormatVersion;
    m_header.ArchiveId = tickCount();
    m_header.Flags = afFinalSegment;
    if (Options.has(oCompress))
        m_header.Flags |= afCompressed;
    if (Options.has(oCreateSolidArchives))
        m_header.Flags |= afSolid;
    if (Options.has(oCrypt))
        m_header.Flags |= afCrypted;
    m_header.DataEnd = m_header.headerSize();
    m_archiveId = m_header.ArchiveId;
    if (m_dir.isEmpty())
        throw EArchiver(msg(Msg::CannotCreateDir));
    if (Options.has(oEraseFirstDisk) && m_drives->isRemovable(m_drive))
        newDiskPrompt(1);
    if (!QDir().mkpath(m_dir))
        throw EArchiver(msg(Msg::CannotCreateDir));
    createSegmentFile(segmentPath(1));
    writeHeader();
}

// ---- disks and places for segments

bool TCustomArchiver::hasRoomForSegment()
{
    qint64 avail = availableSpace(m_drives->freeBytes(m_dir.isEmpty() ? m_drive : m_dir));
    if (m_maxSegmentSize > 0)
        avail = qMin<qint64>(avail, m_maxSegmentSize);
    return avail >= MinFreeSpace;
}

void TCustomArchiver::newDiskPrompt(int segment)
{
    for (;;) {
        QString v = m_drive;
        if (!m_prompts->inputLine(msg(Msg::SystemMessage), msg(Msg::InsertNewDisk, {segment, m_drive}), v,
                                  msg(Msg::Ok), msg(Msg::Cancel)))
            throw EAbort();
        if (!applyDriveAnswer(v))
            continue;
        bool abandoned = false;
        if (Options.has(oEraseNewDisk) && m_drives->isRemovable(m_drive)) {
            qint64 used = 0;
            const QFileInfoList files = QDir(m_drive).entryInfoList(nameFilters(Filter), QDir::Files | QDir::Hidden);
            for (const QFileInfo &f : files)
                used += f.size();
            if (used > 0) {
                MessageAnswer a = MessageAnswer::Yes;
                if (Options.has(oConfirmFileDeletion))
                    a = m_prompts->message(MessageKind::Confirmation, msg(Msg::Confirmation),
                                           msg(Msg::ConfirmFileDeletion, {m_drive}), MessageButtons::YesNoCancel);
                if (a == MessageAnswer::Yes) {
                    // Empty the disk; stop at the first entry that will not go.
                    const QFileInfoList all = QDir(m_drive).entryInfoList(
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
                    for (const QFileInfo &f : all) {
                        bool ok;
                        if (f.isDir() && !f.isSymLink()) {
                            ok = QDir(f.absoluteFilePath()).removeRecursively();
                        } else {
                            QFile::setPermissions(f.absoluteFilePath(), f.permissions() | QFile::WriteOwner);
                            ok = QFile::remove(f.absoluteFilePath());
                        }
                        if (!ok)
                            break;
                    }
                } else if (a == MessageAnswer::Cancel) {
                    abandoned = true;
                }
            }
        }
        if (abandoned)
            continue;
        QDir().mkpath(m_dir);
        if (!hasRoomForSegment()) {
            m_prompts->message(MessageKind::Warning, msg(Msg::Warning), msg(Msg::NotEnoughFreeSpaceOn, {m_drive}),
                               MessageButtons::Ok);
            continue;
        }
        return;
    }
}

void TCustomArchiver::chooseNewPlace(int segment)
{
    for (;;) {
        m_prompts->message(MessageKind::Information, msg(Msg::Information),
                           msg(Msg::SelectNewPlace, {segment, m_base}), MessageButtons::Ok);
        const QString d = m_prompts->chooseDirectory(msg(Msg::SelectADirectory), m_dir);
        if (d.isEmpty())
            throw EAbort();
        const QString dir = withSlash(QDir(d).absolutePath());
        if (!QDir().mkpath(dir))
            throw EArchiver(msg(Msg::CannotCreateDir));
        m_dir = dir;
        m_drive = withSlash(m_drives->driveOf(dir));
        if (hasRoomForSegment())
            return;
        m_prompts->message(MessageKind::Warning, msg(Msg::Warning), msg(Msg::NotEnoughFreeSpaceOn, {m_drive}),
                           MessageButtons::Ok);
    }
}

bool TCustomArchiver::needRoom(qint64 n)
{
    if (m_changingSegment || Options.has(oNoSpanning))
        return false;
    if (m_stream.pos() + n <= m_stream.size())
        return false; // a rewrite in place
    const qint64 free = availableSpace(m_drives->freeBytes(m_dir));
    qint64 avail = free;
    if (m_maxSegmentSize > 0)
        avail = qMin<qint64>(avail, qint64(m_maxSegmentSize) - m_stream.size());
    if (avail >= 0 && avail < n) {
        if (free < n)
            m_spaceRanOut = true;
        startNewSegment();
        return true;
    }
    return false;
}

void TCustomArchiver::startNewSegment()
{
    const QScopedValueRollback changing(m_changingSegment, true);

    const bool partHere = m_adding && m_entryWritten && m_partHasBlocks;
    if (partHere) {
        // Close this part: the segment keeps the blocks written so far.
        m_header.DataEnd = int32_t(m_stream.pos());
        m_stream.seek(m_adding->EntryOffset);
        writeEntry(*m_adding);
        m_header.SegmentTotals.FileCount += 1; // counts the file in progress
    }
    m_header.Flags &= uint8_t(~afFinalSegment);
    writeHeader();
    if (partHere)
        m_header.SegmentTotals.FileCount -= 1;
    m_stream.flush();
    m_stream.close();

    if (m_header.Segment >= 65535)
        throw EStreamError(QStringLiteral("Range check error"));
    m_header.Segment += 1;
    m_header.SegmentTotals = TTotals{};
    const int k = int(m_header.Segment);
    if (m_drives->isRemovable(m_drive))
        newDiskPrompt(k);
    else if (!hasRoomForSegment())
        chooseNewPlace(k);
    if (!QDir().mkpath(m_dir))
        throw EArchiver(msg(Msg::CannotCreateDir));
    createSegmentFile(segmentPath(k));
    m_header.Flags |= afFinalSegment;
    m_header.DataEnd = m_header.headerSize();
    writeHeader();
    if (m_adding) {
        TFileEntry &e = *m_adding;
        if (!partHere)
            e.StartSegment = uint16_t(k); // nothing of the file stayed behind
        e.PartSize = 0;
        e.PartCompressedSize = 0;
        e.PartOffset = int32_t(m_chunkPos);
        if (m_entryWritten)
            writeEntry(e); // right after the header; records the new EntryOffset
        m_partHasBlocks = false;
    }
    if (OnSegmentChanged)
        OnSegmentChanged(k);
}

void TCustomArchiver::finishSpanning()
{
    if (m_header.Segment <= 1)
        return;
    const TTotals totals = m_header.ArchiveTotals;
    m_stream.flush();
    changeSegment(1, nullptr);
    if (m_readOnly)
        return;
    m_header.ArchiveTotals = totals;
    writeHeader();
    m_totals = totals;
}

// ---- adding

QString TCustomArchiver::storedName(const QString &path, const QString &baseDir) const
{
    const QFileInfo fi(path);
    QString name;
    switch (PathStorage) {
    case TPathStorage::psNone: name = fi.fileName(); break;
    case TPathStorage::psWhole: name = path; break;
    case TPathStorage::psRelative: {
        QString rel = baseDir.isEmpty() ? fi.fileName() : QDir(baseDir).relativeFilePath(fi.absoluteFilePath());
        if (Options.has(oIncludeStartingDirectory) && !baseDir.isEmpty())
            rel = QDir(baseDir).dirName() + QLatin1Char('/') + rel;
        name = rel;
        break;
    }
    }
    return name.replace(QLatin1Char('/'), QLatin1Char('\\'));
}

bool TCustomArchiver::AddFiles(const QStringList &names)
{
    OperationScope op(*this, TOperation::opAdd);
    ensureOpen();
    if (m_progressTotal <= 0) {
        double total = 0;
        for (const QString &n : names) {
            const QFileInfo fi(n);
            if (fi.isDir()) {
                QDirIterator it(n, nameFilters(Filter), QDir::Files | QDir::Hidden,
                                Options.has(oRecurseFolders) ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
                while (it.hasNext())
                    total += double(it.nextFileInfo().size());
            } else if (fi.exists()) {
                total += double(fi.size());
            }
        }
        m_progressTotal = total;
    }
    bool result = true;
    for (const QString &n : names) {
        result = QFileInfo(n).isDir() ? AddDirectory(n) : AddFile(n);
        if (!result)
            break;
    }
    return result;
}

bool TCustomArchiver::AddDirectory(const QString &dir)
{
    OperationScope op(*this, TOperation::opAdd);
    ensureOpen();
    if (!QFileInfo(dir).isDir())
        return false;
    const QString base = QFileInfo(dir).absoluteFilePath();
    QDirIterator it(dir, nameFilters(Filter), QDir::Files | QDir::Hidden,
                    Options.has(oRecurseFolders) ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
    bool any = false;
    while (it.hasNext()) {
        addFileFrom(it.next(), base);
        any = true;
    }
    if (!any && Options.has(oStoreEmptyFolders)) {
        if (m_readOnly)
            throw EArchiver(msg(Msg::ArchiveIsReadOnly));
        goToLastSegment();
        TFileEntry e;
        e.Name = storedName(QDir(dir).filePath(QStringLiteral(".")), base);
        e.Attributes = faDirectory;
        e.Date = fileTimeToOle(QFileInfo(dir).lastModified());
        e.StartSegment = uint16_t(m_header.Segment);
        e.Flags = efFolder | efComplete;
        QFile none;
        try {
            storeFile(none, e);
            m_filesAdded = true;
            if (Options.has(oMaintainFileDirectory))
                m_entries.append(e);
        } catch (const EAbort &) {
            m_adding = nullptr;
            throw;
        } catch (...) {
            m_adding = nullptr;
            applyErrorPolicy(std::current_exception(), e);
        }
    }
    return true;
}

bool TCustomArchiver::AddFile(const QString &name)
{
    return addFileFrom(name, QString());
}

bool TCustomArchiver::addFileFrom(const QString &name, const QString &baseDir)
{
    OperationScope op(*this, TOperation::opAdd);
    ensureOpen();
    if (m_readOnly)
        throw EArchiver(msg(Msg::ArchiveIsReadOnly));
    const QFileInfo fi(name);
    if (!fi.exists() || fi.isDir())
        return false;
    goToLastSegment();

    QFile src(name);
    const bool opened = src.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    const qint64 size = opened ? src.size() : 0;
    TFileEntry e;
    e.Name = storedName(name, baseDir);
    e.Size = int32_t(qMin<qint64>(size, INT32_MAX));
    e.Attributes = attributesOf(fi);
    e.Date = fileTimeToOle(fi.lastModified());
    e.StartSegment = uint16_t(m_header.Segment);
    e.Flags = efFile;
    if (m_progressTotal <= 0)
        m_progressTotal = double(size);
    bool accept = true;
    if (OnAddFile)
        OnAddFile(e, accept);
    if (!accept) {
        m_progressDone += double(size);
        reportProgress();
        return true;
    }
    displayMessage(msg(Msg::AddingFile, {fi.fileName(), double(size)}),
                   msg(Msg::AddingFile, {QDir::toNativeSeparators(fi.absoluteFilePath()), double(size)}));
    const double before = m_progressDone;
    try {
        if (!opened)
            throw EStreamError(QStringLiteral("Cannot open file \"%1\". %2")
                                   .arg(QDir::toNativeSeparators(name), src.errorString()));
        // Other writers are locked out while the file is read (advisory lock:
        // the table engine and the program honour it).
        if (Options.has(oSecureAccess) && !kw::core::tryLockFile(src, kw::core::LockMode::Shared))
            throw EStreamError(QStringLiteral("Cannot open file \"%1\". The file is in use by another program.")
                                   .arg(QDir::toNativeSeparators(name)));
        // Every size and offset of an entry is a 32-bit number.
        const qint64 blocks = (size + m_header.BlockSize - 1) / m_header.BlockSize;
        if (size + blocks * kFrameHeadSize > INT32_MAX)
            throw EArchiver(QStringLiteral("The file \"%1\" is too large for an archive")
                                .arg(QDir::toNativeSeparators(name)));
        storeFile(src, e);
        m_filesAdded = true;
        if (Options.has(oMaintainFileDirectory))
            m_entries.append(e);
        if (OnFileAdded)
            OnFileAdded(e);
    } catch (const EAbort &) {
        m_adding = nullptr;
        throw;
    } catch (...) {
        m_adding = nullptr;
        applyErrorPolicy(std::current_exception(), e);
        m_progressDone = before + double(size);
    }
    return true;
}

void TCustomArchiver::storeFile(QFile &src, TFileEntry &e)
{
    m_adding = &e;
    m_entryWritten = false;
    m_partHasBlocks = false;
    m_chunkPos = 0;
    m_stream.seek(m_header.DataEnd);
    writeEntry(e);
    m_entryWritten = true;
    if (e.Size > 0)
        writeFileBlocks(src, e);
    // The file is complete: make it visible and count it.
    m_header.DataEnd = int32_t(m_stream.pos());
    e.Flags |= efComplete;
    m_stream.seek(e.EntryOffset);
    writeEntry(e);
    m_header.ArchiveTotals.FileCount += 1;
    m_header.ArchiveTotals.Size += e.Size;
    m_header.ArchiveTotals.CompressedSize += e.CompressedSize;
    m_header.SegmentTotals.FileCount += 1;
    m_totals = m_header.ArchiveTotals;
    writeHeader();
    m_adding = nullptr;
}

void TCustomArchiver::writeFileBlocks(QFile &src, TFileEntry &e)
{
    ensureBuffers();
    const size_t bs = size_t(m_header.BlockSize);
    const size_t cap = bs + bs / 100;
    unsigned char *in = m_inBuf.data() + kFrameHeadSize;
    unsigned char *out = m_outBuf.data() + kFrameHeadSize;
    const bool mayCompress = m_header.Flags & afCompressed;
    e.CompressedSize = 0;
    qint64 done = 0;
    while (done < e.Size) {
        const qint64 c = qMin<qint64>(qint64(bs), e.Size - done);
        m_chunkPos = src.pos();
        qint64 got = 0;
        while (got < c) {
            const qint64 r = src.read(reinterpret_cast<char *>(in) + got, c - got);
            if (r <= 0)
                throw EStreamError(QStringLiteral("Stream read error"));
            got += r;
        }
        size_t outLen = cap;
        const BlockCodec::Result r = compressBlock(out, outLen, in, size_t(c));
        if (r == BlockCodec::Result::Failed)
            throw EArchiverCompress(msg(Msg::CouldNotCompressBlock));
        unsigned char *frame;
        int32_t stored;
        if (mayCompress && r == BlockCodec::Result::Ok && qint64(outLen) < c) {
            frame = m_outBuf.data();
            stored = int32_t(outLen);
        } else {
            frame = m_inBuf.data();
            stored = -int32_t(c);
        }
        const qint64 n = stored < 0 ? -qint64(stored) : stored;
        qToLittleEndian<qint32>(stored, frame);
        qToLittleEndian<quint32>(crc32Of(frame + kFrameHeadSize, size_t(n)), frame + 4);
        needRoom(kFrameHeadSize + n);
        if (m_stream.pos() + kFrameHeadSize + n > INT32_MAX)
            throw EArchiver(QStringLiteral("The archive segment would grow past 2 GB"));
        m_stream.write(frame, kFrameHeadSize + n);
        m_partHasBlocks = true;
        e.PartSize += int32_t(c);
        e.PartCompressedSize += int32_t(kFrameHeadSize + n);
        e.CompressedSize += int32_t(kFrameHeadSize + n);
        m_header.SegmentTotals.Size += double(c);
        m_header.SegmentTotals.CompressedSize += double(kFrameHeadSize + n);
        m_progressDone += double(c);
        done += c;
        reportProgress();
    }
}

// ---- zlib binding

BlockCodec::Result TArchiver::compressBlock(unsigned char *dst, size_t &dstSize, const unsigned char *src,
                                            size_t srcSize)
{
    if (OnCompressBlock)
        return TCustomArchiver::compressBlock(dst, dstSize, src, srcSize);
    if (!m_codec)
        m_codec = std::make_unique<BlockCodec>(zlibLevel(CompressionLevel));
    return m_codec->compress(dst, &dstSize, src, srcSize);
}

bool TArchiver::uncompressBlock(unsigned char *dst, size_t &dstSize, const unsigned char *src, size_t srcSize)
{
    if (OnUncompressBlock)
        return TCustomArchiver::uncompressBlock(dst, dstSize, src, srcSize);
    if (!m_codec)
        m_codec = std::make_unique<BlockCodec>(zlibLevel(CompressionLevel));
    return m_codec->uncompress(dst, &dstSize, src, srcSize);
}

} // namespace kw::archive
