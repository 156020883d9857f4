// Writing of a batch import's table, with nlohmann-json's exact number output for JSON Lines.
// SPDX-License-Identifier: MIT
#include "SummaryTable.h"

#include <fmt/format.h>

#include <cmath>  // std::round
#include <nlohmann/json.hpp>

#include "PrintableText.h"

namespace Vexlor::DxfTool {

namespace {

// A CSV field, quoted when a comma, a quote or a line break in it would otherwise end it.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

}  // namespace

void WriteSummaryTable(std::ostream& out, const std::vector<SummaryRow>& rows, bool jsonLines) {
    if (!jsonLines) out << "path,result,status,message,contours,closed,open,points,box,seconds\n";
    for (const SummaryRow& row : rows) {
        const std::size_t open = row.contours - row.closed;
        if (jsonLines) {
            // Ordered, so that the keys come in the columns' order.
            nlohmann::ordered_json box = nullptr;
            if (row.box) {
                box = {row.box->leftTop.x, row.box->leftTop.y, row.box->rightBottom.x,
                       row.box->rightBottom.y};
            }
            nlohmann::ordered_json result = nullptr;
            if (row.result) result = *row.result;
            const nlohmann::ordered_json line = {
                {"path", row.path},
                {"result", result},
                {"status", row.status},
                {"message", row.message},
                {"contours", row.contours},
                {"closed", row.closed},
                {"open", open},
                {"points", row.points},
                {"box", box},
                {"seconds", std::round(row.seconds * 1000.0) / 1000.0}};
            // Paths found in a folder need not be UTF-8; a row is still written, with U+FFFD.
            out << line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                << '\n';
            continue;
        }
        // Adding 0.0 shows a negated zero as 0, as the printed summary does; JSON Lines keep it.
        const std::string box =
            row.box ? fmt::format("{} {} {} {}", row.box->leftTop.x + 0.0, row.box->leftTop.y + 0.0,
                                  row.box->rightBottom.x + 0.0, row.box->rightBottom.y + 0.0)
                    : "";
        const std::string result = row.result ? std::to_string(*row.result) : "";
        // A message may quote a drawing, whose bytes a terminal showing the table must not see.
        out << CsvField(row.path) << ',' << result << ',' << row.status << ','
            << CsvField(Printable(row.message)) << ',' << row.contours << ',' << row.closed << ','
            << open << ',' << row.points << ',' << box << ',' << fmt::format("{:.3f}", row.seconds)
            << '\n';
    }
}

}  // namespace Vexlor::DxfTool
