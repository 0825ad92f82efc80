#pragma once
// The archive component: TArchiverRoot (file, header, operations, progress,
// error policy, messages, events) -> TCustomExtractor (reading, listing,
// segment changes while reading) -> TCustomArchiver (creating, adding, block
// writing, new segments) -> TArchiver (zlib codec). No widgets: every question
// goes through ArchivePrompts, every drive question through DriveServices.
#include "archive/codec.h"
#include "archive/drives.h"
#include "archive/errors.h"
#include "archive/format.h"
#include "archive/messages.h"
#include "archive/prompts.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

namespace kw::archive {

enum class TPathStorage { psNone, psWhole, psRelative };
enum class TRestoreAction { raOverwrite, raSkip, raUpdate, raAsk, raExistingOnly, raUpdateExisting };
enum class TErrorAction { eaContinue, eaAbort, eaAsk };
enum class TLanguage { lgAutomatic, lgEnglish, lgFrench, lgChinese, lgPortuguese, lgGerman, lgItalian, lgRussian, lgSpanish };
enum class TOperation { opNone = 0, opAdd = 1, opExtract = 2, opList = 3 };

enum TOption : int {
    oStoreEmptyFolders = 0,
    oShowEmptyFolders,
    oCreateReadOnly,
    oCreateSolidArchives,
    oCompress,
    oCrypt,
    oEraseFirstDisk,
    oEraseNewDisk,
    oConfirmFileDeletion,
    oEnumerateAfterOpen,
    oIncludeStartingDirectory,
    oRecurseFolders,
    oOpenSingleSegment,
    oRestorePath,
    oSecureAccess,
    oWriteSFXCode,
    oEncryptFiles,
    oMaintainFileDirectory,
    oNoSpanning,
};

// A set of TOption: bit k is option k.
class TOptions {
public:
    TOptions() = default;
    TOptions(std::initializer_list<TOption> l)
    {
        for (TOption o : l)
            bits |= 1u << o;
    }
    bool has(TOption o) const { return bits & (1u << o); }
    void set(TOption o, bool on = true) { on ? bits |= (1u << o) : bits &= ~(1u << o); }
    uint32_t bits = 0;
};

// One file that could not be stored or extracted in the last operation.
struct FileFailure {
    QString name;
    QString message;
};

class TArchiverRoot {
public:
    TArchiverRoot();
    virtual ~TArchiverRoot();
    TArchiverRoot(const TArchiverRoot &) = delete;
    TArchiverRoot &operator=(const TArchiverRoot &) = delete;

    // ---- properties
    const QString &FileName() const { return m_fileName; }
    void setFileName(const QString &name); // closes an open archive when it changes
    int BlockSize() const { return m_blockSize; }
    void setBlockSize(int size); // values below 1024 are ignored
    int MaxSegmentSize() const { return m_maxSegmentSize; }
    void setMaxSegmentSize(int size); // 0 or at least 3 * BlockSize

    TCompressionLevel CompressionLevel = TCompressionLevel::clMaximum;
    TPathStorage PathStorage = TPathStorage::psWhole;
    QString ExtractPath;
    TRestoreAction RestoreAction = TRestoreAction::raOverwrite;
    TErrorAction ErrorAction = TErrorAction::eaAsk;
    TOptions Options;
    qint64 MinFreeSpace = 1048576;
    QString Filter = QStringLiteral("*.*");
    TLanguage Language = TLanguage::lgEnglish;
    TMessages Messages;

