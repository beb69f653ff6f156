#include "plan_show.h"

#include "zelmar/show/show_file.h"

namespace zelmar::plan_cli {
namespace {

// The saved plan's carriers with their groups, found by name.
std::optional<std::string> SavedCarriers(const PlanOptions& options,
                                         const plan::PlanSheet& sheet,
                                         std::vector<plan::Carrier>& saved) {
  for (std::size_t i = 0; i < sheet.rows.size(); ++i) {
    const plan::PlanSheet::Row& row = sheet.rows[i];
    if (row.spare) continue;
    int group = -1;
    for (std::size_t g = 0; g < options.groups.size(); ++g) {
      if (options.groups[g].name == row.group) group = static_cast<int>(g);
    }
    if (group < 0) {
      return "plan.carriers[" + std::to_string(i) + "].group: no group " +
             QuoteArgument(row.group) + " in the request";
    }
    saved.push_back({row.khz, group});
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> LoadShow(const std::string& text,
                                    PlanOptions& options,
                                    std::vector<plan::Carrier>& saved) {
  const std::string file = QuoteFile(options.show);
  const plan::ShowReading reading = plan::ReadShow(text);
  if (reading.error != plan::ShowError::kNone) {
    std::string where = file;
    if (reading.line > 0) where += ", line " + std::to_string(reading.line);
    if (!reading.path.empty()) where += ", " + reading.path;
    return where + ": " + std::string(plan::DescribeShowError(reading.error));
  }
  const int threads = options.threads;
  static_cast<plan::RequestOptions&>(options) = reading.show.request;
  options.threads = threads;
  const plan::OptionsCheck check = plan::SettleOptions(options);
  if (check.error != plan::OptionsError::kNone) {
    return file + ": " + DescribeOptionsCheck(options, check);
  }
  if (!reading.show.plan) return std::nullopt;
  if (auto error = SavedCarriers(options, *reading.show.plan, saved)) {
    return file + ": " + *error;
  }
  return std::nullopt;
}

void AttachShow(const PlanOptions& options, const plan::SettledRequest& request,
                const PlanView* view, PlanReport& report) {
  if (options.save.empty() && options.csv.empty()) return;
  plan::ShowFile show;
  show.request = options;
  plan::PlanSheet sheet;
  if (view != nullptr) {
    sheet = plan::MakeSheet(request, view->plan, view->spares, view->proven);
    show.plan = sheet;
  }
  report.show_text = plan::WriteShow(show);
  report.csv_text = plan::WriteSheetCsv(sheet);
}

}  // namespace zelmar::plan_cli
