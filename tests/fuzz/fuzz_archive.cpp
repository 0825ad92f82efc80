// Backup archives as they come back from a floppy or a USB stick: opened,
// listed and extracted by the archive component, then restored by the
// program's restore job. Any bytes must end in files or an archive error.
#include "fuzzsupport.h"

#include "archive/archiver.h"
#include "archive/backup.h"
#include "archive/restore.h"

#include <QDir>
#include <QFile>

using namespace kw::archive;

// Declared sizes above this are not extracted: the listing is still read,
// but writing that much per input would make every slow input look alike.
static constexpr qint64 kMaxExtractBytes = 8 << 20;

static void readExtracted(const QString &dir)
{
    QDir d(dir);
    for (const QString &f : d.entryList(QDir::Files | QDir::Hidden)) {
        QFile in(d.filePath(f));
        if (in.open(QIODevice::ReadOnly))
            kwfuzz::consume(in.readAll());
    }
    d.removeRecursively();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString dir = kwfuzz::scratchDir();
    const QString path = dir + QStringLiteral("/Backup.Alse");
    const QString out = dir + QStringLiteral("/out");
    const QString shop = dir + QStringLiteral("/shop");
    kwfuzz::writeFile(path, QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));

    bool extract = true;
    {
        TArchiver a;
        configureForApplication(a);
        a.ErrorAction = TErrorAction::eaContinue;
        a.setFileName(path);
        a.ExtractPath = out;
        try {
            a.Open();
            a.ListContent();
            qint64 declared = 0;
            for (const TFileEntry &e : a.Entries()) {
                kwfuzz::consume(e.Name);
                declared += qMax<qint64>(0, e.Size) + qMax<qint64>(0, e.PartOffset);
            }
            extract = declared <= kMaxExtractBytes;
            if (extract)
                a.ExtractFiles();
            for (const FileFailure &f : a.Failures())
                kwfuzz::note(f.name + QStringLiteral(": ") + f.message);
            kwfuzz::note(QStringLiteral("%1 entries, %2 failed").arg(a.Entries().size()).arg(a.Failures().size()));
        } catch (const EArchiverBase &e) {
            kwfuzz::note(QString::fromUtf8(e.what()));
        }
        a.Close();
    }
    readExtracted(out);

    if (extract) {
        static const DatabaseFiles files({QStringLiteral("Equipment.DB"), QStringLiteral("Equipment.PX"),
                                          QStringLiteral("Lists.DB")});
        QDir().mkpath(shop);
        TArchiver a;
        configureForApplication(a);
        const RestoreReport r = restoreDatabase(a, path, shop, files);
        kwfuzz::note(QStringLiteral("restore: %1 restored, error \"%2\"").arg(r.restored.size()).arg(r.error));
        QDir(shop).removeRecursively();
    }
    QFile::remove(path);
    return 0;
}
