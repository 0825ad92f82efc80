#pragma once
// The rules for the value of one field, in one place: what a value converts
// to, the range an integer field holds, text cut to the field's width, the
// required check and the reading of typed text. Datasets, grids, local SQL
// and the table encoder all ask here, so a value is refused by all of them
// or by none, with the same message.
#include "data/engine/tabledef.h"

#include <QString>
#include <QVariant>
#include <optional>

namespace kw::data {

// What a value is checked against; label is the name messages show.
struct FieldSpec {
    QString label;
    FieldType type = FieldType::Alpha;
    int size = 0;
    bool required = false;

    static FieldSpec of(const FieldDef &f) { return {f.name, f.type, f.size, f.required}; }
};

namespace fieldvalue {

struct IntRange {
    qint64 lo = 0, hi = 0;
};
// The values an integer field holds. The lowest value of each stored width
// is the format's blank marker, so it is not a value (-32768 for a short,
// -2147483648 for a long). Empty for other types.
std::optional<IntRange> integerRange(FieldType type);

// The value as the field keeps it: the field's type, integers in range,
// text cut to the width; blank text is null. Text is read as parseText
// reads it. Throws EngineError with the engine's message.
QVariant convert(const FieldSpec &f, const QVariant &value);

// Typed text (a grid cell, a command line): blank is null; numbers with
// blanks around them; dates as month/day/year (two-digit years are
// 1950-2049), year-month-day or "5 Jan 2002"; logicals by their first
// letter (True/Yes/1, False/No/0). Throws EngineError naming the text.
QVariant parseText(const FieldSpec &f, const QString &text);

// Throws the range error when value is an integer outside the field's
// range (any other value passes).
void checkRange(const FieldSpec &f, const QVariant &value);

// Throws "Field '%s' must have a value" when the field is required and
// value is null.
void checkRequired(const FieldSpec &f, const QVariant &value);

// A stored value as grids and reports show it: dates in the short date
// format (month/day/year), logicals as True/False, null as empty text.
QString displayText(const QVariant &value);

} // namespace fieldvalue

// fieldvalue::convert for a field given by its type and width; label names
// it in messages. For writers that fill rows without a dataset.
QVariant convertFieldValue(FieldType type, int size, const QString &label, const QVariant &v);

} // namespace kw::data
