#include "data/shop/shopschema.h"

#include "core/filelock.h"
#include "core/findfile.h"
#include "data/engine/engineerror.h"
#include "data/engine/paradox/paradoxtable.h"
#include "data/engine/session.h"

#include <QDir>
#include <QSet>
#include <QFileInfo>

namespace kw::data::shop {

namespace {

struct F {
    const char *name;
    FieldType type;
    int size;
    const char *label;
    int width;
    bool required = false;
};

ShopTable make(const char *name, const char *file, std::initializer_list<F> fields, int keyCount,
               QVector<IndexDef> indexes, bool val = true)
{
    ShopTable t;
    t.name = QString::fromLatin1(name);
    t.fileName = QString::fromLatin1(file);
    for (const F &f : fields) {
        int size = f.size;
        if (f.type == FieldType::Short)
            size = 2;
        else if (f.type == FieldType::Date || f.type == FieldType::AutoInc)
            size = 4;
        else if (f.type == FieldType::Logical)
            size = 1;
        t.def.fields.push_back(FieldDef{QString::fromLatin1(f.name), f.type, size, f.required});
        t.display.push_back(FieldDisplay{QString::fromLatin1(f.label), f.width});
    }
    t.def.keyFieldCount = keyCount;
    t.def.indexes = std::move(indexes);
    t.def.hasValFile = val;
    return t;
}

IndexDef single(const TableDef &, int fieldNo, const char *field)
{
    return IndexDef{QString::fromLatin1(field), {QString::fromLatin1(field)}, false, false,
                    QStringLiteral("X%1").arg(fieldNo, 2, 16, QLatin1Char('0')).toUpper()};
}

IndexDef named(int n, const char *name, QStringList fields, bool ci = false)
{
    return IndexDef{QString::fromLatin1(name), std::move(fields), ci, false, QStringLiteral("XG%1").arg(n)};
}

constexpr auto A = FieldType::Alpha;
constexpr auto S = FieldType::Short;
constexpr auto D = FieldType::Date;
constexpr auto L = FieldType::Logical;
constexpr auto AI = FieldType::AutoInc;

QVector<ShopTable> build()
{
    QVector<ShopTable> all;
    TableDef none;

    all << make("Aircraft", "Aircraft.DB", {{"Aircraft", A, 10, "", 10}}, 1, {});
    all << make("Bin", "Bin.DB", {{"Bin", A, 10, "", 10}}, 1, {});
    all << make("Drawer", "Drawer.DB", {{"Drawer", A, 10, "", 10}}, 1, {});
    all << make("Equipment", "Equipment.DB",
                {{"Auto", AI, 4, "", 10},
                 {"HR Number", S, 2, "HR #", 5},
                 {"NSN", A, 16, "", 17},
                 {"Serial Number", A, 20, "", 14},
                 {"OH", S, 2, "", 3},
                 {"Insp Completed", D, 4, "Completed", 10},
                 {"Insp Due", D, 4, "Due", 10},
                 {"Remarks", A, 15, "", 15}},
                1,
                {single(none, 2, "HR Number"), single(none, 3, "NSN"),
                 named(0, "HRNUM", {"HR Number", "NSN"}),
                 named(1, "NSNSERIAL", {"NSN", "Serial Number"}),
                 named(2, "SERIAL", {"Serial Number"}, true)});
    all << make("Hrdf", "Hrdf.DB",
                {{"HR Number", S, 2, "HR #", 5, true},
                 {"HR Holder", A, 30, "", 30, true},
                 {"Section", A, 20, "", 20},
                 {"Phone", A, 10, "", 10}},
                1, {named(0, "HRNUM", {"HR Number"}), named(1, "Holder", {"HR Holder"}, true)});
    all << make("Kits", "Kits.DB",
                {{"Auto", AI, 4, "", 10},
                 {"Aircraft", A, 10, "", 7},
                 {"Kit Type", A, 10, "", 10},
                 {"Serial Number", A, 10, "", 11},
                 {"Flare Lot", A, 20, "", 13},
                 {"Food Exp", D, 4, "", 10},
                 {"Insp Type", A, 1, " ", 4},
                 {"Insp Freq", S, 2, "Insp", 3},
                 {"Insp Completed", D, 4, "Completed", 11},
                 {"Insp Due", D, 4, "Due", 11}},
                1,
                {single(none, 2, "Aircraft"), named(0, "AC", {"Aircraft"}),
                 named(1, "TYPE", {"Kit Type"}), named(2, "SERNO", {"Serial Number"}),
                 named(3, "FLARE", {"Flare Lot"}), named(4, "FOODX", {"Food Exp"}),
                 named(5, "INDD", {"Insp Due"})});
    all << make("KitType", "KitType.DB",
                {{"Type", A, 10, "Kit Type", 10}, {"Insp Type", A, 1, " ", 5}, {"Insp Freq", S, 2, "Insp", 4}},
                1, {}, false);
    all << make("Lists", "Lists.DB",
                {{"NSN", A, 16, "", 16},
                 {"LIN", A, 6, "", 7},
                 {"Part Number", A, 25, "", 25},
                 {"Nomenclature", A, 40, "", 40},
                 {"UI", A, 2, "", 3},
                 {"Auth", A, 3, "", 3},
                 {"Insp Type", A, 1, "Type ", 5},
                 {"Insp Freq", S, 2, "Insp", 3},
                 {"Alse", L, 1, "", 5},
                 {"Batt", L, 1, "", 5},
                 {"Pyro", L, 1, "", 5},
                 {"Med", L, 1, "", 5},
                 {"Radio", L, 1, "", 5},
                 {"Flotation", L, 1, "", 5},
                 {"List 1", L, 1, "", 5},
                 {"List 2", L, 1, "", 5}},
                1, {named(0, "Nomenclature", {"Nomenclature"}, true)});
    all << make("Parts", "Parts.DB",
                {{"Auto", AI, 4, "", 10},
                 {"Drawer", A, 10, "", 6},
                 {"Bin", A, 10, "", 4},
                 {"NSN", A, 16, "", 17},
                 {"On Hand", S, 2, "OH", 4}},
                1,
                {single(none, 2, "Drawer"), single(none, 3, "Bin"), single(none, 4, "NSN"),
                 named(0, "DrawerBin", {"Drawer", "Bin"})});
    all << make("PartsList", "PartsList.DB",
                {{"NSN", A, 16, "", 16},
                 {"LIN", A, 6, "", 6},
                 {"Nomenclature", A, 40, "", 30},
                 {"Part Number", A, 30, "", 20},
                 {"UI", A, 2, "", 3},
                 {"Auth", S, 2, "", 4},
                 {"Reorder Point", S, 2, "", 10},
                 {"Operational Load", L, 1, "", 13},
                 {"Bench Stock", L, 1, "", 10},
                 {"PLL", L, 1, "", 3},
                 {"Class VIII", L, 1, "", 7},
                 {"Shop Stock", L, 1, "", 9}},
                1, {named(0, "Nomenclature", {"Nomenclature"}, true)});
    all << make("TechManuals", "TechManuals.DB",
                {{"Auto", AI, 4, "", 10},
                 {"Number", A, 25, "", 25},
                 {"Binder", A, 10, "", 5},
                 {"Book", A, 10, "", 5},
                 {"Change", S, 2, "", 6},
                 {"CH Date", D, 4, "", 11},
                 {"TM", A, 10, "", 4},
                 {"Title", A, 40, "", 40},
                 {"Date", D, 4, "", 10},
                 {"On Hand", S, 2, "", 10}},
                1, {named(0, "BinderBook", {"Binder", "Book"})});
    return all;
}

} // namespace

QStringList ShopTable::fileExtensions() const
{
    QStringList ext{QStringLiteral("DB"), QStringLiteral("PX")};
    if (def.hasValFile)
        ext << QStringLiteral("VAL");
    QStringList xs;
    for (const IndexDef &ix : def.indexes)
        xs << ix.fileExt;
    xs.sort();
    ext << xs;
    for (const QString &x : xs)
        ext << QLatin1Char('Y') + x.mid(1);
    return ext;
}

const QVector<ShopTable> &tables()
{
    static const QVector<ShopTable> all = build();
    return all;
}

const ShopTable *findTable(const QString &nameOrFile)
{
    QString base = nameOrFile;
    const int slash = base.lastIndexOf(QLatin1Char('/'));
    if (slash >= 0)
        base = base.mid(slash + 1);
    const int dot = base.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        base = base.left(dot);
    for (const ShopTable &t : tables())
        if (t.name.compare(base, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

namespace {
class ShopSchemaProvider final : public SchemaProvider {
public:
    const TableDef *tableDef(const QString &nameOrFile) const override
    {
        const ShopTable *t = findTable(nameOrFile);
        return t ? &t->def : nullptr;
    }
};
} // namespace

const SchemaProvider &schemaProvider()
{
    static const ShopSchemaProvider provider;
    return provider;
}

void prepareSession(Session &session)
{
    session.addPassword(kTablePassword);
    session.setSchemaProvider(&schemaProvider());
}

QStringList databaseFiles()
{
    QStringList files;
    for (const ShopTable &t : tables())
        for (const QString &ext : t.fileExtensions())
            files << t.name + QLatin1Char('.') + ext;
    return files;
}

QStringList tableFamilyFiles()
{
    QStringList files = databaseFiles();
    for (const QString &journal : journalFiles())
        files << journal;
    return files;
}

QHash<QString, QString> journalFiles()
{
    QHash<QString, QString> journals;
    for (const ShopTable &t : tables()) {
        const QString db = t.name + QStringLiteral(".DB");
        journals.insert(db, ParadoxTable::journalFileName(db));
    }
    return journals;
}

QStringList tablesOpenForWriting(const QString &dir, const QStringList &tables)
{
    QStringList names = tables;
    if (names.isEmpty())
        for (const ShopTable &t : shop::tables())
            names << t.name;
    QStringList busy;
    for (const QString &name : std::as_const(names)) {
        QFile f(kw::core::findExistingFileNoCase(dir, name + QStringLiteral(".DB")));
        // A writer holds its table file locked (see the engine's open).
        if (f.exists() && f.open(QIODevice::ReadWrite) && !kw::core::tryLockFile(f, kw::core::LockMode::Exclusive))
            busy << QFileInfo(f.fileName()).fileName();
    }
    return busy;
}

QVector<TableOpenProblem> settleTables(const QString &dir)
{
    QVector<TableOpenProblem> problems;
    for (const ShopTable &t : tables()) {
        const QString path = kw::core::findExistingFileNoCase(dir, t.name + QStringLiteral(".DB"));
        if (path.isEmpty())
            continue;
        QStringList own;
        for (const QString &ext : t.fileExtensions())
            own << t.name + QLatin1Char('.') + ext;
        try {
            auto table = ParadoxTable::open(path, {kTablePassword}, false);
            const bool settled = table->fileHoldsRows();
            try {
                table->close();
            } catch (const DerivedFilesError &) {
                // The rows are in the file; its indexes are rebuilt when opened.
            }
            if (!settled)
                problems.append({own, QStringLiteral("The table's last change is still in its journal, and the "
                                                     "table cannot be written to take it.\nFile: %1")
                                          .arg(QDir::toNativeSeparators(path))});
        } catch (const TableBusy &e) {
            problems.append({own, e.message(), true});
        } catch (const EngineError &e) {
            problems.append({own, e.message()});
        }
    }
    return problems;
}

QVector<TableOpenProblem> tablesThatDoNotOpen(const QString &dir, const QStringList &files)
{
    QSet<QString> wanted;
    for (const QString &f : files)
        wanted.insert(f.toLower());
    QVector<TableOpenProblem> problems;
    for (const ShopTable &t : tables()) {
        QStringList own;
        bool touched = false;
        for (const QString &ext : t.fileExtensions()) {
            own << t.name + QLatin1Char('.') + ext;
            touched = touched || wanted.contains(own.last().toLower());
        }
        if (!touched)
            continue;
        try {
            ParadoxTable::open(QDir(dir).filePath(t.fileName), {kTablePassword}, true);
        } catch (const EngineError &e) {
            problems.append({own, e.message()});
        }
    }
    return problems;
}

bool hasNoTables(const QString &dir)
{
    for (const ShopTable &t : tables())
        if (QFileInfo::exists(kw::core::findFileNoCase(dir, t.fileName)))
            return false;
    return true;
}

QStringList createMissingTables(const QString &dir)
{
    QDir().mkpath(dir);
    QStringList created;
    for (const ShopTable &t : tables()) {
        if (QFileInfo::exists(kw::core::findFileNoCase(dir, t.fileName)))
            continue;
        ParadoxTable::create(QDir(dir).filePath(t.fileName), t.def, kTablePassword);
        created << t.name;
    }
    return created;
}

} // namespace kw::data::shop
