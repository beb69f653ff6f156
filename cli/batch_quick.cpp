// The quick reader of --batch lines, on Boost.JSON's event parser: it takes
// the lines a script sends nearly always, a JSON array of at most kSlotCount
// strings, several times faster than the full reader, and leaves every other
// line to the full reader, which also says what is wrong with it.
#include <boost/json/basic_parser_impl.hpp>
// The event parser's own sources, compiled into this file: the library is
// used header-only, so the Windows builds need nothing beyond the headers,
// and without the rest of it (values, serializer, streams).
#include <boost/json/detail/impl/default_resource.ipp>
#include <boost/json/detail/impl/shared_resource.ipp>
#include <boost/json/detail/impl/stack.ipp>
#include <boost/json/impl/error.ipp>

#include "cli.h"

namespace zelmar::cli {
namespace {

namespace json = boost::json;

// The events of one line. Any event but a top-level array and strings in it
// stops the parse: such a line goes to the full reader.
class FieldsHandler {
 public:
  static constexpr std::size_t max_array_size = kSlotCount;
  static constexpr std::size_t max_object_size = 0;
  static constexpr std::size_t max_key_size = 0;
  static constexpr std::size_t max_string_size = std::size_t(-1);

  explicit FieldsHandler(FieldTexts& fields) : fields_(fields) {}

  bool on_document_begin(json::error_code&) { return true; }
  bool on_document_end(json::error_code&) { return true; }
  bool on_array_begin(json::error_code&) {
    if (in_array_) return false;  // an array inside the array
    in_array_ = true;
    return true;
  }
  bool on_array_end(std::size_t, json::error_code&) { return true; }
  // A string comes in parts when it holds escapes; `total` is its size so
  // far, this part included.
  bool on_string_part(json::string_view part, std::size_t total,
                      json::error_code&) {
    return Add(part, total);
  }
  bool on_string(json::string_view part, std::size_t total, json::error_code&) {
    if (!Add(part, total)) return false;
    ++count_;
    return true;
  }
  bool on_object_begin(json::error_code&) { return false; }
  bool on_object_end(std::size_t, json::error_code&) { return false; }
  bool on_key_part(json::string_view, std::size_t, json::error_code&) {
    return false;
  }
  bool on_key(json::string_view, std::size_t, json::error_code&) {
    return false;
  }
  bool on_number_part(json::string_view, json::error_code&) { return false; }
  bool on_int64(std::int64_t, json::string_view, json::error_code&) {
    return false;
  }
  bool on_uint64(std::uint64_t, json::string_view, json::error_code&) {
    return false;
  }
  bool on_double(double, json::string_view, json::error_code&) { return false; }
  bool on_bool(bool, json::error_code&) { return false; }
  bool on_null(json::error_code&) { return false; }
  bool on_comment_part(json::string_view, json::error_code&) { return false; }
  bool on_comment(json::string_view, json::error_code&) { return false; }

 private:
  bool Add(json::string_view part, std::size_t total) {
    if (!in_array_ || count_ == kSlotCount) return false;
    std::string& field = fields_[count_];
    if (total == part.size()) {
      field.assign(part.data(), part.size());
    } else {
      field.append(part.data(), part.size());
    }
    return true;
  }

  FieldTexts& fields_;
  bool in_array_ = false;
  std::size_t count_ = 0;
};

}  // namespace

bool ReadBatchFieldsQuickly(std::string_view line, FieldTexts& fields) {
  // UTF-8 is checked here, as the full reader checks it, and so need not be
  // checked again by the parser.
  if (!IsValidUtf8(line)) return false;
  json::parse_options options;
  options.allow_invalid_utf8 = true;
  json::basic_parser<FieldsHandler> parser(options, fields);
  json::error_code error;
  const std::size_t used =
      parser.write_some(false, line.data(), line.size(), error);
  // The parser stops after the array; bytes left over are for the full
  // reader to report.
  return !error && used == line.size();
}

}  // namespace zelmar::cli
