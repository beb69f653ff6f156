#include "plan_refusal.h"

#include <array>
#include <optional>
#include <vector>

#include "json_writer.h"
#include "plan_options.h"
#include "zelmar/groups.h"
#include "zelmar/show/request.h"

namespace zelmar::web {
namespace {

using plan::FormatKhz;
using plan::Khz;

std::string_view OptionsErrorName(plan::OptionsError error) {
  using E = plan::OptionsError;
  switch (error) {
    case E::kNone:
      return "none";
    case E::kTooManyGroups:
      return "tooManyGroups";
    case E::kSameName:
      return "sameName";
    case E::kTvChannelEmpty:
      return "tvChannelEmpty";
    case E::kCountsOnSomeBands:
      return "countsOnSomeBands";
    case E::kMaxWithCounts:
      return "maxWithCounts";
    case E::kNoCount:
      return "noCount";
    case E::kCountAndMax:
      return "countAndMax";
    case E::kTooManyFixed:
      return "tooManyFixed";
    case E::kCountBelowFixed:
      return "countBelowFixed";
    case E::kCountDiffers:
      return "countDiffers";
    case E::kTooManyCarriers:
      return "tooManyCarriers";
    case E::kTwoOpen:
      return "twoOpen";
  }
  return "refused";
}

std::string OptionsJson(const plan::RequestOptions& options,
                        const plan::OptionsCheck& check) {
  std::string out;
  cli::JsonWriter json(out);
  json.BeginObject().Key("what").String("options");
  json.Key("error").String(OptionsErrorName(check.error));
  json.Key("group").Number(static_cast<std::int64_t>(check.group));
  json.Key("band").Number(static_cast<std::int64_t>(check.band));
  json.Key("channel").Number(check.channel);
  json.Key("carriers").Number(check.carriers);
  const bool known = check.group < options.groups.size();
  json.Key("count").Number(known ? options.groups[check.group].count : 0);
  json.Key("fixed").Number(known ? static_cast<std::int64_t>(
                                       options.groups[check.group].fixed.size())
                                 : 0);
  json.EndObject();
  return out;
}

std::string BuildJson(const plan::BuiltRequest& built) {
  std::string out;
  cli::JsonWriter json(out);
  json.BeginObject();
  if (built.error == plan::BuildError::kTooManyCandidates) {
    json.Key("what").String("tooManyChannels").EndObject();
    return out;
  }
  json.Key("what").String("bandsShare");
  json.Key("group").Number(static_cast<std::int64_t>(built.group));
  json.Key("bands").BeginArray();
  json.Number(static_cast<std::int64_t>(built.first_sharer))
      .Number(static_cast<std::int64_t>(built.second_sharer))
      .EndArray();
  json.Key("channel").String(FormatKhz(built.shared_channel)).EndObject();
  return out;
}

// A counted band asked for more carriers than it has channels: no search
// can help, though one would only say so at its time limit.
std::optional<std::string> TooSmallJson(const plan::SettledRequest& settled) {
  const plan::RequestOptions& options = settled.options();
  for (std::size_t g = 0; g < options.groups.size(); ++g) {
    const plan::GroupOptions& group = options.groups[g];
    if (!group.Counted()) continue;
    for (std::size_t o = 0; o < group.bands.size(); ++o) {
      const std::size_t channels = settled.OptionChannels(g, o).size();
      const int count = *group.bands[o].count;
      if (static_cast<std::size_t>(count) <= channels) continue;
      std::string out;
      cli::JsonWriter json(out);
      json.BeginObject().Key("what").String("bandTooSmall");
      json.Key("group").Number(static_cast<std::int64_t>(g));
      json.Key("band").Number(static_cast<std::int64_t>(o));
      json.Key("count").Number(count);
      json.Key("channels").Number(static_cast<std::int64_t>(channels));
      json.EndObject();
      return out;
    }
  }
  return std::nullopt;
}

// "2 × 808.000 − 806.125": how the product is made of its carriers.
std::string Expression(const plan::Product& q) {
  const Khz* c = q.carriers.data();
  const auto mhz = [&](int i) { return FormatKhz(c[i]); };
  for (int a = 0; a < q.carrier_count; ++a) {
    for (int b = 0; b < q.carrier_count; ++b) {
      if (a == b) continue;
      if (q.family == plan::Family::k2tx3 && 2 * c[a] - c[b] == q.product) {
        return "2 × " + mhz(a) + " − " + mhz(b);
      }
      if (q.family == plan::Family::k2tx5 && 3 * c[a] - 2 * c[b] == q.product) {
        return "3 × " + mhz(a) + " − 2 × " + mhz(b);
      }
      if (q.family == plan::Family::k3tx3 && a < b &&
          c[a] + c[b] - c[3 - a - b] == q.product) {
        return mhz(a) + " + " + mhz(b) + " − " + mhz(3 - a - b);
      }
    }
  }
  return "";
}

// The first broken rule as one finding of groups (a request without groups
// is one group, judged by its own rules).
std::optional<plan::Finding> FirstBroken(const plan::SettledRequest& settled) {
  const plan::RequestOptions& options = settled.options();
  if (!options.Grouped()) {
    const plan::Rules& rules = options.first().rules;
    const plan::Violation v = plan::FindViolation(options.first().fixed, rules);
    if (v.rule == plan::Violation::Rule::kNone) return std::nullopt;
    plan::Finding f;
    if (v.rule == plan::Violation::Rule::kSpacing) {
      f.kind = plan::Finding::Kind::kSpacing;
      f.a = {v.a, 0};
      f.b = {v.b, 0};
      f.least = rules.spacing;
      return f;
    }
    f.product = v.product;
    f.window = plan::WindowOf(rules, v.product.family).value_or(0);
    return f;
  }
  std::vector<plan::Carrier> fixed;
  for (std::size_t g = 0; g < options.groups.size(); ++g) {
    for (Khz f : options.groups[g].fixed) {
      fixed.push_back({f, static_cast<int>(g)});
    }
  }
  const plan::GroupViolations found =
      plan::FindGroupViolations(fixed, settled.rules(), 1);
  if (found.listed.empty()) return std::nullopt;
  return found.listed.front();
}

std::optional<std::string> FixedBrokenJson(
    const plan::SettledRequest& settled) {
  const std::optional<plan::Finding> f = FirstBroken(settled);
  if (!f) return std::nullopt;
  std::string out;
  cli::JsonWriter json(out);
  json.BeginObject().Key("what").String("fixedBroken");
  if (f->kind == plan::Finding::Kind::kSpacing) {
    json.Key("group").Number(f->b.group);
    json.Key("kind").String("spacing");
    json.Key("carriers").BeginArray();
    json.String(FormatKhz(f->a.khz)).String(FormatKhz(f->b.khz)).EndArray();
    json.Key("least").String(FormatKhz(f->least)).EndObject();
    return out;
  }
  const plan::Product& q = f->product;
  json.Key("group").Number(f->victim_group);
  json.Key("kind").String(plan::FamilyName(q.family));
  json.Key("carriers").BeginArray();
  for (int i = 0; i < q.carrier_count; ++i)
    json.String(FormatKhz(q.carriers[i]));
  json.EndArray();
  json.Key("expression").String(Expression(q));
  json.Key("product").String(FormatKhz(q.product));
  json.Key("victim").String(FormatKhz(q.victim));
  json.Key("window").String(FormatKhz(f->window)).EndObject();
  return out;
}

// What the search goes on with but the user may not have meant: fixed
// carriers inside an exclusion (they stay in every plan), exclusions that
// leave no channel.
std::string NoneJson(const plan::SettledRequest& settled,
                     const plan::BuiltRequest& built) {
  const plan::RequestOptions& options = settled.options();
  std::string out;
  cli::JsonWriter json(out);
  json.BeginObject().Key("what").String("none");
  json.Key("warnings").BeginArray();
  for (std::size_t g = 0; g < options.groups.size(); ++g) {
    for (Khz f : options.groups[g].fixed) {
      for (const plan::Range& r : options.excludes) {
        if (f < r.low || f > r.high) continue;
        json.BeginObject().Key("what").String("fixedExcluded");
        json.Key("group").Number(static_cast<std::int64_t>(g));
        json.Key("fixed").String(FormatKhz(f));
        json.Key("range").BeginArray();
        json.String(FormatKhz(r.low)).String(FormatKhz(r.high)).EndArray();
        json.EndObject();
      }
    }
  }
  // Bands the exclusions leave without a frequency (the search finds none).
  if (!options.Grouped() && built.request.candidates.empty() &&
      !settled.excludes().empty()) {
    json.BeginObject().Key("what").String("noChannel");
    json.Key("group").Number(0).EndObject();
  }
  json.EndArray().EndObject();
  return out;
}

}  // namespace

int ReadFrequency(std::string_view text, std::string& value) {
  const plan::NumberReading reading = plan::ReadMHz(text, false);
  value = FormatKhz(reading.khz);
  if (reading.error != plan::NumberError::kNone) {
    return static_cast<int>(reading.error);
  }
  return reading.khz > kHighestCarrier ? kProbablyKhz : 0;
}

std::string PlanRefusalJson(std::span<const std::string_view> args) {
  // Read as for an analysis, which leaves the counts unsettled, so that the
  // settling's code comes back here rather than the command line's words.
  std::vector<std::string_view> list(args.begin(), args.end());
  list.push_back("--analyze");
  plan_cli::ParsedPlanArguments parsed = plan_cli::ParsePlanArguments(list);
  if (!parsed.error.empty()) {
    std::string out;
    cli::JsonWriter json(out);
    json.BeginObject().Key("what").String("arguments");
    json.Key("text").String(parsed.error).EndObject();
    return out;
  }
  plan::RequestOptions& options = parsed.options;
  const plan::OptionsCheck check = plan::SettleOptions(options);
  if (check.error != plan::OptionsError::kNone) {
    return OptionsJson(options, check);
  }
  const plan::SettledRequest settled(options);
  const plan::BuiltRequest built = settled.Build();
  if (built.error != plan::BuildError::kNone) return BuildJson(built);
  if (auto small = TooSmallJson(settled)) return *small;
  if (auto broken = FixedBrokenJson(settled)) return *broken;
  return NoneJson(settled, built);
}

}  // namespace zelmar::web
