// The page's way into the check engine and the planner: a few plain C
// functions that take texts and give back the same JSON the command-line
// tools print, so the page and `zelmar-check --json` / `zelmar-plan --json`
// can never disagree. Lists of texts come in one buffer: a 32-bit
// little-endian count, then per text its 32-bit length and its bytes.
#include "zelmar_web.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "best_so_far.h"
#include "check_readings.h"
#include "cli.h"
#include "page_request.h"
#include "picture_data.h"
#include "plan_cli.h"
#include "plan_refusal.h"
#include "plan_show.h"
#include "zelmar/engine.h"
#include "zelmar/planner.h"
#include "zelmar/show/request.h"

namespace {

std::string input;
std::string output;
// Standard error of the last plan: its warnings, or why there is none.
std::string plan_errors;
zelmar::web::PageFiles files;
// The scan trace of the last picture.
std::vector<double> trace;

// A list in `input` that breaks the format is a fault of the page: the
// run ends rather than read a wrong text.
std::uint32_t TakeU32(std::string_view& in) {
  if (in.size() < 4) std::abort();
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    value = value << 8 | static_cast<unsigned char>(in[i]);
  }
  in.remove_prefix(4);
  return value;
}

std::vector<std::string_view> InputList() {
  std::string_view in = input;
  const std::uint32_t count = TakeU32(in);
  std::vector<std::string_view> list;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t size = TakeU32(in);
    if (in.size() < size) std::abort();
    list.push_back(in.substr(0, size));
    in.remove_prefix(size);
  }
  if (!in.empty()) std::abort();
  return list;
}

zelmar::FieldTexts InputFields() {
  const std::vector<std::string_view> list = InputList();
  if (list.size() > zelmar::kSlotCount) std::abort();
  return zelmar::cli::FieldsFromTexts(list);
}

// The request the input's arguments, the page's pairs and files make; on a
// refusal nothing, with its line as the output.
std::optional<zelmar::web::PageRequest> InputRequest() {
  const std::vector<std::string_view> args = InputList();
  zelmar::web::PageRequest request = zelmar::web::MakePageRequest(args, files);
  if (!request.error.empty()) {
    output = request.error;
    return std::nullopt;
  }
  return request;
}

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() -
                                                               start)
      .count();
}

// A bound on the 2tx3 margin says something to the person waiting only on
// narrow bands; on wide ones it is tens of MHz above any plan.
constexpr zelmar::plan::Khz kInformativeBound = 1'000;

// {"carriers":N,"bound":"1.000"|null,"narrow":BOOL,"nodes":N,"ms":N,
// "best":{...}|null}, where "best" is what zelmar-plan --json answers when
// stopped now and "narrow" whether the bound is worth showing.
std::string ProgressJson(const zelmar::plan::SearchProgress& progress,
                         zelmar::web::BestSoFar& best, long long ms) {
  using zelmar::plan::FormatKhz;
  std::string out;
  zelmar::cli::JsonWriter json(out);
  json.BeginObject().Key("carriers").Number(progress.carriers);
  json.Key("bound").OptionalString(zelmar::plan_cli::KhzText(progress.bound));
  json.Key("narrow").Bool(progress.bound &&
                          *progress.bound <= kInformativeBound);
  json.Key("nodes").Number(static_cast<std::int64_t>(progress.nodes));
  json.Key("ms").Number(ms);
  json.Key("best").Raw(best.ReportJson()).EndObject();
  return out;
}

}  // namespace

