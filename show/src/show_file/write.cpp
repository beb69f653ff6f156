// Writing a show file. The show is built as a document
// with its members in a fixed order, then printed two spaces a level with
// the small containers on one line (a band, a range, a carrier), so that a
// file is read and compared by eye.
#include <nlohmann/json.hpp>

#include "zelmar/show/show_file.h"

namespace zelmar::plan {
namespace {

using Json = nlohmann::ordered_json;

Json Frequency(Khz khz) { return FormatKhz(khz); }

Json RangesJson(const std::vector<Range>& ranges) {
  Json array = Json::array();
  for (const Range& range : ranges) {
    array.push_back({Frequency(range.low), Frequency(range.high)});
  }
  return array;
}

Json BandJson(const BandOption& option) {
  Json band = Json::object();
  switch (option.kind) {
    case BandOption::Kind::kBBand:
      band["b"] = true;
      break;
    case BandOption::Kind::kRange:
      band["low"] = Frequency(option.band.low);
      band["high"] = Frequency(option.band.high);
      band["step"] = Frequency(option.band.step);
      band["name"] = option.text;  // as the answers name the band
      break;
    case BandOption::Kind::kTv:
      band["tv"] = option.channels;
      band["step"] = Frequency(option.tv_step);
      break;
  }
  if (option.count) band["count"] = *option.count;
  return band;
}

// 2tx3 always, the other families where checked.
Json WindowsJson(const Rules& rules) {
  Json windows = Json::object();
  for (Family family : kFamilies) {
    if (const auto window = WindowOf(rules, family)) {
      windows[std::string(FamilyName(family))] = Frequency(*window);
    }
  }
  return windows;
}

Json GroupJson(const GroupOptions& group) {
  Json json = Json::object();
  json["name"] = group.name;
  json["label"] = group.label;
  json["bands"] = Json::array();
  for (const BandOption& band : group.bands) {
    json["bands"].push_back(BandJson(band));
  }
  json["fixed"] = Json::array();
  for (Khz f : group.fixed) json["fixed"].push_back(Frequency(f));
  if (group.max) {
    json["max"] = true;
  } else {
    json["count"] = group.count;
  }
  json["spacing"] = Frequency(group.rules.spacing);
  json["apart"] = Frequency(group.apart);
  json["windows"] = WindowsJson(group.rules);
  json["spares"] = group.spares;
  return json;
}

Json FiguresJson(const std::array<std::optional<Khz>, kFamilyCount>& figures) {
  Json json = Json::object();
  for (Family family : kFamilies) {
    if (const auto& figure = figures[static_cast<int>(family)]) {
      json[std::string(FamilyName(family))] = Frequency(*figure);
    }
  }
  return json;
}

Json PlanJson(const PlanSheet& sheet) {
  Json json = Json::object();
  json["proven"] = sheet.proven;
  json["margins"] = FiguresJson(sheet.margins);
  json["headroom"] = FiguresJson(sheet.headroom);
  json["carriers"] = Json::array();
  for (const PlanSheet::Row& row : sheet.rows) {
    json["carriers"].push_back({{"label", row.label},
                                {"group", row.group},
                                {"frequency", Frequency(row.khz)},
                                {"band", row.band},
                                {"fixed", row.fixed},
                                {"spare", row.spare}});
  }
  return json;
}

Json ShowJson(const ShowFile& show) {
  const RequestOptions& request = show.request;
  Json json = Json::object();
  json["format"] = kShowFormat;
  json["version"] = kShowVersion;
  json["tv_edge"] = Frequency(request.tv_edge);
  json["excludes"] = RangesJson(request.excludes);
  json["scan_excludes"] = RangesJson(request.scan_excludes);
  json["groups"] = Json::array();
  for (const GroupOptions& group : request.groups) {
    json["groups"].push_back(GroupJson(group));
  }
  if (show.plan) json["plan"] = PlanJson(*show.plan);
  return json;
}

// A string, number or flag as JSON: control characters escaped, other
// bytes as they are, and a byte that is not UTF-8 as U+FFFD (a text read
// from a show file always is).
void PrintScalar(const Json& value, std::string& out) {
  out += value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// On one line: an array of plain values, or an object of plain values and
// such arrays (a band's TV channels).
bool IsFlat(const Json& value) {
  for (const Json& member : value) {
    if (!member.is_structured()) continue;
    if (member.is_object() || value.is_array()) return false;
    for (const Json& element : member) {
      if (element.is_structured()) return false;
    }
  }
  return true;
}

void Print(const Json& value, std::size_t indent, std::string& out) {
  if (!value.is_structured()) return PrintScalar(value, out);
  const bool object = value.is_object();
  const bool flat = IsFlat(value);
  out += object ? '{' : '[';
  bool first = true;
  for (auto it = value.begin(); it != value.end(); ++it) {
    if (!first) out += ',';
    if (flat) {
      if (!first) out += ' ';
    } else {
      out += '\n';
      out.append(indent + 2, ' ');
    }
    first = false;
    if (object) {
      PrintScalar(it.key(), out);
      out += ": ";
    }
    Print(*it, indent + 2, out);
  }
  if (!flat) {
    out += '\n';
    out.append(indent, ' ');
  }
  out += object ? '}' : ']';
}

}  // namespace

std::string WriteShow(const ShowFile& show) {
  std::string out;
  Print(ShowJson(show), 0, out);
  out += '\n';
  return out;
}

}  // namespace zelmar::plan
