// A scan file's frequency unit: named in its column names, given, or told
// from the magnitudes of its frequencies.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "zelmar/show/scan.h"

namespace zelmar::plan::scan_units {

// The unit a column-name line names for its first column: "Frequency
// (MHz)", "Freq [Hz]", "kHz". None when the line has a digit (a title such
// as "Step Frequency: 100KHZ", or data) or names no unit.
std::optional<ScanUnit> NamedIn(std::string_view first_field);

// The one unit whose span holds `low` to `high` (millionths of a unit, as
// read), or none.
std::optional<ScanUnit> FromMagnitudes(std::int64_t low, std::int64_t high);

// "its frequencies run from 9000 to 12000, which no one unit of a scan
// holds; --scan-unit says the unit".
std::string DescribeAmbiguity(std::int64_t low, std::int64_t high);

// A number as read, "400000000" or "806.0625", for messages.
std::string NumberText(std::int64_t micro);

}  // namespace zelmar::plan::scan_units
