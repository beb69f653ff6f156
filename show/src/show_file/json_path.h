// JSON paths of a show file's values: their text ("groups[1].bands[0]")
// and the line a value is on in the text it was read from.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace zelmar::plan {

// One step of a JSON path: a member's name or an element's index.
struct PathStep {
  std::string key;
  std::size_t index = 0;
  bool is_index = false;
};

std::string PathText(std::span<const PathStep> path);

// The 1-based line of byte `at`.
std::size_t LineAt(std::string_view text, std::size_t at);

// The line of the value at `path` in `text`, a text the JSON parser took;
// where the path leads past what is there (a missing field), the line of
// the deepest value on it that is.
std::size_t LineOfPath(std::string_view text, std::span<const PathStep> path);

}  // namespace zelmar::plan
