// Fuzzes the show file reader with any text, and checks what must hold:
//  - a refused text has one of the known errors, and a line within the
//    text;
//  - an accepted one, written and read again, is accepted and written the
//    same: writing what was read is a fixed point after one round;
//  - its sheet has the header and one line per carrier.
#include <algorithm>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "zelmar/show/show_file.h"

const char* const fuzz::kTargetName = "show_fuzz";

namespace {

using namespace zelmar::plan;
using fuzz::Require;

std::size_t LineCount(std::string_view text) {
  const auto ends =
      static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  return ends + (!text.empty() && text.back() != '\n' ? 1 : 0);
}

std::size_t CountOf(std::string_view text, std::string_view part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string_view::npos;
       at = text.find(part, at + part.size())) {
    ++count;
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const ShowReading first = ReadShow(input);
  if (first.error != ShowError::kNone) {
    Require(
        first.error > ShowError::kNone && first.error <= ShowError::kBadValue,
        "unknown error");
    Require(first.line >= 1 &&
                first.line <= std::max<std::size_t>(LineCount(input), 1),
            "line outside the text");
    return 0;
  }
  const std::string text = WriteShow(first.show);
  const ShowReading second = ReadShow(text);
  Require(second.error == ShowError::kNone, "written show refused");
  Require(WriteShow(second.show) == text, "written again differently");
  if (first.show.plan) {
    const std::string sheet = WriteSheetCsv(*first.show.plan);
    Require(sheet.starts_with("\xEF\xBB\xBFlabel,group,frequency,band,spare"),
            "sheet header");
    // Quoted fields may hold line ends of their own.
    Require(CountOf(sheet, "\r\n") >= first.show.plan->rows.size() + 1,
            "sheet lines");
  }
  return 0;
}