    // ---- events
    std::function<void(const TArchiveHeader &, bool &)> OnAcceptArchive;
    std::function<void(TUserData &)> OnWriteUserData;
    std::function<void()> OnStartOperation;
    std::function<void()> OnFinishOperation;
    std::function<void(int)> OnFileProgress;
    std::function<void(const QString &)> OnDisplayMessage;
    std::function<void(const QString &)> OnAddToLog;
    std::function<void(const QString &, const TFileEntry &, TErrorAction &)> OnError;
    std::function<void(TFileEntry &, bool &)> OnAddFile;
    std::function<void(const TFileEntry &)> OnFileAdded;
    std::function<void(const TFileEntry &, QString &, bool &)> OnExtractFile;
    std::function<void(const TFileEntry &, const QString &)> OnFileExtracted;
    std::function<void(const TFileEntry &)> OnEnumeration;
    std::function<void()> OnAfterHeaderUpdate;
    std::function<void(int)> OnSegmentChanged;
    // Replace the zlib codec when assigned (DestBlock, DestSize, SrcBlock, SrcSize, Level).
    std::function<bool(unsigned char *, size_t &, const unsigned char *, size_t, int)> OnCompressBlock;
    std::function<bool(unsigned char *, size_t &, const unsigned char *, size_t)> OnUncompressBlock;

    // ---- services (not owned; defaults never block)
    void setPrompts(ArchivePrompts *p);
    void setDrives(DriveServices *d);
    ArchivePrompts &prompts() const { return *m_prompts; }
    DriveServices &drives() const { return *m_drives; }

    // ---- operations
    void Open();
    void Close();
    bool DeleteArchive();
    bool IsBusy() const { return m_depth > 0; }
    bool CanAbort() const { return IsBusy(); }
    void RequestAbort();

    // ---- state
    bool isOpen() const { return m_open; }
    bool isReadOnly() const { return m_readOnly; }
    TOperation Operation() const { return m_operation; }
    const TArchiveHeader &Header() const { return m_header; }
    const TTotals &ArchiveTotals() const { return m_totals; }
    const QList<TFileEntry> &Entries() const { return m_entries; }
    const QList<FileFailure> &Failures() const { return m_failures; }
    // Why the last Close() could not put the archive's data on the disk
    // (empty when it did): Close() never throws, so a caller that needs the
    // archive whole checks this.
    const QString &CloseError() const { return m_closeError; }
    // Whether the free space of a drive ran out while writing since Open():
    // the reason to give when the job then stops.
    bool SpaceRanOut() const { return m_spaceRanOut; }
    QString segmentPath(int k) const; // file name of segment k at the current place
    QString currentDrive() const { return m_drive; }

    virtual void ListContent() = 0;

protected:
    // Operation bracket: only the outermost level acts.
    class OperationScope {
    public:
        OperationScope(TArchiverRoot &r, TOperation kind);
        ~OperationScope();
        bool outermost() const { return m_outer; }

    private:
        TArchiverRoot &r;
        bool m_outer;
    };
    friend class OperationScope;

    virtual void createArchive() = 0;
    virtual void goToLastSegment() = 0;
    virtual void changeSegment(int k, TFileEntry *continuing) = 0;
    virtual void finishSpanning() {}
    virtual BlockCodec::Result compressBlock(unsigned char *dst, size_t &dstSize, const unsigned char *src,
                                             size_t srcSize);
    virtual bool uncompressBlock(unsigned char *dst, size_t &dstSize, const unsigned char *src, size_t srcSize);

    void ensureOpen();
    void reportProgress();
    void displayMessage(const QString &msg, const QString &logMsg);
    QString msg(Msg m, const QList<QVariant> &args = {}) const;
    // Applies the error policy to a failure while storing or extracting one
    // file: returns to continue, rethrows for eaAbort, throws EAbort to stop.
    void applyErrorPolicy(std::exception_ptr error, const TFileEntry &entry);

    void writeHeader();
    void writeEntry(TFileEntry &e); // makes room, sets EntryOffset, writes
    virtual bool needRoom(qint64) { return false; }
    void readAndVerifyHeader(ArchiveStream &s, TArchiveHeader &h, const QString &path);
    bool openSegmentStream(const QString &path); // RW unless read-only
    void readEntryChecked(TFileEntry &e);
    void ensureBuffers();
    void setNameParts(const QString &path, bool keepSegment1Name);
    void setDrive(const QString &drive);
    // Parses a drive typed into a prompt: false = empty or not ready (ask again).
    bool applyDriveAnswer(const QString &answer);
    bool isRightSegment(const QString &path, int k, bool *final = nullptr) const;
    QString elide(const QString &name) const;

