// The data of the page's spectrum picture (web/picture.js draws it): the
// request's bands as panels on one axis, TV channels, exclusions, the scan's
// trace and threshold, and the shown plan's carriers, windows and the
// products near them. Every frequency is the module's; the page only maps
// them to pixels.
#pragma once

#include <string>
#include <vector>

#include "page_request.h"

namespace zelmar::web {

// Products this near a carrier are drawn even where its group's window is 0
// or the family is not its group's.
inline constexpr plan::Khz kPictureReachFloor = 100;

// The picture of the request and its plan (and spares) as one JSON object;
// its scan's "points" is the count of the trace's points.
std::string PictureJson(const PageRequest& request);

// The scan's trace for the picture: per bin its middle in MHz and its level
// in dBm, one after the other (65,000 points as JSON text would cost the
// page more to read than everything else together).
std::vector<double> ScanTrace(const PageRequest& request);

// What the request's scans took, for the threshold slider: {"threshold",
// "median" (dBm, null without scans), "excludes": [[LOW, HIGH], ...] (MHz
// texts), "mhz" (their sum), "levels": [lowest, highest] dBm or null}.
std::string ScanRangesJson(const PageRequest& request);

}  // namespace zelmar::web
