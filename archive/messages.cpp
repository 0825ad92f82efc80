#include "archive/messages.h"

#include <QLocale>
#include <QVariant>

namespace kw::archive {

static const char *const kNames[kMessageCount] = {
    "BadSignature",
    "FileNameNeeded",
    "SystemMessage",
    "AcceptArchiveFailed",
    "EnterCryptKey",
    "EnterDecryptKey",
    "KeyTooShort",
    "ConfirmCryptKey",
    "KeyNotConfirmed",
    "ArchiveIsReadOnly",
    "CanNotCreateArchive",
    "CannotCreateDir",
    "SelectADirectory",
    "Ok",
    "Cancel",
    "Information",
    "Warning",
    "Confirmation",
    "Error",
    "CanNotBuildTempFileName",
    "Yes",
    "YesToAll",
    "No",
    "AFile",
    "CanContinue",
    "UnknownVersion",
    "CouldNotUncompressBlock",
    "AskOverwrite",
    "NeedExtractPath",
    "InsertDisk",
    "LocateSegment",
    "WrongSegment",
    "InsertLastSegment",
    "LocateLastSegment",
    "WrongLastSegment",
    "WrongNextSegment",
    "BadCRC",
    "BadKey",
    "ReplaceFile",
    "WithFile",
    "ConfirmFileOverwrite",
    "ExtractingFile",
    "LoadingArchiveContnent",
    "UncompressingSolidArchive",
    "CheckingFile",
    "CouldNotCompressBlock",
    "DeleteFileEventNeeded",
    "CouldNotRenameArchive",
    "InsertNewDisk",
    "SelectNewPlace",
    "NotEnoughFreeSpaceOn",
    "UnableToDeleteFiles",
    "ConfirmFileDeletion",
    "MaxSegmentSizeTooSmall",
    "CantPerformThisOp",
    "AddingFile",
    "DeletingFiles",
    "DeleteFile",
    "MakingSFXArchive",
    "CompressingSolidArchive",
    "CopyingArchive",
    "CouldNotCopyArchive",
    "UpdatingFile",
    "ReplacingFile",
};

const char *messageName(Msg m)
{
    const int i = int(m);
    return i >= 0 && i < kMessageCount ? kNames[i] : "";
}

TMessages englishMessages()
{
    TMessages m;
    m[Msg::BadSignature] = QStringLiteral("Bad signature: file \"%s\" is not a valid archive");
    m[Msg::FileNameNeeded] = QStringLiteral("\"Archiver\" needs property \"FileName\"");
    m[Msg::SystemMessage] = QStringLiteral("System Message");
    m[Msg::AcceptArchiveFailed] = QStringLiteral("This archive can not be used");
    m[Msg::EnterCryptKey] = QStringLiteral("Enter the key");
    m[Msg::EnterDecryptKey] = QStringLiteral("Enter the key to decrypt the archive");
    m[Msg::KeyTooShort] = QStringLiteral("The key is too short");
    m[Msg::ConfirmCryptKey] = QStringLiteral("Confirm the key");
    m[Msg::KeyNotConfirmed] = QStringLiteral("The key was not confirmed");
    m[Msg::ArchiveIsReadOnly] = QStringLiteral("Archive is ReadOnly");
    m[Msg::CanNotCreateArchive] = QStringLiteral("Can not create archive");
    m[Msg::CannotCreateDir] = QStringLiteral("Can not create directory");
    m[Msg::SelectADirectory] = QStringLiteral("Select a directory");
    m[Msg::Ok] = QStringLiteral("OK");
    m[Msg::Cancel] = QStringLiteral("Cancel");
    m[Msg::Information] = QStringLiteral("Information");
    m[Msg::Warning] = QStringLiteral("Warning");
    m[Msg::Confirmation] = QStringLiteral("Confirmation");
    m[Msg::Error] = QStringLiteral("Error");
    m[Msg::CanNotBuildTempFileName] = QStringLiteral("Can not build a temporary file name");
    m[Msg::Yes] = QStringLiteral("&Yes");
    m[Msg::YesToAll] = QStringLiteral("Yes to &All");
    m[Msg::No] = QStringLiteral("&No");
    m[Msg::AFile] = QStringLiteral("File");
    m[Msg::CanContinue] = QStringLiteral("Do you want to continue ?");
    m[Msg::UnknownVersion] = QStringLiteral("Unknown version");
    m[Msg::CouldNotUncompressBlock] = QStringLiteral("Could not uncompress Block");
    m[Msg::AskOverwrite] = QStringLiteral("Overwrite %s ?");
    m[Msg::NeedExtractPath] = QStringLiteral("I need a path for the extraction (property ExtractPath)");
    m[Msg::InsertDisk] = QStringLiteral("Insert disk for segment #%d in drive %s");
    m[Msg::LocateSegment] = QStringLiteral("Locate segment #%d of Archive %s...");
    m[Msg::WrongSegment] = QStringLiteral("This was not the segment #%d of Archive %s !");
    m[Msg::InsertLastSegment] = QStringLiteral("Insert disk containing the last segment in drive %s");
    m[Msg::LocateLastSegment] = QStringLiteral("Locate last segment of Archive %s...");
    m[Msg::WrongLastSegment] = QStringLiteral("This is not the last segment !");
    m[Msg::WrongNextSegment] = QStringLiteral("This segment doesn't continue the previous one");
    m[Msg::BadCRC] = QStringLiteral("Bad CRC: data stored in the archive is corrupted");
    m[Msg::BadKey] = QStringLiteral("Bad key");
    m[Msg::ReplaceFile] = QStringLiteral("Replace the file");
    m[Msg::WithFile] = QStringLiteral("with this file");
    m[Msg::ConfirmFileOverwrite] = QStringLiteral("Confirm file overwrite");
    m[Msg::ExtractingFile] = QStringLiteral("Extracting %s (%d)");
    m[Msg::LoadingArchiveContnent] = QStringLiteral("Loading archive content...");
    m[Msg::UncompressingSolidArchive] = QStringLiteral("Uncompressing solid archive...");
    m[Msg::CheckingFile] = QStringLiteral("Checking %s");
    m[Msg::CouldNotCompressBlock] = QStringLiteral("Could not compress Block");
    m[Msg::DeleteFileEventNeeded] = QStringLiteral("The OnDeleteFile event is needed");
    m[Msg::CouldNotRenameArchive] = QStringLiteral("Could not rename archive");
    m[Msg::InsertNewDisk] = QStringLiteral("Insert new disk for segment #%d in drive %s");
    m[Msg::SelectNewPlace] = QStringLiteral("Select a new place for storing the segment #%d of Archive %s...");
    m[Msg::NotEnoughFreeSpaceOn] = QStringLiteral("There's not enough free space on drive %s");
    m[Msg::UnableToDeleteFiles] = QStringLiteral("Unable to delete files");
    m[Msg::ConfirmFileDeletion] = QStringLiteral("Drive %s contains files. Do you want to delete them ?");
    m[Msg::MaxSegmentSizeTooSmall] = QStringLiteral("Maximum size of a Segment is too small (property MaxSegmentSize)");
    m[Msg::CantPerformThisOp] = QStringLiteral("Can't perform this operation on a segmented archive");
    m[Msg::AddingFile] = QStringLiteral("Adding %s (%.0n)");
    m[Msg::DeletingFiles] = QStringLiteral("Deleting files...");
    m[Msg::DeleteFile] = QStringLiteral("Deleting %s");
    m[Msg::MakingSFXArchive] = QStringLiteral("Making self-extracting archive...");
    m[Msg::CompressingSolidArchive] = QStringLiteral("Compressing solid archive...");
    m[Msg::CopyingArchive] = QStringLiteral("Copying archive...");
    m[Msg::CouldNotCopyArchive] = QStringLiteral("Could not copy archive");
    m[Msg::UpdatingFile] = QStringLiteral("Updating %s");
    m[Msg::ReplacingFile] = QStringLiteral("Replacing %s");
    return m;
}

TMessages applicationMessages()
{
    // The dialog sets every text explicitly; its values are the English ones.
    return englishMessages();
}

QString formatMessage(const QString &fmt, const QList<QVariant> &args)
{
    QString out;
    int arg = 0;
    for (int i = 0; i < fmt.size(); ++i) {
        const QChar c = fmt[i];
        if (c != QLatin1Char('%') || i + 1 >= fmt.size()) {
            out += c;
            continue;
        }
        const QVariant v = arg < args.size() ? args[arg] : QVariant();
        if (fmt[i + 1] == QLatin1Char('s')) {
            out += v.toString();
            ++arg;
            ++i;
        } else if (fmt[i + 1] == QLatin1Char('d')) {
            out += QString::number(v.toLongLong());
            ++arg;
            ++i;
        } else if (fmt.mid(i, 4) == QLatin1String("%.0n")) {
            out += QLocale().toString(qlonglong(qRound64(v.toDouble())));
            ++arg;
            i += 3;
        } else if (fmt[i + 1] == QLatin1Char('%')) {
            out += QLatin1Char('%');
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

QString dateTimeText(const QDateTime &dt)
{
    if (!dt.isValid())
        return QString();
    const QLocale loc;
    QString text = loc.toString(dt.date(), QLocale::ShortFormat);
    if (dt.time() != QTime(0, 0)) {
        // The long time format without the time zone name.
        QString fmt = loc.timeFormat(QLocale::LongFormat);
        fmt.remove(QLatin1Char('t'));
        text += QLatin1Char(' ') + loc.toString(dt.time(), fmt.trimmed());
    }
    return text;
}

} // namespace kw::archive
