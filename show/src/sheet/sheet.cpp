// A plan as the crew's sheet and the show file keep it.
#include "zelmar/show/sheet.h"

namespace zelmar::plan {
namespace {

PlanSheet::Row RowOf(const SettledRequest& request, const Carrier& c,
                     std::string label) {
  PlanSheet::Row row;
  row.label = std::move(label);
  row.group = request.options().groups[c.group].name;
  row.khz = c.khz;
  row.band = request.BandNameOf(c);
  row.fixed = row.band == "fixed";
  return row;
}

}  // namespace

PlanSheet MakeSheet(const SettledRequest& request,
                    std::span<const Carrier> plan,
                    std::span<const Carrier> spares, bool proven) {
  PlanSheet sheet;
  const std::vector<std::string> labels = request.LabelsOf(plan);
  for (std::size_t i = 0; i < plan.size(); ++i) {
    sheet.rows.push_back(RowOf(request, plan[i], labels[i]));
  }
  const std::vector<std::string> spare_labels = request.SpareLabelsOf(spares);
  for (std::size_t i = 0; i < spares.size(); ++i) {
    sheet.rows.push_back(RowOf(request, spares[i], spare_labels[i]));
    sheet.rows.back().spare = true;
  }
  std::vector<Khz> khz;
  for (const Carrier& c : plan) khz.push_back(c.khz);
  const PlanFigures figures = MeasurePlan(khz);
  const GroupFigures judged = MeasureGroups(plan, request.rules());
  for (Family f : kFamilies) {
    if (!request.Checks(f)) continue;
    const int k = static_cast<int>(f);
    sheet.margins[k] = figures.margins[k];
    sheet.headroom[k] = judged.headroom[k];
  }
  sheet.proven = proven;
  return sheet;
}

}  // namespace zelmar::plan
