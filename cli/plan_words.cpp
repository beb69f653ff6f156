#include "plan_words.h"

#include "zelmar/show/request.h"

namespace zelmar::plan_cli {

using plan::Family;
using plan::FormatKhz;
using plan::Khz;

// "2*806.375 - 807.000 = 805.750 MHz, 0.125 MHz from 805.625 MHz".
std::string DescribeProduct(const plan::Product& q) {
  const Khz* c = q.carriers.data();
  std::string text;
  for (int a = 0; a < q.carrier_count && text.empty(); ++a) {
    for (int b = 0; b < q.carrier_count && text.empty(); ++b) {
      if (a == b) continue;
      if (q.family == Family::k2tx3 && 2 * c[a] - c[b] == q.product) {
        text = "2*" + FormatKhz(c[a]) + " - " + FormatKhz(c[b]);
      } else if (q.family == Family::k2tx5 &&
                 3 * c[a] - 2 * c[b] == q.product) {
        text = "3*" + FormatKhz(c[a]) + " - 2*" + FormatKhz(c[b]);
      } else if (q.family == Family::k3tx3 && a < b &&
                 c[a] + c[b] - c[3 - a - b] == q.product) {
        text = FormatKhz(c[a]) + " + " + FormatKhz(c[b]) + " - " +
               FormatKhz(c[3 - a - b]);
      }
    }
  }
  return text + " = " + FormatKhz(q.product) + " MHz, " +
         FormatKhz(q.Distance()) + " MHz from " + FormatKhz(q.victim) + " MHz";
}

// Words for a rule the fixed carriers break.
std::string DescribeViolation(const plan::Violation& v,
                              const plan::Rules& rules) {
  if (v.rule == plan::Violation::Rule::kSpacing) {
    return "the spacing rule: " + FormatKhz(v.a) + " and " + FormatKhz(v.b) +
           " MHz are " + FormatKhz(v.b - v.a) + " MHz apart, not more than " +
           FormatKhz(rules.spacing) + " MHz";
  }
  const plan::Product& q = v.product;
  return "the " + std::string(plan::FamilyName(q.family)) +
         " intermodulation rule: " + DescribeProduct(q) +
         ", not more than the window " +
         FormatKhz(*plan::WindowOf(rules, q.family)) + " MHz";
}

namespace {

void WriteCarriers(const plan::Product& q, cli::JsonWriter& json) {
  json.Key("carriers").BeginArray();
  for (int i = 0; i < q.carrier_count; ++i) {
    json.String(FormatKhz(q.carriers[i]));
  }
  json.EndArray();
}

}  // namespace

void WriteProduct(const plan::Product& q, cli::JsonWriter& json) {
  WriteCarriers(q, json);
  json.Key("product").String(FormatKhz(q.product));
  json.Key("victim").String(FormatKhz(q.victim));
}

void WriteViolation(const plan::Violation& v, cli::JsonWriter& json) {
  json.BeginObject();
  if (v.rule == plan::Violation::Rule::kSpacing) {
    json.Key("kind").String("spacing");
    json.Key("carriers").BeginArray();
    json.String(FormatKhz(v.a)).String(FormatKhz(v.b)).EndArray();
    json.Key("distance").String(FormatKhz(v.b - v.a)).EndObject();
    return;
  }
  const plan::Product& q = v.product;
  json.Key("kind").String(plan::FamilyName(q.family));
  WriteProduct(q, json);
  json.Key("distance").String(FormatKhz(q.Distance())).EndObject();
}

std::string GroupNameOf(const PlanOptions& options, int group) {
  return QuoteArgument(options.groups[group].name);
}

std::string InGroup(const PlanOptions& options, int group) {
  if (options.groups[group].name.empty()) return "";
  return " (" + GroupNameOf(options, group) + ")";
}

std::string DescribeFinding(const PlanOptions& options,
                            const plan::Finding& f) {
  if (f.kind == plan::Finding::Kind::kSpacing) {
    return "the spacing rule: " + FormatKhz(f.a.khz) +
           InGroup(options, f.a.group) + " and " + FormatKhz(f.b.khz) + " MHz" +
           InGroup(options, f.b.group) + " are " +
           FormatKhz(f.b.khz - f.a.khz) + " MHz apart, not more than " +
           FormatKhz(f.least) + " MHz";
  }
  return "the " + std::string(plan::FamilyName(f.product.family)) +
         " intermodulation rule: " + DescribeProduct(f.product) +
         InGroup(options, f.victim_group) + ", not more than its window " +
         FormatKhz(f.window) + " MHz";
}

void WriteFinding(const PlanOptions& options, const plan::Finding& f,
                  cli::JsonWriter& json) {
  json.BeginObject();
  if (f.kind == plan::Finding::Kind::kSpacing) {
    json.Key("kind").String("spacing");
    json.Key("carriers").BeginArray();
    json.String(FormatKhz(f.a.khz)).String(FormatKhz(f.b.khz)).EndArray();
    json.Key("groups").BeginArray();
    json.String(options.groups[f.a.group].name)
        .String(options.groups[f.b.group].name)
        .EndArray();
    json.Key("distance").String(FormatKhz(f.b.khz - f.a.khz));
    json.Key("least").String(FormatKhz(f.least)).EndObject();
    return;
  }
  const plan::Product& q = f.product;
  json.Key("kind").String(plan::FamilyName(q.family));
  WriteProduct(q, json);
  json.Key("victim_group").String(options.groups[f.victim_group].name);
  json.Key("distance").String(FormatKhz(q.Distance()));
  json.Key("window").String(FormatKhz(f.window));
  json.Key("headroom").String(FormatKhz(f.Headroom())).EndObject();
}

}  // namespace zelmar::plan_cli