extern "C" {

char* zelmar_input(std::uint32_t size) {
  input.assign(size, '\0');
  return input.data();
}

const char* zelmar_output() { return output.data(); }

std::uint32_t zelmar_output_size() {
  return static_cast<std::uint32_t>(output.size());
}

std::uint32_t zelmar_check() {
  output = zelmar::cli::FormatJson(
      zelmar::RunChannelCheckWithFindings(InputFields()));
  return static_cast<std::uint32_t>(output.size());
}

std::uint32_t zelmar_check_readings() {
  output = zelmar::web::CheckReadingsJson(InputFields());
  return static_cast<std::uint32_t>(output.size());
}

std::int32_t zelmar_plan(std::uint32_t progress_interval_ms) {
  const std::vector<std::string_view> args = InputList();
  const zelmar::web::PageSearch parsed =
      zelmar::web::MakePageSearch(args, files);
  if (!parsed.error.empty()) {
    output = plan_errors = parsed.error;
    return zelmar::plan_cli::kExitUsage;
  }
  const auto start = Clock::now();
  const long long limit = parsed.options.time_limit_ms;
  long long last_shown = 0;
  zelmar::web::BestSoFar best(parsed.options);
  const zelmar::plan::StopCheck stop =
      [&](const zelmar::plan::SearchProgress& progress) {
        const long long ms = MillisecondsSince(start);
        if (ms >= limit) return true;
        best.Offer(progress);
        if (ms - last_shown >= progress_interval_ms) {
          last_shown = ms;
          const std::string json = ProgressJson(progress, best, ms);
          zelmar_progress(json.data(), static_cast<std::uint32_t>(json.size()));
        }
        return false;
      };
  const zelmar::plan_cli::PlanReport report =
      zelmar::plan_cli::RunPlan(parsed.options, parsed.inputs, stop);
  // With --json a plan or "no plan" is standard output, and warnings (a
  // fixed carrier inside an exclusion) come beside it on standard error.
  plan_errors = report.err;
  output = report.out.empty() ? report.err : report.out;
  return report.status;
}

std::uint32_t zelmar_file_put() {
  const std::vector<std::string_view> list = InputList();
  if (list.size() != 2) std::abort();
  files.Put(std::string(list[0]), std::string(list[1]));
  return 0;
}

void zelmar_files_clear() { files.Clear(); }

std::int32_t zelmar_picture() {
  const auto request = InputRequest();
  if (!request) return zelmar::plan_cli::kExitUsage;
  output = zelmar::web::PictureJson(*request);
  trace = zelmar::web::ScanTrace(*request);
  return 0;
}

const double* zelmar_picture_trace() { return trace.data(); }

std::uint32_t zelmar_picture_trace_size() {
  return static_cast<std::uint32_t>(trace.size());
}

std::int32_t zelmar_show_file(std::uint32_t sheet) {
  auto request = InputRequest();
  if (!request) return zelmar::plan_cli::kExitUsage;
  // The show and the sheet the tool writes for the same request and plan.
  request->options.save = request->options.csv = "page";
  zelmar::plan_cli::PlanView view;
  view.plan = request->plan;
  view.spares = request->spares;
  view.proven = request->proven;
  zelmar::plan_cli::PlanReport report;
  const zelmar::plan::SettledRequest settled(request->options);
  zelmar::plan_cli::AttachShow(request->options, settled,
                               request->plan.empty() ? nullptr : &view, report);
  output = sheet != 0 ? report.csv_text : report.show_text;
  return 0;
}

std::int32_t zelmar_scan_ranges() {
  const auto request = InputRequest();
  if (!request) return zelmar::plan_cli::kExitUsage;
  output = zelmar::web::ScanRangesJson(*request);
  return 0;
}

std::uint32_t zelmar_plan_errors() {
  output = plan_errors;
  return static_cast<std::uint32_t>(output.size());
}

std::int32_t zelmar_read_mhz(std::uint32_t allow_zero) {
  const zelmar::plan::NumberReading reading =
      zelmar::plan::ReadMHz(input, allow_zero != 0);
  output = zelmar::plan::FormatKhz(reading.khz);
  return static_cast<std::int32_t>(reading.error);
}

std::int32_t zelmar_read_frequency() {
  return zelmar::web::ReadFrequency(input, output);
}

std::uint32_t zelmar_plan_refusal() {
  const std::vector<std::string_view> args = InputList();
  output = zelmar::web::PlanRefusalJson(args);
  return static_cast<std::uint32_t>(output.size());
}

double zelmar_time_check(std::uint32_t runs) {
  const zelmar::FieldTexts fields = InputFields();
  std::size_t sink = 0;
  const auto start = Clock::now();
  for (std::uint32_t i = 0; i < runs; ++i) {
    sink += zelmar::RunChannelCheck(fields).resultText.size();
  }
  const std::chrono::duration<double, std::nano> spent = Clock::now() - start;
  // The sum keeps the runs from being optimised away.
  if (sink == 0) std::abort();
  return spent.count() / runs;
}

}  // extern "C"
