// The one JSON writer of the tools and the page: compact, members in the
// order written, strings escaped as AppendJsonString does. Both tools'
// answers and the page's progress come out of it, so they cannot differ in
// form.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zelmar::cli {

// `text` as a JSON string, quotes included: '"', '\\' and the control
// characters escaped, every other byte as it is (the texts are UTF-8).
void AppendJsonString(std::string_view text, std::string& out);

// Appends one JSON value to `out`, piece by piece: containers are opened and
// closed by the caller, the commas between members and elements are the
// writer's.
class JsonWriter {
 public:
  explicit JsonWriter(std::string& out) : out_(out) {}

  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  // A member's name; its value comes next.
  JsonWriter& Key(std::string_view key);

  JsonWriter& String(std::string_view text);
  // An array of strings, written with one growth of `out`.
  JsonWriter& Strings(std::span<const std::string> texts);
  JsonWriter& Number(std::int64_t value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();
  // A value written already by this writer (a whole object, say).
  JsonWriter& Raw(std::string_view json);
  // The string, or null.
  JsonWriter& OptionalString(const std::optional<std::string>& text);

 private:
  // A comma before every element but the first of its container.
  void Separate();

  std::string& out_;
  bool after_value_ = false;
};

}  // namespace zelmar::cli
