#include "archive/archiver.h"

#include "archive/encoding.h"
#include "archive/scriptedprompts.h"
#include "core/findfile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>

namespace kw::archive {

QString damagedArchiveText(const QString &path)
{
    return QStringLiteral("The archive \"%1\" is damaged: its entries do not match its data").arg(path);
}

// Never blocks: every question is answered No/Cancel.
static ScriptedPrompts &silentPrompts()
{
    static ScriptedPrompts p;
    p.log.clear();
    p.continueDialogs.clear();
    return p;
}

TArchiverRoot::TArchiverRoot()
    : Messages(englishMessages()), m_prompts(&silentPrompts()), m_drives(&systemDrives())
{
}

TArchiverRoot::~TArchiverRoot()
{
    try {
        Close();
    } catch (...) {
    }
}

void TArchiverRoot::setPrompts(ArchivePrompts *p)
{
    m_prompts = p ? p : &silentPrompts();
}

void TArchiverRoot::setDrives(DriveServices *d)
{
    m_drives = d ? d : &systemDrives();
    if (!m_fileName.isEmpty())
        setNameParts(m_fileName, false);
}

void TArchiverRoot::setFileName(const QString &name)
{
    if (name == m_fileName)
        return;
    Close();
    m_fileName = name;
    setNameParts(name, false);
}

void TArchiverRoot::setBlockSize(int size)
{
    if (size >= 1024)
        m_blockSize = size;
}

void TArchiverRoot::setMaxSegmentSize(int size)
{
    if (size > 0 && qint64(size) < 3 * qint64(m_blockSize))
        throw EArchiver(msg(Msg::MaxSegmentSizeTooSmall));
    m_maxSegmentSize = size < 0 ? 0 : size;
}

void TArchiverRoot::RequestAbort()
{
    if (CanAbort())
        m_abortRequested = true;
}

QString TArchiverRoot::msg(Msg m, const QList<QVariant> &args) const
{
    return args.isEmpty() ? Messages[m] : formatMessage(Messages[m], args);
}

static QString withSlash(QString p)
{
    if (!p.isEmpty() && !p.endsWith(QLatin1Char('/')))
        p += QLatin1Char('/');
    return p;
}

void TArchiverRoot::setNameParts(const QString &path, bool keepSegment1Name)
{
    const QString p = QDir::fromNativeSeparators(path);
    const QFileInfo fi(p);
    // A bare file name has no place of its own: such an archive cannot be created.
    m_dir = p.contains(QLatin1Char('/')) ? withSlash(fi.absolutePath()) : QString();
    m_drive = m_dir.isEmpty() ? QString() : withSlash(m_drives->driveOf(m_dir));
    const QString name = fi.fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    m_ext = dot >= 0 ? name.mid(dot) : QString();
    m_base = dot >= 0 ? name.left(dot) : name;
    static const QRegularExpression trailingNumber(QStringLiteral("-\\d+$"));
    m_base.remove(trailingNumber);
    if (!keepSegment1Name)
        m_seg1Name = name;
}

void TArchiverRoot::setDrive(const QString &drive)
{
    const QString d = withSlash(drive);
    QString rel = m_dir.startsWith(m_drive) ? m_dir.mid(m_drive.size()) : QString();
    m_drive = d;
    m_dir = withSlash(d + rel);
}

bool TArchiverRoot::applyDriveAnswer(const QString &answer)
{
    const QString a = answer.trimmed();
    if (a.isEmpty())
        return !m_drive.isEmpty() && m_drives->isReady(m_drive);
    if (!QDir::isAbsolutePath(a))
        throw EStreamError(QStringLiteral("Not a valid drive ID"));
    const QString d = withSlash(QDir::cleanPath(a));
    if (!m_drives->isReady(d))
        return false;
    setDrive(d);
    return true;
}

QString TArchiverRoot::segmentPath(int k) const
{
    if (k <= 1)
        return m_dir + m_seg1Name;
    return m_dir + m_base + QStringLiteral("-%1.mmm").arg(k, 3, 10, QLatin1Char('0'));
}

bool TArchiverRoot::isRightSegment(const QString &path, int k, bool *final) const
{
    if (path.isEmpty())
        return false; // a segment not known yet: nothing to open
    ArchiveStream s;
    if (!s.open(path, ArchiveStream::Mode::ReadOnly))
        return false;
    try {
        TArchiveHeader h;
        if (!readHeader(s, h) || h.ArchiveId != m_archiveId || (k > 0 && int(h.Segment) != k))
            return false;
        if (final)
            *final = h.Flags & afFinalSegment;
        return true;
    } catch (...) {
        return false;
    }
}

QString TArchiverRoot::elide(const QString &name) const
{
    if (name.size() <= 50)
        return name;
    QString n = name;
    n.replace(QLatin1Char('/'), QLatin1Char('\\'));
    const QStringList parts = n.split(QLatin1Char('\\'));
    if (parts.size() >= 3) {
        const QString e = parts.first() + QStringLiteral("\\...\\") + parts.last();
        if (e.size() <= 50)
            return e;
    }
    const QString tail = QStringLiteral("...\\") + parts.last();
    if (tail.size() <= 50)
        return tail;
    return parts.last().right(50);
}

// ---- operation bracket

TArchiverRoot::OperationScope::OperationScope(TArchiverRoot &root, TOperation kind) : r(root)
{
    m_outer = r.m_depth++ == 0;
    if (!m_outer)
        return;
    r.m_operation = kind;
    r.m_abortRequested = false;
    r.m_progressDone = 0;
    r.m_progressTotal = 0;
    r.m_yesToAll = false;
    r.m_failures.clear();
    try {
        if (r.OnStartOperation)
            r.OnStartOperation();
        if (r.OnFileProgress)
            r.OnFileProgress(0);
    } catch (...) {
        r.m_depth--;
        r.m_operation = TOperation::opNone;
        throw;
    }
}

TArchiverRoot::OperationScope::~OperationScope()
{
    if (m_outer) {
        r.m_inBuf.clear();
        r.m_inBuf.shrink_to_fit();
        r.m_outBuf.clear();
        r.m_outBuf.shrink_to_fit();
        r.m_codec.reset();
        try {
            if (r.OnFinishOperation)
                r.OnFinishOperation();
        } catch (...) {
        }
        r.m_progressDone = 0;
        r.m_progressTotal = 0;
        r.m_operation = TOperation::opNone;
    }
    r.m_depth--;
}

void TArchiverRoot::reportProgress()
{
    if (m_abortRequested)
        throw EAbort();
    int pct = 0;
    if (m_progressTotal > 0) {
        // nearbyint rounds halves to even in the default rounding mode.
        const double v = std::nearbyint(m_progressDone / m_progressTotal * 100.0);
        pct = v < 0 ? 0 : (v > 100 ? 100 : int(v));
    }
    if (OnFileProgress)
        OnFileProgress(pct);
}

void TArchiverRoot::displayMessage(const QString &text, const QString &logText)
{
    if (OnDisplayMessage)
        OnDisplayMessage(text);
    if (OnAddToLog)
        OnAddToLog(logText);
}

void TArchiverRoot::applyErrorPolicy(std::exception_ptr error, const TFileEntry &entry)
{
    const QString text = kw::core::messageOf(error);
    m_failures.append({entry.Name, text});
    TErrorAction action = ErrorAction;
    bool hooked = false;
    if (OnError) {
        OnError(text, entry, action);
        hooked = true;
    }
    switch (action) {
    case TErrorAction::eaContinue:
        return;
    case TErrorAction::eaAbort:
        if (hooked)
            throw EAbort();
        std::rethrow_exception(error);
    case TErrorAction::eaAsk:
        break;
    }
    if (m_yesToAll)
        return;
    ContinueDialog dlg;
    dlg.caption = msg(Msg::Confirmation);
    dlg.errorLabel = msg(Msg::Error) + QStringLiteral(" :");
    dlg.errorText = text;
    dlg.fileLabel = msg(Msg::AFile) + QStringLiteral(" :");
    dlg.fileName = elide(entry.Name);
    dlg.sizeAndDate = formatMessage(QStringLiteral("%.0n bytes  %s"),
                                    {double(entry.Size), dateTimeText(oleToDateTime(entry.Date))});
    dlg.question = msg(Msg::CanContinue);
    dlg.yes = msg(Msg::Yes);
    dlg.yesToAll = msg(Msg::YesToAll);
    dlg.no = msg(Msg::No);
    switch (m_prompts->askContinue(dlg)) {
    case ContinueAnswer::Yes:
        return;
    case ContinueAnswer::YesToAll:
        m_yesToAll = true;
        return;
    case ContinueAnswer::No:
        break;
    }
    throw EAbort();
}

// ---- header and entries

void TArchiverRoot::writeHeader()
{
    TUserData ud;
    if (OnWriteUserData)
        OnWriteUserData(ud);
    m_header.UserData = ud;
    writeHeaderBytes(m_stream, m_header);
    if (OnAfterHeaderUpdate)
        OnAfterHeaderUpdate();
}

void TArchiverRoot::writeEntry(TFileEntry &e)
{
    const int n = e.entrySize();
    needRoom(n);
    if (m_stream.pos() + n > INT32_MAX)
        throw EArchiver(QStringLiteral("The archive segment would grow past 2 GB"));
    e.EntryOffset = int32_t(m_stream.pos());
    writeEntryBytes(m_stream, e);
}

void TArchiverRoot::readAndVerifyHeader(ArchiveStream &s, TArchiveHeader &h, const QString &path)
{
    s.seek(0);
    if (!readHeader(s, h))
        throw EArchiver(msg(Msg::BadSignature, {QDir::toNativeSeparators(path)}));
    if (h.Version > kFormatVersion)
        throw EArchiver(msg(Msg::UnknownVersion));
    // Bounds every later read by what the file really holds.
    if (h.BlockSize < 1 || h.BlockSize > (64 << 20) || h.DataEnd < h.headerSize() || h.DataEnd > s.size())
        throw EArchiver(damagedArchiveText(QDir::toNativeSeparators(path)));
}

bool TArchiverRoot::openSegmentStream(const QString &path)
{
    const QFileInfo fi(path);
    const bool ro = m_readOnly || !fi.isWritable() || !(fi.permissions() & QFile::WriteOwner);
    if (!ro && m_stream.open(path, ArchiveStream::Mode::ReadWrite))
        return true;
    if (m_stream.open(path, ArchiveStream::Mode::ReadOnly)) {
        m_readOnly = true;
        return true;
    }
    return false;
}

void TArchiverRoot::readEntryChecked(TFileEntry &e)
{
    const qint64 at = m_stream.pos();
    readEntry(m_stream, e, m_header.DataEnd - at);
    const qint64 end = m_stream.pos();
    const bool bad = e.Size < 0 || e.PartSize < 0 || e.PartCompressedSize < 0 || e.CompressedSize < 0 ||
                     e.PartOffset < 0 || e.PartSize > e.Size || qint64(e.PartOffset) + e.PartSize > e.Size ||
                     end + e.PartCompressedSize > m_header.DataEnd ||
                     (e.PartSize == 0) != (e.PartCompressedSize == 0);
    if (bad)
        throw EArchiver(damagedArchiveText(QDir::toNativeSeparators(m_stream.path())));
}

void TArchiverRoot::ensureBuffers()
{
    // Frame head room in front of the data, so a frame leaves in one write.
    const size_t bs = size_t(m_header.BlockSize);
    const size_t cap = bs + bs / 100 + kFrameHeadSize;
    if (m_inBuf.size() != cap) {
        m_inBuf.assign(cap, 0);
        m_outBuf.assign(cap, 0);
    }
}

BlockCodec::Result TArchiverRoot::compressBlock(unsigned char *dst, size_t &dstSize, const unsigned char *src,
                                                size_t srcSize)
{
    if (OnCompressBlock)
        return OnCompressBlock(dst, dstSize, src, srcSize, zlibLevel(CompressionLevel)) ? BlockCodec::Result::Ok
                                                                                        : BlockCodec::Result::Failed;
    return BlockCodec::Result::Failed;
}

bool TArchiverRoot::uncompressBlock(unsigned char *dst, size_t &dstSize, const unsigned char *src, size_t srcSize)
{
    if (OnUncompressBlock)
        return OnUncompressBlock(dst, dstSize, src, srcSize);
    return false;
}

// ---- open / close

void TArchiverRoot::ensureOpen()
{
    if (!m_open)
        Open();
}

void TArchiverRoot::Open()
{
    if (m_open)
        return;
    if (m_fileName.isEmpty())
        throw EArchiver(msg(Msg::FileNameNeeded));
    m_readOnly = false;
    m_filesAdded = false;
    m_spaceRanOut = false;
    m_entries.clear();
    m_knownSegments.clear();
    setNameParts(m_fileName, false);
    try {
        const QString path = segmentPath(1);
        const QString shown = QDir::toNativeSeparators(path);
        // A device or a pipe reads as an endless or empty stream: say what it is.
        if (const QString why = kw::core::accessProblem(path); !why.isEmpty())
            throw EStreamError(QStringLiteral("Cannot open file \"%1\": %2").arg(shown, why));
        if (QFileInfo::exists(path) && !QFileInfo(path).isFile())
            throw EArchiver(QStringLiteral("\"%1\" is not an archive file: it is not a regular file").arg(shown));
        if (QFileInfo::exists(path)) {
            if (!openSegmentStream(path))
                throw EStreamError(QStringLiteral("Cannot open file \"%1\"").arg(QDir::toNativeSeparators(path)));
            readAndVerifyHeader(m_stream, m_header, path);
            m_knownSegments.insert(int(m_header.Segment), path);
            if (m_header.Flags & afReadOnly)
                m_readOnly = true;
            m_archiveId = m_header.ArchiveId;
        } else {
            createArchive();
        }
        bool accept = true;
        if (OnAcceptArchive)
            OnAcceptArchive(m_header, accept);
        if (!accept)
            throw EArchiver(msg(Msg::AcceptArchiveFailed));
        m_totals = m_header.ArchiveTotals;
        const bool seg1Knows = m_header.ArchiveTotals.FileCount > m_header.SegmentTotals.FileCount ||
                               m_header.ArchiveTotals.CompressedSize > m_header.SegmentTotals.CompressedSize;
        if (!(m_header.Flags & afFinalSegment) && (m_header.Segment != 1 || !seg1Knows)) {
            goToLastSegment();
            m_totals = m_header.ArchiveTotals;
        }
        m_open = true;
        if (Options.has(oMaintainFileDirectory) || Options.has(oEnumerateAfterOpen))
            ListContent();
    } catch (...) {
        m_stream.close();
        m_open = false;
        throw;
    }
}

void TArchiverRoot::Close()
{
    m_closeError.clear();
    if (m_open && m_filesAdded && !m_readOnly) {
        try {
            finishSpanning();
        } catch (...) {
            // Segment 1 then keeps its older totals; every segment is still readable.
        }
        try {
            m_stream.flush();
        } catch (const EArchiverBase &e) {
            m_closeError = e.message();
        }
    }
    m_stream.close();
    m_open = false;
    m_filesAdded = false;
}

bool TArchiverRoot::DeleteArchive()
{
    Close();
    if (m_fileName.isEmpty())
        return false;
    setNameParts(m_fileName, false);
    const QString path = segmentPath(1);
    if (!QFileInfo::exists(path))
        return false;
    return QFile::remove(path);
}

} // namespace kw::archive
