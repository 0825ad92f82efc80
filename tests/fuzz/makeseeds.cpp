// Writes the seed corpora of the fuzz targets: small files made by the
// program itself (tables, archives, the settings store, version blocks) and
// the sample tables under tests/fixtures packed as bundles.
//     kw_fuzz_seeds FIXTURES_DIR OUT_DIR
// OUT_DIR/<target>/ receives the files; existing files of the same name are
// replaced, others (inputs that once found a fault) are kept.
#include "fuzzsupport.h"

#include "archive/archiver.h"
#include "archive/backup.h"
#include "archive/restore.h"
#include "data/engine/dbase/dbftable.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/shop/shopschema.h"
#include "settings/registry.h"
#include "update/versionblock.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstdio>

using namespace kw;

static QString outDir;

static void put(const QString &target, const QString &name, const QByteArray &bytes)
{
    QDir().mkpath(outDir + '/' + target);
    kwfuzz::writeFile(outDir + '/' + target + '/' + name, bytes);
}

static QByteArray slurp(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every table file of dir with its companions (same base name), as bundles.
static void bundleTables(const QString &dir, const QString &mainSuffix, const QString &target)
{
    QDir d(dir);
    for (const QString &f : d.entryList(QDir::Files)) {
        const QFileInfo fi(d.filePath(f));
        if (fi.suffix().compare(mainSuffix, Qt::CaseInsensitive) != 0)
            continue;
        kwfuzz::Bundle b;
        b.main = slurp(fi.filePath());
        for (const QString &c : d.entryList({fi.completeBaseName() + ".*"}, QDir::Files)) {
            const QFileInfo ci(d.filePath(c));
            if (ci.completeBaseName() == fi.completeBaseName() && ci.suffix() != fi.suffix())
                b.companions.append({ci.suffix().toUpper(), slurp(ci.filePath())});
        }
        put(target, "fixture-" + fi.completeBaseName().toLower(), kwfuzz::joinBundle(b));
        if (!b.companions.isEmpty() && b.main.size() <= 16384) // alone: companions to be rebuilt
            put(target, "fixture-" + fi.completeBaseName().toLower() + "-alone", b.main);
    }
}

static void paradoxSeeds(const QString &fixtures, const QString &tmp)
{
    bundleTables(fixtures + "/paradox", "DB", "paradox");
    // Shop tables as the program writes them: keyed, indexed, encrypted.
    for (const QString &name : {QStringLiteral("Lists"), QStringLiteral("Equipment")}) {
        const data::shop::ShopTable *st = data::shop::findTable(name);
        const QString dir = tmp + "/px-" + name;
        QDir().mkpath(dir);
        const QString db = dir + '/' + st->fileName;
        data::ParadoxTable::create(db, st->def, data::shop::kTablePassword);
        {
            auto t = data::ParadoxTable::open(db, {data::shop::kTablePassword});
            for (int i = 0; i < 3; ++i) {
                data::Row r(st->def.fields.size());
                for (int f = 0; f < r.size(); ++f) {
                    switch (st->def.fields[f].type) {
                    case data::FieldType::Alpha: r[f] = QStringLiteral("A%1-%2").arg(i).arg(f); break;
                    case data::FieldType::Date: r[f] = QDate(2024, 1 + i, 10 + f % 10); break;
                    case data::FieldType::Logical: r[f] = (i + f) % 2 == 0; break;
                    case data::FieldType::Short:
                    case data::FieldType::Long: r[f] = i * 10 + f; break;
                    case data::FieldType::Number:
                    case data::FieldType::Currency: r[f] = i + f / 4.0; break;
                    default: break; // AutoInc and the rest: assigned or left empty
                    }
                }
                t->insert(r);
            }
            t->close();
        }
        bundleTables(dir, "DB", "paradox");
    }
}

static void dbaseSeeds(const QString &fixtures, const QString &tmp)
{
    bundleTables(fixtures + "/dbase", "DBF", "dbase");
    const QString path = tmp + "/kits.dbf";
    data::DbfTable t = data::DbfTable::create(
        path, {{"KITNO", 'C', 10, 0, 0}, {"QTY", 'N', 5, 0, 0}, {"PRICE", 'N', 9, 2, 0},
               {"DUE", 'D', 8, 0, 0}, {"OK", 'L', 1, 0, 0}});
    for (int i = 0; i < 3; ++i)
        t.appendRecord({QStringLiteral("K-%1").arg(i), i * 3, 12.5 * i, QDate(2023, 5, 1 + i), i % 2 == 0});
    t.setDeleted(1, true);
    t.save();
    put("dbase", "written-kits", slurp(path));
}

static void archiveSeeds(const QString &tmp)
{
    const QString src = tmp + "/arc-src";
    QDir().mkpath(src);
    kwfuzz::writeFile(src + "/Equipment.DB", QByteArray("Equipment rows ").repeated(40));
    kwfuzz::writeFile(src + "/Equipment.PX", QByteArray());
    QByteArray noisy;
    for (int i = 0; i < 1500; ++i)
        noisy += char((i * 7919) >> 3);
    kwfuzz::writeFile(src + "/Lists.DB", noisy);
    struct Variant {
        const char *name;
        bool compress;
    };
    for (const Variant v : {Variant{"written-compressed", true}, Variant{"written-stored", false}}) {
        const QString path = tmp + '/' + v.name + ".Alse";
        archive::TArchiver a;
        archive::configureForApplication(a);
        a.setBlockSize(1024); // several blocks per file
        a.Options.set(archive::oCompress, v.compress);
        a.setFileName(path);
        a.AddFiles({src + "/Equipment.DB", src + "/Equipment.PX", src + "/Lists.DB"});
        a.Close();
        put("archive", v.name, slurp(path));
    }
}

static void sqlSeeds()
{
    const char *statements[] = {
        "SELECT E.\"Hr Number\", H.\"Hr Holder\", L.LIN, E.NSN, E.\"Serial Number\", E.\"Insp Due\"\n"
        "FROM \"Equipment.DB\" E,\n     \"Lists.DB\"     L,\n     \"Hrdf.DB\"      H\n"
        "WHERE  (E.NSN = L.NSN)  AND\n       ((L.\"Insp Type\"='D') OR (L.\"Insp Type\"='Y'))  AND\n"
        "       (E.\"HR Number\" = H.\"HR Number\")\nORDER BY E.'Insp Due'\n ",
        "SELECT DISTINCT ALSE.NSN, ALSE.NOMEN, ALSE.REMARKS\nFROM ALSE\n"
        "WHERE ALSE.NSN NOT IN (SELECT Lists.NSN FROM ':Kitwarden:Lists.DB' Lists)",
        "insert into \"Lists.DB\"\n  (\"Lists.DB\".\"NSN\", \"Lists.DB\".\"Nomenclature\")\nvalues\n"
        "  (:\"NSN\", :\"Nomenclature\")",
        "update \"Equipment.DB\"\nset\n  \"Equipment.DB\".\"OH\" = :\"OH\",\n"
        "  \"Equipment.DB\".\"Remarks\" = :\"Remarks\"\nwhere\n  \"Equipment.DB\".\"Auto\" = :\"OLD_Auto\"",
        "delete from \"Equipment.DB\"\nwhere\n  \"Equipment.DB\".\"Auto\" = :\"OLD_Auto\"",
        "SELECT [Name], COUNT(*) AS n FROM Kits K GROUP BY [Name] HAVING COUNT(*) > 1 ORDER BY 2 DESC",
        "SELECT * FROM \"Bench.DB\" B WHERE B.Qty < :Min AND B.NSN LIKE 'x%' -- note",
    };
    int i = 0;
    for (const char *s : statements)
        put("sqldialect", QStringLiteral("statement-%1").arg(++i), QByteArray(s));
}

static void httpSeeds()
{
    // First byte: the size of the pieces the answer arrives in.
    const char *answers[][2] = {
        {"ok", "\x07HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n"
               "[Kitwarden]\r\nBuild=2.0.1.0\r\nFile=http://www.quillfen.example/alse/Kitwarden201exe.exe\r\n"},
        {"redirect", "\x03HTTP/1.1 302 Found\r\nLocation: /files/new/updates.ini\r\nSet-Cookie: id=42; path=/\r\n\r\n"},
        {"lf-only", "\x20HTTP/1.0 200 OK\nServer: x\n\n; comment\n[kitwarden]\nbuild = \"3.1\"\n"},
        {"no-blank-line", "\x01HTTP/1.0 404 Not Found\r\nServer: y"},
        {"not-found-relative", "\x05HTTP/1.0 301 Moved\r\nLocation: other.ini\r\n\r\n"},
    };
    for (const auto &a : answers)
        put("http", QString::fromLatin1(a[0]), QByteArray(a[1]));
}

static void settingsSeeds(const QString &tmp)
{
    const QString cfg = tmp + "/cfg";
    QDir().mkpath(cfg);
    qputenv("KITWARDEN_CONFIG_DIR", cfg.toLocal8Bit());
    {
        auto reg = settings::openRegistry(settings::TRegRoots::CURRENT_USER);
        reg->openKey(QStringLiteral("\\Software\\Quillfen\\Kitwarden\\Main"), true);
        reg->writeString(QStringLiteral("Top"), QStringLiteral("120"));
        reg->writeString(QStringLiteral("AutoUpdate"), QStringLiteral("True"));
        reg->writeString(QStringLiteral("Scale"), QStringLiteral("1.25"));
        reg->writeString(QStringLiteral("WindowState"), QStringLiteral("wsMaximized"));
        reg->writeString(QStringLiteral("Anchors"), QStringLiteral("[wsNormal,wsMinimized]"));
        reg->writeInteger(QStringLiteral("Left"), 40);
        reg->closeKey();
        reg->openKey(QStringLiteral("\\Software\\Quillfen\\Kitwarden\\Setup"), true);
        reg->writeString(QStringLiteral("UpdateServer"), QStringLiteral("localhost:8080"));
    }
    put("settings", "written", slurp(settings::registryFilePath()));
}

// A small ELF64 file whose only content is the version section.
static QByteArray elfWith(const std::vector<uint8_t> &block)
{
    const QByteArray names("\0.shstrtab\0.kwversion\0", 22);
    QByteArray f(64, '\0');
    const int namesAt = 64, blockAt = namesAt + names.size();
    f += names;
    f += QByteArray(reinterpret_cast<const char *>(block.data()), qsizetype(block.size()));
    while (f.size() % 8)
        f += '\0';
    const int shoff = f.size();
    auto section = [](quint32 name, quint32 type, quint64 offset, quint64 size) {
        QByteArray h(64, '\0');
        qToLittleEndian<quint32>(name, h.data());
        qToLittleEndian<quint32>(type, h.data() + 4);
        qToLittleEndian<quint64>(offset, h.data() + 0x18);
        qToLittleEndian<quint64>(size, h.data() + 0x20);
        return h;
    };
    f += section(0, 0, 0, 0);
    f += section(1, 3, namesAt, quint64(names.size()));
    f += section(11, 1, blockAt, block.size());
    memcpy(f.data(), "\x7F" "ELF\x02\x01\x01", 7);
    qToLittleEndian<quint16>(2, f.data() + 0x10);     // executable
    qToLittleEndian<quint16>(62, f.data() + 0x12);    // x86-64
    qToLittleEndian<quint32>(1, f.data() + 0x14);
    qToLittleEndian<quint64>(quint64(shoff), f.data() + 0x28);
    qToLittleEndian<quint16>(64, f.data() + 0x34);
    qToLittleEndian<quint16>(64, f.data() + 0x3A);
    qToLittleEndian<quint16>(3, f.data() + 0x3C);
    qToLittleEndian<quint16>(1, f.data() + 0x3E);
    return f;
}

static void verinfoSeeds()
{
    update::VersionBlockSpec spec;
    const uint16_t v[4] = {2, 0, 0, 0};
    std::copy(v, v + 4, spec.fileVersion);
    std::copy(v, v + 4, spec.productVersion);
    spec.strings = {{u"CompanyName", u"Quillfen"}, {u"FileVersion", u"2.0.0.0"},
                    {u"ProductName", u"Kitwarden"}, {u"Comments", u""}};
    const auto block = update::buildVersionBlock(spec);
    put("verinfo", "block", QByteArray(reinterpret_cast<const char *>(block.data()), qsizetype(block.size())));
    put("verinfo", "program", elfWith(block));
    update::VersionBlockSpec bare;
    bare.withTranslation = false;
    bare.withFixedInfo = false;
    put("verinfo", "program-bare", elfWith(update::buildVersionBlock(bare)));
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: kw_fuzz_seeds FIXTURES_DIR OUT_DIR\n");
        return 2;
    }
    const QString fixtures = QString::fromLocal8Bit(argv[1]);
    outDir = QString::fromLocal8Bit(argv[2]);
    QTemporaryDir tmp;
    paradoxSeeds(fixtures, tmp.path());
    dbaseSeeds(fixtures, tmp.path());
    archiveSeeds(tmp.path());
    sqlSeeds();
    httpSeeds();
    settingsSeeds(tmp.path());
    verinfoSeeds();
    return 0;
}
