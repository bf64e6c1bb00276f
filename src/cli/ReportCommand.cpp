#include "ReportCommand.h"

#include <QFile>

#include "log/BrelLogParser.h"
#include "model/SiteTree.h"
#include "platform/Exception.h"
#include "reports/ConnReport.h"
#include "reports/ReportWriter.h"

namespace kelvane {

namespace {

// Writes bytes fully; false when the stream refuses them.
bool WriteAll(std::FILE* out, const std::string& bytes) {
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

std::string TreeText(const TAlSiteList& sites, const Locale& locale) {
    std::string text;
    for (const TreeRow& row : BuildTreeRows(sites, locale)) {
        text += row.level == 0 ? "0" : "1";
        for (const std::string& cell : row.texts) {
            text += '\t';
            text += cell;
        }
        text += '\t';
        if (row.grey) text += "grey";
        text += '\n';
    }
    return text;
}

}  // namespace

int RunReport(const ReportRequest& request, std::FILE* out, std::FILE* err) {
    auto prompt = [&](const std::string& caption, const std::string& text) {
        // Written as bytes: a faulty line may hold any byte, NUL included.
        const std::string both = caption + "\n" + text + "\n";
        std::fwrite(both.data(), 1, both.size(), err);
        return !request.stopOnError;
    };

    TAlSiteList sites;
    try {
        for (const QString& log : request.logs) {
            const std::string path = log == QStringLiteral("-") ? std::string("/dev/stdin") : log.toStdString();
            TBrelLogParser parser(request.locale, prompt);
            try {
                parser.ParseFile(path, sites);
            } catch (const FileOpenError&) {
                // Name the file as the user gave it.
                throw FileOpenError("Error opening file: " + log.toStdString());
            }
        }
    } catch (const Exception& e) {
        std::fprintf(err, "%s\n", e.what());
        return 1;
    }

    sites.SetFilter(request.start, request.end + 1, request.days);

    std::string text;
    switch (request.kind) {
        case ReportRequest::Kind::Tree:
            text = TreeText(sites, request.locale);
            break;
        case ReportRequest::Kind::Site: {
            SiteReport report(sites, request.reportOptions, request.locale, request.today);
            text = ReportFileBytes(report.Build());
            break;
        }
        case ReportRequest::Kind::Conn: {
            ConnReport report(sites, request.reportOptions, request.locale, request.today);
            text = ReportFileBytes(report.Build());
            break;
        }
    }

    if (!request.output.isEmpty()) {
        // The file name in the file system's own bytes, which is also how the error names it.
        const std::string fileName = QFile::encodeName(request.output).toStdString();
        try {
            ReportWriter().Save(fileName, text);
        } catch (const Exception& e) {
            std::fprintf(err, "%s\n", e.what());
            return 1;
        }
        return 0;
    }
    if (!WriteAll(out, text) || std::fflush(out) != 0) {
        std::fprintf(err, "Stream write error\n");
        return 1;
    }
    return 0;
}

}  // namespace kelvane
