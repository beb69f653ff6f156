#include "page_request.h"

#include <algorithm>

#include "plan_cli.h"
#include "plan_show.h"
#include "scan_report.h"

namespace zelmar::web {
namespace {

std::optional<plan::Khz> ReadKhz(std::string_view text) {
  const plan::NumberReading reading = plan::ReadMHz(text, true);
  if (reading.error != plan::NumberError::kNone) return std::nullopt;
  return reading.khz;
}

// "F@NAME": a carrier of the group named NAME (the first of that name).
std::optional<plan::Carrier> ReadCarrier(
    std::string_view text, const std::vector<plan::GroupOptions>& groups) {
  const std::size_t at = text.find('@');
  if (at == std::string_view::npos) return std::nullopt;
  const auto khz = ReadKhz(text.substr(0, at));
  const std::string_view name = text.substr(at + 1);
  const auto group =
      std::find_if(groups.begin(), groups.end(),
                   [&](const plan::GroupOptions& g) { return g.name == name; });
  if (!khz || group == groups.end()) return std::nullopt;
  return plan::Carrier{*khz, static_cast<int>(group - groups.begin())};
}

std::optional<plan::Range> ReadRange(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const auto low = ReadKhz(text.substr(0, colon));
  const auto high = ReadKhz(text.substr(colon + 1));
  if (!low || !high || *low > *high) return std::nullopt;
  return plan::Range{*low, *high};
}

// The pairs after "--"; the error, if one does not read.
std::string ReadPairs(std::span<const std::string_view> pairs,
                      PageRequest& request) {
  if (pairs.size() % 2 != 0) return "the page's pairs are not pairs";
  const std::vector<plan::GroupOptions>& groups = request.options.groups;
  std::vector<plan::Range> scan_excludes;
  for (std::size_t i = 0; i < pairs.size(); i += 2) {
    const std::string_view key = pairs[i], value = pairs[i + 1];
    if (key == "carrier" || key == "spare") {
      const auto carrier = ReadCarrier(value, groups);
      if (!carrier) return "not a carrier: " + std::string(value);
      (key == "carrier" ? request.plan : request.spares).push_back(*carrier);
    } else if (key == "proven") {
      request.proven = value == "1";
    } else if (key == "scan-exclude") {
      const auto range = ReadRange(value);
      if (!range) return "not a range: " + std::string(value);
      scan_excludes.push_back(*range);
    } else {
      return "unknown pair " + std::string(key);
    }
  }
  if (request.options.scans.empty() && !scan_excludes.empty()) {
    request.options.scan_excludes = std::move(scan_excludes);
  }
  request.plan = plan::Ascending(request.plan);
  return "";
}

// The show and the scans the options name, from the page's files.
std::string ApplyFiles(PageRequest& request, PageFiles& files) {
  plan_cli::PlanOptions& options = request.options;
  if (!options.show.empty()) {
    const std::string* text = files.Text(options.show);
    if (text == nullptr) {
      return plan_cli::QuoteFile(options.show) + ": not read";
    }
    std::vector<plan::Carrier> saved;
    if (auto error = plan_cli::LoadShow(*text, options, saved)) return *error;
    if (request.plan.empty()) request.plan = saved;
  }
  if (options.scans.empty()) return "";
  std::vector<plan::Scan> scans;
  for (const std::string& name : options.scans) {
    if (files.Text(name) == nullptr) {
      return plan_cli::QuoteFile(name) + ": not read";
    }
    const plan::ScanReading& reading = files.Scan(name, options.scan_unit);
    if (reading.error != plan::ScanError::kNone) {
      return plan_cli::ScanErrorMessage(name, reading);
    }
    scans.push_back(reading.scan);
  }
  if (auto error = plan_cli::TakeScans(options, scans)) return *error;
  request.taken = options.scan_taken;
  request.trace =
      scans.size() == 1 ? std::move(scans[0]) : plan::MergeScans(scans);
  return "";
}

}  // namespace

void PageFiles::Put(std::string name, std::string bytes) {
  scans_.erase(name);
  texts_[std::move(name)] = std::move(bytes);
}

void PageFiles::Clear() {
  texts_.clear();
  scans_.clear();
}

const std::string* PageFiles::Text(const std::string& name) const {
  const auto it = texts_.find(name);
  return it == texts_.end() ? nullptr : &it->second;
}

const plan::ScanReading& PageFiles::Scan(const std::string& name,
                                         std::optional<plan::ScanUnit> unit) {
  auto it = scans_.find(name);
  if (it != scans_.end() && it->second.unit != unit) {
    scans_.erase(it);
    it = scans_.end();
  }
  if (it == scans_.end()) {
    const std::string* text = Text(name);
    it = scans_
             .emplace(name,
                      Reading{unit, plan::ReadScan(text ? *text : "", unit)})
             .first;
  }
  return it->second.reading;
}

namespace {

// The options and the pairs after them; nothing read from the files yet.
PageRequest ReadArguments(std::span<const std::string_view> args) {
  PageRequest request;
  const auto dashes = std::find(args.begin(), args.end(), "--");
  const std::vector<std::string_view> options(args.begin(), dashes);
  plan_cli::ParsedPlanArguments parsed = plan_cli::ParsePlanArguments(options);
  if (!parsed.error.empty()) {
    request.error = parsed.error;
    return request;
  }
  request.options = std::move(parsed.options);
  const std::span<const std::string_view> pairs(
      dashes == args.end() ? args.end() : dashes + 1, args.end());
  if (std::string error = ReadPairs(pairs, request); !error.empty()) {
    request.error = plan_cli::PlanMessage(error);
  }
  return request;
}

}  // namespace

PageRequest MakePageRequest(std::span<const std::string_view> args,
                            PageFiles& files) {
  PageRequest request = ReadArguments(args);
  if (!request.error.empty()) return request;
  if (std::string error = ApplyFiles(request, files); !error.empty()) {
    request.error = plan_cli::PlanMessage(error);
  }
  return request;
}

PageSearch MakePageSearch(std::span<const std::string_view> args,
                          const PageFiles& files) {
  PageRequest request = ReadArguments(args);
  PageSearch search{std::move(request.options), {}, std::move(request.error)};
  if (!search.error.empty()) return search;
  const auto read = [&](const std::string& name) -> const std::string* {
    const std::string* text = files.Text(name);
    if (text == nullptr && search.error.empty()) {
      search.error =
          plan_cli::PlanMessage(plan_cli::QuoteFile(name) + ": not read");
    }
    return text;
  };
  if (!search.options.show.empty()) {
    if (const std::string* text = read(search.options.show)) {
      search.inputs.show = *text;
    }
  }
  for (const std::string& name : search.options.scans) {
    if (const std::string* text = read(name))
      search.inputs.scans.push_back(*text);
  }
  return search;
}

}  // namespace zelmar::web