    // working state
    QString m_fileName;
    int m_blockSize = 65536;
    int m_maxSegmentSize = 0;
    ArchivePrompts *m_prompts;
    DriveServices *m_drives;
    ArchiveStream m_stream;
    TArchiveHeader m_header;
    TTotals m_totals;   // archive totals as known (the last segment's)
    uint32_t m_archiveId = 0;
    bool m_open = false;
    bool m_readOnly = false;
    int m_depth = 0;
    TOperation m_operation = TOperation::opNone;
    bool m_abortRequested = false;
    bool m_yesToAll = false;
    double m_progressTotal = 0;
    double m_progressDone = 0;
    std::vector<unsigned char> m_inBuf, m_outBuf;
    std::unique_ptr<BlockCodec> m_codec;
    QList<TFileEntry> m_entries;
    QList<FileFailure> m_failures;
    bool m_filesAdded = false; // since open: segment 1 owes its final totals
    QString m_closeError;
    bool m_spaceRanOut = false;

    // Where each segment was last found or written in this session, so going
    // back to one does not ask for it when it is still there.
    QHash<int, QString> m_knownSegments;

    // name parts: drive (mount point), directory, base name, extension
    QString m_drive, m_dir, m_base, m_ext, m_seg1Name;
};

class TCustomExtractor : public TArchiverRoot {
public:
    void ListContent() override;
    void ExtractFiles();

protected:
    void goToLastSegment() override;
    void changeSegment(int k, TFileEntry *continuing) override;
    bool nextSegmentIfAtEnd(TFileEntry *continuing = nullptr);
    void goToFirstSegment();
    void extractOne(TFileEntry &e, qint64 entryPos);
    // Whether RestoreAction lets the entry replace or create dest (may ask).
    bool restoreActionAllows(const TFileEntry &e, const QString &dest);
    // Creates dest's folder and writes the entry's data to it, across segments.
    void writeEntryFile(const TFileEntry &e, TFileEntry &part, qint64 &partPos, const QString &dest,
                        const QString &bare);
    void readFileBlocks(QFile &target, TFileEntry &part, qint64 &partPos);
    // Skips what is left of the file whose current part starts at entryPos.
    void skipRest(TFileEntry &part, qint64 entryPos);
    void openLastSegment(const QString &path);

    bool m_atNextEntry = false; // a continuation check left us at a new entry
};

class TCustomArchiver : public TCustomExtractor {
public:
    // Closes here, while the writer's part of the object still exists, so a
    // spanning archive's segment 1 gets its totals.
    ~TCustomArchiver() override;
    bool AddFiles(const QStringList &names);
    bool AddFile(const QString &name);
    bool AddDirectory(const QString &dir);

protected:
    void createArchive() override;
    bool needRoom(qint64 n) override;
    void finishSpanning() override;
    void startNewSegment();
    void newDiskPrompt(int segment);
    void chooseNewPlace(int segment);
    bool hasRoomForSegment();
    void createSegmentFile(const QString &path);
    void storeFile(QFile &src, TFileEntry &e);
    void writeFileBlocks(QFile &src, TFileEntry &e);
    QString storedName(const QString &path, const QString &baseDir) const;
    bool addFileFrom(const QString &name, const QString &baseDir);

    // the file being added
    TFileEntry *m_adding = nullptr;
    bool m_entryWritten = false;
    bool m_partHasBlocks = false;
    qint64 m_chunkPos = 0;
    bool m_changingSegment = false;
};

class TArchiver : public TCustomArchiver {
protected:
    BlockCodec::Result compressBlock(unsigned char *dst, size_t &dstSize, const unsigned char *src,
                                     size_t srcSize) override;
    bool uncompressBlock(unsigned char *dst, size_t &dstSize, const unsigned char *src, size_t srcSize) override;
};

// The text used when an archive's structure is damaged beyond a block's CRC
// (an entry pointing past the data, a part that decodes to the wrong size).
QString damagedArchiveText(const QString &path);

} // namespace kw::archive
