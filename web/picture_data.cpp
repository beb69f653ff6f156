#include "picture_data.h"

#include <algorithm>
#include <cstdint>

#include "json_writer.h"
#include "plan_words.h"
#include "scan_report.h"
#include "zelmar/product_map.h"
#include "zelmar/show/request.h"

namespace zelmar::web {
namespace {

using plan::FormatKhz;
using plan::Khz;
using plan::Range;

// Stretches further apart than this (and than their own widths together)
// are panels of their own; more than kMaxPanels are joined where closest.
constexpr Khz kPanelGap = 2'000;
constexpr std::size_t kMaxPanels = 4;

// The ranges to draw side by side: every band and carrier, joined where
// they lie close, each with some air around it.
std::vector<Range> Panels(std::vector<Range> spans) {
  std::sort(spans.begin(), spans.end(),
            [](const Range& a, const Range& b) { return a.low < b.low; });
  std::vector<Range> panels;
  for (const Range& s : spans) {
    if (!panels.empty()) {
      Range& last = panels.back();
      const Khz gap = s.low - last.high;
      if (gap <=
          std::max(kPanelGap, (last.high - last.low) + (s.high - s.low))) {
        last.high = std::max(last.high, s.high);
        continue;
      }
    }
    panels.push_back(s);
  }
  while (panels.size() > kMaxPanels) {
    std::size_t join = 0;
    for (std::size_t i = 1; i + 1 < panels.size(); ++i) {
      if (panels[i + 1].low - panels[i].high <
          panels[join + 1].low - panels[join].high) {
        join = i;
      }
    }
    panels[join].high = panels[join + 1].high;
    panels.erase(panels.begin() + static_cast<std::ptrdiff_t>(join) + 1);
  }
  for (Range& p : panels) {
    const Khz pad = std::max<Khz>(250, (p.high - p.low) * 3 / 100);
    p.low = std::max<Khz>(0, p.low - pad);
    p.high += pad;
  }
  return panels;
}

bool Meets(const Range& r, const std::vector<Range>& panels) {
  return std::any_of(panels.begin(), panels.end(), [&](const Range& p) {
    return r.low <= p.high && r.high >= p.low;
  });
}

// A frequency as a JSON number: the MHz text is one already.
void Mhz(cli::JsonWriter& json, Khz khz) { json.Raw(FormatKhz(khz)); }

void WriteRange(cli::JsonWriter& json, const Range& r) {
  json.Key("low");
  Mhz(json, r.low);
  json.Key("high");
  Mhz(json, r.high);
}

// "B", "TV ch 21" (one per channel) or the range as given.
std::string BandName(const plan::GroupOptions& group,
                     const plan::ResolvedBand& r) {
  if (group.bands.empty()) return "B";
  const plan::BandOption& b = group.bands[r.option];
  if (b.kind == plan::BandOption::Kind::kBBand) return "B";
  if (b.kind == plan::BandOption::Kind::kRange) return b.text;
  return "TV ch " + std::to_string(plan::TvChannelOf(r.band.low));
}

struct Drawn {
  std::vector<Range> bands;  // of every group, for the panels
  std::vector<Range> panels;
};

void WriteBands(const plan::SettledRequest& settled, cli::JsonWriter& json,
                Drawn& drawn) {
  const plan::RequestOptions& options = settled.options();
  json.Key("bands").BeginArray();
  for (std::size_t g = 0; g < options.groups.size(); ++g) {
    const plan::GroupOptions& group = options.groups[g];
    for (const plan::ResolvedBand& r : settled.bands(g)) {
      const Range range{r.band.low, r.band.high};
      drawn.bands.push_back(range);
      json.BeginObject();
      WriteRange(json, range);
      json.Key("name").String(BandName(group, r));
      json.Key("group").Number(static_cast<std::int64_t>(g)).EndObject();
    }
    for (Khz f : group.fixed) drawn.bands.push_back({f, f});
  }
  json.EndArray();
}

// "threshold" (the one given, or null) and "scans": each scan's name, span,
// floor (null where not told) and threshold, for the lines on the trace.
void WriteScanParts(const PageRequest& request, cli::JsonWriter& json) {
  const plan_cli::PlanOptions& options = request.options;
  json.Key("threshold");
  if (options.scan_threshold) {
    json.Raw(plan_cli::FormatDbm(*options.scan_threshold));
  } else {
    json.Null();
  }
  json.Key("scans").BeginArray();
  for (std::size_t i = 0; request.taken && i < request.taken->scans.size();
       ++i) {
    const plan::ScanTaken& part = request.taken->scans[i];
    json.BeginObject().Key("name").String(options.scans[i]);
    json.Key("low");
    Mhz(json, part.low);
    json.Key("high");
    Mhz(json, part.high);
    json.Key("floor");
    if (part.floor.status == plan::NoiseFloor::Status::kFound) {
      json.Raw(plan_cli::FormatDbm(part.floor.dbm));
    } else {
      json.Null();
    }
    json.Key("threshold").Raw(plan_cli::FormatDbm(part.threshold_dbm));
    json.EndObject();
  }
  json.EndArray();
}

void WriteAir(const PageRequest& request, cli::JsonWriter& json,
              const Drawn& drawn) {
  json.Key("tv").BeginArray();
  for (int ch = plan::kFirstTvChannel; ch <= plan::kLastTvChannel; ++ch) {
    const Range r = plan::TvChannelRange(ch);
    if (!Meets(r, drawn.panels)) continue;
    json.BeginObject().Key("channel").Number(ch);
    WriteRange(json, r);
    json.EndObject();
  }
  json.EndArray().Key("excludes").BeginArray();
  for (bool scan : {false, true}) {
    for (const Range& r :
         scan ? request.options.scan_excludes : request.options.excludes) {
      json.BeginObject();
      WriteRange(json, r);
      json.Key("scan").Bool(scan).EndObject();
    }
  }
  json.EndArray().Key("scan");
  if (!request.trace) {
    json.Null();
    return;
  }
  json.BeginObject();
  WriteScanParts(request, json);
  // The points themselves go beside the JSON, as numbers (see ScanTrace).
  json.Key("points").Number(
      static_cast<std::int64_t>(request.trace->bins.size()));
  json.EndObject();
}

void WriteCarriers(const PageRequest& request,
                   const plan::SettledRequest& settled,
                   const plan::ProductMap& map, cli::JsonWriter& json) {
  const plan_cli::PlanOptions& options = request.options;
  const std::vector<plan::GroupRules>& rules = settled.rules();
  const std::vector<std::string> labels = settled.LabelsOf(request.plan);
  const std::vector<std::string> spare_labels =
      settled.SpareLabelsOf(request.spares);
  json.Key("carriers").BeginArray();
  const std::size_t n = request.plan.size();
  for (std::size_t i = 0; i < n + request.spares.size(); ++i) {
    const bool spare = i >= n;
    const plan::Carrier& c = spare ? request.spares[i - n] : request.plan[i];
    const plan::GroupOptions& group = options.groups[c.group];
    json.BeginObject().Key("frequency");
    Mhz(json, c.khz);
    json.Key("text").String(FormatKhz(c.khz));
    json.Key("label").String(spare ? spare_labels[i - n] : labels[i]);
    json.Key("group").Number(c.group);
    json.Key("band").String(settled.BandNameOf(c));
    json.Key("fixed").Bool(!spare && std::count(group.fixed.begin(),
                                                group.fixed.end(), c.khz) > 0);
    json.Key("spare").Bool(spare).Key("in_signal");
    if (const auto in = plan_cli::SignalNear(options, c.khz)) {
      json.BeginObject();
      plan_cli::WriteInSignal(options, *in, json);
      json.Key("text").String(plan_cli::DescribeInSignal(options, *in));
      json.EndObject();
    } else {
      json.Null();
    }
    json.Key("windows").BeginObject();
    for (plan::Family f : plan::kFamilies) {
      const auto w = plan::WindowOf(rules[c.group].rules, f);
      if (!w) continue;
      json.Key(plan::FamilyName(f)).BeginArray();
      Mhz(json, c.khz - *w);
      Mhz(json, c.khz + *w);
      json.EndArray();
    }
    json.EndObject().Key("closest").BeginObject();
    for (plan::Family f : plan::kFamilies) {
      if (!plan::FamilyChecked(rules, f)) continue;
      json.Key(plan::FamilyName(f));
      const int k = spare ? -1 : map.closest[i][static_cast<int>(f)];
      if (k < 0) {
        json.Null();
      } else {
        json.Number(k);
      }
    }
    json.EndObject().EndObject();
  }
  json.EndArray();
}

void WriteProducts(const PageRequest& request, const plan::ProductMap& map,
                   cli::JsonWriter& json) {
  json.Key("products").BeginArray();
  for (const plan::ProductNear& p : map.products) {
    plan::Product q;
    q.family = p.family;
    q.carrier_count = p.maker_count;
    for (int m = 0; m < p.maker_count; ++m) {
      q.carriers[m] = request.plan[p.makers[m]].khz;
    }
    std::sort(q.carriers.begin(), q.carriers.begin() + q.carrier_count);
    q.product = p.value;
    q.victim = request.plan[p.victim].khz;
    json.BeginObject().Key("family").String(plan::FamilyName(p.family));
    json.Key("value");
    Mhz(json, p.value);
    // "2*806.250 - 806.125", the words before " = ": the page words the
    // rest in its own language.
    const std::string words = plan_cli::DescribeProduct(q);
    json.Key("expression").String(words.substr(0, words.find(" = ")));
    json.Key("value_text").String(FormatKhz(p.value));
    json.Key("terms").BeginArray();
    for (int m = 0; m < p.maker_count; ++m) json.Number(p.makers[m]);
    json.EndArray().Key("victim").Number(p.victim);
    json.Key("distance").String(FormatKhz(p.distance));
    json.Key("broken").Bool(p.Broken()).EndObject();
  }
  json.EndArray();
}

// Pairs of the plan's carriers closer than their groups allow.
void WriteCrowded(const PageRequest& request,
                  const std::vector<plan::GroupRules>& rules,
                  cli::JsonWriter& json) {
  json.Key("crowded").BeginArray();
  const std::vector<plan::Carrier>& p = request.plan;
  for (std::size_t a = 0; a < p.size(); ++a) {
    for (std::size_t b = a + 1; b < p.size(); ++b) {
      if (p[b].khz - p[a].khz >
          plan::SpacingBetween(rules, p[a].group, p[b].group)) {
        continue;
      }
      json.BeginArray().Number(static_cast<std::int64_t>(a));
      json.Number(static_cast<std::int64_t>(b)).EndArray();
    }
  }
  json.EndArray();
}

}  // namespace

std::vector<double> ScanTrace(const PageRequest& request) {
  std::vector<double> trace;
  if (!request.trace) return trace;
  // Bins come by their low ends; widened or overlapping ones may put a
  // middle before the one of the bin before.
  std::vector<std::pair<Khz, double>> points;
  points.reserve(request.trace->bins.size());
  for (const plan::ScanBin& bin : request.trace->bins) {
    points.emplace_back(bin.low + (bin.high - bin.low) / 2, bin.dbm);
  }
  std::stable_sort(
      points.begin(), points.end(),
      [](const auto& a, const auto& b) { return a.first < b.first; });
  trace.reserve(2 * points.size());
  for (const auto& [khz, dbm] : points) {
    trace.push_back(static_cast<double>(khz) / 1000.0);
    trace.push_back(dbm);
  }
  return trace;
}

std::string ScanRangesJson(const PageRequest& request) {
  std::string out;
  cli::JsonWriter json(out);
  json.BeginObject();
  WriteScanParts(request, json);
  json.Key("excludes").BeginArray();
  for (const Range& r : request.options.scan_excludes) {
    json.BeginArray().String(FormatKhz(r.low)).String(FormatKhz(r.high));
    json.EndArray();
  }
  json.EndArray().Key("mhz").String(
      FormatKhz(request.taken ? request.taken->excluded_khz : 0));
  // The lowest and highest level, for the threshold slider's ends.
  json.Key("levels");
  if (request.trace && !request.trace->bins.empty()) {
    const auto [low, high] = std::minmax_element(
        request.trace->bins.begin(), request.trace->bins.end(),
        [](const plan::ScanBin& a, const plan::ScanBin& b) {
          return a.dbm < b.dbm;
        });
    json.BeginArray().Raw(plan_cli::FormatDbm(low->dbm));
    json.Raw(plan_cli::FormatDbm(high->dbm)).EndArray();
  } else {
    json.Null();
  }
  json.EndObject();
  return out;
}

std::string PictureJson(const PageRequest& request) {
  const plan_cli::PlanOptions& options = request.options;
  const plan::SettledRequest settled(options);
  const std::vector<plan::GroupRules>& rules = settled.rules();
  std::string out;
  cli::JsonWriter json(out);
  Drawn drawn;
  json.BeginObject();
  WriteBands(settled, json, drawn);
  for (const auto* list : {&request.plan, &request.spares}) {
    for (const plan::Carrier& c : *list) drawn.bands.push_back({c.khz, c.khz});
  }
  drawn.panels = Panels(drawn.bands);
  json.Key("panels").BeginArray();
  for (const Range& p : drawn.panels) {
    json.BeginObject();
    WriteRange(json, p);
    json.EndObject();
  }
  json.EndArray();
  WriteAir(request, json, drawn);
  json.Key("groups").BeginArray();
  for (const plan::GroupOptions& g : options.groups) {
    json.BeginObject().Key("name").String(g.name);
    json.Key("label").String(g.label).EndObject();
  }
  json.EndArray().Key("families").BeginArray();
  for (plan::Family f : plan::kFamilies) {
    if (settled.Checks(f)) json.String(plan::FamilyName(f));
  }
  json.EndArray();
  const plan::ProductMap map =
      plan::MapProducts(request.plan, rules, kPictureReachFloor);
  WriteCarriers(request, settled, map, json);
  WriteProducts(request, map, json);
  WriteCrowded(request, rules, json);
  json.EndObject();
  return out;
}

}  // namespace zelmar::web
