#pragma once
// The component's texts: every message, caption and status line it shows or
// reports, addressed by name. The application overrides them as a set.
#include <QString>
#include <QDateTime>
#include <QList>
#include <QVariant>
#include <array>

namespace kw::archive {

enum class Msg {
    BadSignature,
    FileNameNeeded,
    SystemMessage,
    AcceptArchiveFailed,
    EnterCryptKey,
    EnterDecryptKey,
    KeyTooShort,
    ConfirmCryptKey,
    KeyNotConfirmed,
    ArchiveIsReadOnly,
    CanNotCreateArchive,
    CannotCreateDir,
    SelectADirectory,
    Ok,
    Cancel,
    Information,
    Warning,
    Confirmation,
    Error,
    CanNotBuildTempFileName,
    Yes,
    YesToAll,
    No,
    AFile,
    CanContinue,
    UnknownVersion,
    CouldNotUncompressBlock,
    AskOverwrite,
    NeedExtractPath,
    InsertDisk,
    LocateSegment,
    WrongSegment,
    InsertLastSegment,
    LocateLastSegment,
    WrongLastSegment,
    WrongNextSegment,
    BadCRC,
    BadKey,
    ReplaceFile,
    WithFile,
    ConfirmFileOverwrite,
    ExtractingFile,
    LoadingArchiveContnent,
    UncompressingSolidArchive,
    CheckingFile,
    CouldNotCompressBlock,
    DeleteFileEventNeeded,
    CouldNotRenameArchive,
    InsertNewDisk,
    SelectNewPlace,
    NotEnoughFreeSpaceOn,
    UnableToDeleteFiles,
    ConfirmFileDeletion,
    MaxSegmentSizeTooSmall,
    CantPerformThisOp,
    AddingFile,
    DeletingFiles,
    DeleteFile,
    MakingSFXArchive,
    CompressingSolidArchive,
    CopyingArchive,
    CouldNotCopyArchive,
    UpdatingFile,
    ReplacingFile,
    Count
};
constexpr int kMessageCount = int(Msg::Count); // 64

struct TMessages {
    std::array<QString, kMessageCount> text;
    const QString &operator[](Msg m) const { return text[size_t(m)]; }
    QString &operator[](Msg m) { return text[size_t(m)]; }
};

const char *messageName(Msg m);
// Built-in English texts (Language = lgEnglish).
TMessages englishMessages();
// The texts the backup dialog sets on its component.
TMessages applicationMessages();

// Fills a Pascal-style format: %s, %d and %.0n (a whole number with
// thousands separators in the current locale), in order of appearance.
QString formatMessage(const QString &fmt, const QList<QVariant> &args);

// Date and time as the dialogs show them: the short date format, a blank and
// the long time format; the time is left out when it is exactly midnight.
QString dateTimeText(const QDateTime &dt);

} // namespace kw::archive
