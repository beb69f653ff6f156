// The C functions the page calls (see zelmar_web.cpp), and the one it
// provides: zelmar_progress, which hands a running search's progress to the
// page as JSON.
#pragma once

#include <cstdint>

#ifdef __wasm__
#define ZELMAR_EXPORT(name) __attribute__((export_name(name)))
#define ZELMAR_IMPORT(name) \
  __attribute__((import_module("zelmar"), import_name(name)))
#else
#define ZELMAR_EXPORT(name)
#define ZELMAR_IMPORT(name)
#endif

extern "C" {

// Room for `size` bytes of input; the pointer holds until the next call.
ZELMAR_EXPORT("zelmar_input") char* zelmar_input(std::uint32_t size);

// The output of the last call and its length in bytes.
ZELMAR_EXPORT("zelmar_output") const char* zelmar_output();
ZELMAR_EXPORT("zelmar_output_size") std::uint32_t zelmar_output_size();

// Input: up to twelve field texts. Output: the line `zelmar-check --json`
// prints for them. Returns its length.
ZELMAR_EXPORT("zelmar_check") std::uint32_t zelmar_check();

// Input: up to twelve field texts. Output: how the check read each text and
// each finding's frequencies and product, as JSON (check_readings.h).
// Returns its length.
ZELMAR_EXPORT("zelmar_check_readings") std::uint32_t zelmar_check_readings();

// Input: the arguments of zelmar-plan. Returns its exit status; the output
// is what it prints, standard output or else its error line. Progress goes to
// zelmar_progress at most every `progress_interval_ms`.
ZELMAR_EXPORT("zelmar_plan")
std::int32_t zelmar_plan(std::uint32_t progress_interval_ms);

// Output: what the last zelmar_plan printed on standard error (warnings
// beside a plan, or the error line). Returns its length.
ZELMAR_EXPORT("zelmar_plan_errors") std::uint32_t zelmar_plan_errors();

// Input: a file's name and bytes (a show file, a scan), which arguments
// name; it holds until zelmar_files_clear. Returns 0.
ZELMAR_EXPORT("zelmar_file_put") std::uint32_t zelmar_file_put();
ZELMAR_EXPORT("zelmar_files_clear") void zelmar_files_clear();

// The calls below take zelmar-plan's arguments, then optionally "--" and
// pairs the page adds: the shown plan's carriers and spares ("carrier" /
// "spare", "F@G"), "proven", "1", and a show's scanned ranges
// ("scan-exclude", "LOW:HIGH"); see page_request.h. Each returns 0, or 2
// with the error line as output.

// Output: the spectrum picture's data as JSON (picture_data.h); its scan's
// trace, MHz and dBm of each point, is zelmar_picture_trace's doubles.
ZELMAR_EXPORT("zelmar_picture") std::int32_t zelmar_picture();
ZELMAR_EXPORT("zelmar_picture_trace") const double* zelmar_picture_trace();
ZELMAR_EXPORT("zelmar_picture_trace_size")
std::uint32_t zelmar_picture_trace_size();

// Output: the show file (`sheet` 0) or the crew's sheet (1) that
// `zelmar-plan --save` / `--csv` write for the request and plan.
ZELMAR_EXPORT("zelmar_show_file")
std::int32_t zelmar_show_file(std::uint32_t sheet);

// Output: what the request's scans take at its threshold, as JSON:
// {"threshold", "median", "excludes": [[LOW, HIGH], ...], "mhz", "levels"}.
ZELMAR_EXPORT("zelmar_scan_ranges") std::int32_t zelmar_scan_ranges();

// Input: one text of MHz as the planner reads it. Returns the
// plan::NumberError code (0: read); the output is the value as MHz text.
ZELMAR_EXPORT("zelmar_read_mhz")
std::int32_t zelmar_read_mhz(std::uint32_t allow_zero);

// Input: one text of a carrier's frequency (MHz, not zero). Returns the
// plan::NumberError code, or web::kProbablyKhz above 3,000 MHz; the output
// is the value as MHz text.
ZELMAR_EXPORT("zelmar_read_frequency") std::int32_t zelmar_read_frequency();

// Input: the plan form's zelmar-plan arguments. Output: the first reason
// the request cannot be searched, as codes (web/plan_refusal.h), or its
// warnings. Returns the output's length.
ZELMAR_EXPORT("zelmar_plan_refusal") std::uint32_t zelmar_plan_refusal();

// Input: up to twelve field texts. Runs RunChannelCheck on them `runs` times
// and returns the nanoseconds per run, timed here, not by the caller.
ZELMAR_EXPORT("zelmar_time_check") double zelmar_time_check(std::uint32_t runs);

ZELMAR_IMPORT("progress")
void zelmar_progress(const char* json, std::uint32_t size);

}  // extern "C"
