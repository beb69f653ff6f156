#include "show_file/json_path.h"

#include <algorithm>

namespace zelmar::plan {
namespace {

constexpr std::size_t kNowhere = std::string_view::npos;

// Walking a text the parser took, to the value a path leads to.

std::size_t SkipSpace(std::string_view text, std::size_t at) {
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t' ||
                              text[at] == '\n' || text[at] == '\r')) {
    ++at;
  }
  return at;
}

// `at` is on the opening quote; the result is past the closing one.
std::size_t SkipString(std::string_view text, std::size_t at) {
  for (++at; at < text.size() && text[at] != '"'; ++at) {
    if (text[at] == '\\') ++at;
  }
  return std::min(at + 1, text.size());
}

// Past the value at `at`; containers by depth, without recursion.
std::size_t SkipValue(std::string_view text, std::size_t at) {
  std::size_t depth = 0;
  do {
    if (at >= text.size()) return at;
    const char c = text[at];
    if (c == '"') {
      at = SkipString(text, at);
    } else if (c == '{' || c == '[') {
      ++depth;
      ++at;
    } else if (c == '}' || c == ']') {
      --depth;
      ++at;
    } else if (depth == 0) {
      const std::string_view ends = ",]} \t\r\n";
      while (at < text.size() && ends.find(text[at]) == kNowhere) ++at;
    } else {
      ++at;
    }
  } while (depth > 0);
  return at;
}

// Past the "," after a member or element, if there is one.
std::size_t SkipComma(std::string_view text, std::size_t at) {
  at = SkipSpace(text, at);
  return at < text.size() && text[at] == ',' ? SkipSpace(text, at + 1) : at;
}

// The value of member `key` of the object at `at`: the last of that name,
// as the parser keeps the last. A name written with escapes is not matched.
std::size_t FindMember(std::string_view text, std::size_t at,
                       std::string_view key) {
  std::size_t found = kNowhere;
  at = SkipSpace(text, at + 1);
  while (at < text.size() && text[at] == '"') {
    const std::size_t end = SkipString(text, at);
    const std::string_view name = text.substr(at + 1, end - at - 2);
    at = SkipSpace(text, SkipSpace(text, end) + 1);  // past ':'
    if (name == key) found = at;
    at = SkipComma(text, SkipValue(text, at));
  }
  return found;
}

std::size_t FindElement(std::string_view text, std::size_t at,
                        std::size_t index) {
  at = SkipSpace(text, at + 1);
  for (std::size_t i = 0; i < index && at < text.size() && text[at] != ']';
       ++i) {
    at = SkipComma(text, SkipValue(text, at));
  }
  return at < text.size() && text[at] != ']' ? at : kNowhere;
}

// Where the value at `path` starts, or its deepest container that is there.
std::size_t Locate(std::string_view text, std::span<const PathStep> path) {
  std::size_t at = SkipSpace(text, 0);
  for (const PathStep& step : path) {
    if (at >= text.size()) break;
    std::size_t next = kNowhere;
    if (step.is_index && text[at] == '[') {
      next = FindElement(text, at, step.index);
    } else if (!step.is_index && text[at] == '{') {
      next = FindMember(text, at, step.key);
    }
    if (next == kNowhere) break;
    at = next;
  }
  return at;
}

}  // namespace

std::string PathText(std::span<const PathStep> path) {
  std::string text;
  for (const PathStep& step : path) {
    if (step.is_index) {
      text += '[' + std::to_string(step.index) + ']';
    } else {
      if (!text.empty()) text += '.';
      text += step.key;
    }
  }
  return text;
}

std::size_t LineAt(std::string_view text, std::size_t at) {
  at = std::min(at, text.size());
  return 1 + static_cast<std::size_t>(
                 std::count(text.begin(), text.begin() + at, '\n'));
}

std::size_t LineOfPath(std::string_view text, std::span<const PathStep> path) {
  return LineAt(text, Locate(text, path));
}

}  // namespace zelmar::plan
