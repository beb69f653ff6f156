// The crew's sheet as CSV, for a spreadsheet or the printer.
#include <string_view>

#include "zelmar/show/sheet.h"

namespace zelmar::plan {
namespace {

// A CSV field as RFC 4180 quotes it: in quotes, its quotes doubled, when
// it holds a comma, a quote or a line end.
void AppendCsvField(std::string_view field, std::string& out) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
    out += field;
    return;
  }
  out += '"';
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

}  // namespace

std::string WriteSheetCsv(const PlanSheet& sheet) {
  // The mark makes spreadsheets read the names as UTF-8.
  std::string out =
      "\xEF\xBB\xBF"
      "label,group,frequency,band,spare\r\n";
  for (const PlanSheet::Row& row : sheet.rows) {
    AppendCsvField(row.label, out);
    out += ',';
    AppendCsvField(row.group, out);
    out += ',';
    out += FormatKhz(row.khz);
    out += ',';
    AppendCsvField(row.band, out);
    out += row.spare ? ",yes\r\n" : ",no\r\n";
  }
  return out;
}

}  // namespace zelmar::plan
