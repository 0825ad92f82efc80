#pragma once
// Output of a laid-out report to files: PDF, plain text, comma-separated
// values, HTML and the report file of this program (.kwr), which holds the
// pages (not the data) and opens again in the preview.
#include "reports/document.h"

#include <QString>
#include <optional>
#include "core/error.h"

class QIODevice;

namespace kw::reports {

enum class ExportFormat { Pdf, Text, Csv, Html, ReportFile };

// By the file name's extension (.pdf .txt .csv .html/.htm .kwr, any case).
std::optional<ExportFormat> formatForPath(const QString &path);
QString formatExtension(ExportFormat f); // "pdf", "txt", ...

// Writes doc to path in format (by extension when not given); the file is
// replaced only when complete. A path that is, or leads through links to, a
// database file or a file that is not a regular one is refused
// (kw::core::refusedTarget). Throws kw::core::Error with a message for the
// user.
void exportDocument(const ReportDocument &doc, const QString &path,
                    std::optional<ExportFormat> format = std::nullopt);

// The pages as text: each printed line a line, columns placed by their
// position, pages separated by a form feed.
QString toPlainText(const ReportDocument &doc);
// Each printed line a record, its texts left to right, separated by ",".
QString toCsv(const ReportDocument &doc);
// One positioned block per page.
QString toHtml(const ReportDocument &doc);

// A report file that cannot be read: not one of ours, damaged, or too new.
class ReportFileError : public kw::core::Error {
public:
    using kw::core::Error::Error;
};

void saveReportFile(const ReportDocument &doc, QIODevice &out);
ReportDocument loadReportFile(QIODevice &in); // throws ReportFileError
ReportDocument loadReportFile(const QString &path);

} // namespace kw::reports
