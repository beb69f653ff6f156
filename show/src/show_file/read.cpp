// Reading a show file. nlohmann's parser builds the document without
// exceptions (the page is built without them): a syntax error comes back
// through the event handler with its byte. Every field's type and range is
// then checked before it is taken, so no access can throw. A fault names
// its JSON path, and the line of the text it is on is found by walking the
// text along that path.
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <utility>

#include "show_file/json_path.h"
#include "zelmar/show/show_file.h"

namespace zelmar::plan {
namespace {

using Json = nlohmann::ordered_json;  // the writer's type: one instantiation
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The document builder, keeping the byte a syntax error was found at.
class DocumentBuilder : public nlohmann::detail::json_sax_dom_parser<Json> {
 public:
  explicit DocumentBuilder(Json& root)
      : json_sax_dom_parser(root, /*allow_exceptions=*/false) {}

  template <class Exception>
  bool parse_error(std::size_t position, const std::string& token,
                   const Exception& error) {
    position_ = position;
    return json_sax_dom_parser::parse_error(position, token, error);
  }

  // The count of bytes read when the error was found: its byte is one
  // before.
  std::size_t position() const { return position_; }

 private:
  std::size_t position_ = 0;
};

// The document as a show, field by field; the first fault ends it.
class ShowReader {
 public:
  explicit ShowReader(std::string_view text) : text_(text) {}

  ShowReading Read(const Json& root) {
    reading_ = {};
    ReadRoot(root, reading_.show);
    return std::move(reading_);
  }

 private:
  // The step of the value being read, while it is read.
  class Scope {
   public:
    Scope(ShowReader& reader, PathStep step) : reader_(reader) {
      reader_.path_.push_back(std::move(step));
    }
    ~Scope() { reader_.path_.pop_back(); }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    ShowReader& reader_;
  };
  static PathStep Key(std::string_view key) {
    return {std::string(key), 0, false};
  }
  static PathStep Index(std::size_t i) { return {{}, i, true}; }

  bool Fail(ShowError error) {
    if (reading_.error == ShowError::kNone) {
      reading_.error = error;
      reading_.path = PathText(path_);
      reading_.line = LineOfPath(text_, path_);
    }
    return false;
  }

  // Members of `object` by name; absent optional ones leave their default.
  template <class ReadValue>
  bool Optional(const Json& object, std::string_view key, ReadValue read) {
    const auto it = object.find(key);
    if (it == object.end()) return true;
    Scope scope(*this, Key(key));
    return read(*it);
  }
  template <class ReadValue>
  bool Required(const Json& object, std::string_view key, ReadValue read) {
    Scope scope(*this, Key(key));
    const auto it = object.find(key);
    return it == object.end() ? Fail(ShowError::kMissing) : read(*it);
  }
  template <class ReadElement>
  bool Elements(const Json& array, ReadElement read) {
    if (!array.is_array()) return Fail(ShowError::kType);
    for (std::size_t i = 0; i < array.size(); ++i) {
      Scope scope(*this, Index(i));
      if (!read(array[i])) return false;
    }
    return true;
  }

  // An object whose members are all among `known`.
  bool Object(const Json& value,
              std::initializer_list<std::string_view> known) {
    if (!value.is_object()) return Fail(ShowError::kType);
    for (const auto& member : value.items()) {
      if (std::find(known.begin(), known.end(), member.key()) == known.end()) {
        Scope scope(*this, Key(member.key()));
        return Fail(ShowError::kUnknownField);
      }
    }
    return true;
  }

  bool Text(const Json& value, std::string& out) {
    const auto* text = value.get_ptr<const Json::string_t*>();
    if (text == nullptr) return Fail(ShowError::kType);
    out = *text;
    return true;
  }
  bool Flag(const Json& value, bool& out) {
    const auto* flag = value.get_ptr<const Json::boolean_t*>();
    if (flag == nullptr) return Fail(ShowError::kType);
    out = *flag;
    return true;
  }
  bool Whole(const Json& value, int low, int high, int& out) {
    // Integers are held unsigned when not negative, else signed.
    std::int64_t n = 0;
    if (const auto* u = value.get_ptr<const Json::number_unsigned_t*>()) {
      n = *u > static_cast<Json::number_unsigned_t>(high)
              ? std::int64_t{high} + 1
              : static_cast<std::int64_t>(*u);
    } else if (value.is_number_integer()) {
      n = *value.get_ptr<const Json::number_integer_t*>();
    } else {
      return Fail(ShowError::kType);
    }
    if (n < low || n > high) return Fail(ShowError::kBadValue);
    out = static_cast<int>(n);
    return true;
  }
  bool Frequency(const Json& value, bool allow_zero, Khz& out) {
    const auto* text = value.get_ptr<const Json::string_t*>();
    if (text == nullptr) return Fail(ShowError::kType);
    const NumberReading reading = ReadMHz(*text, allow_zero);
    if (reading.error != NumberError::kNone) {
      return Fail(ShowError::kBadFrequency);
    }
    out = reading.khz;
    return true;
  }
  // A margin or headroom, which may lie below zero.
  bool SignedFrequency(const Json& value, Khz& out) {
    const auto* text = value.get_ptr<const Json::string_t*>();
    if (text == nullptr) return Fail(ShowError::kType);
    const bool negative = text->starts_with('-');
    const NumberReading reading =
        ReadMHz(std::string_view(*text).substr(negative ? 1 : 0), true);
    if (reading.error != NumberError::kNone) {
      return Fail(ShowError::kBadFrequency);
    }
    out = negative ? -reading.khz : reading.khz;
    return true;
  }

  bool ReadRoot(const Json& root, ShowFile& show);
  bool ReadFormat(const Json& root);
  bool ReadRanges(const Json& value, std::vector<Range>& ranges);
  bool ReadRange(const Json& value, Range& range);
  bool ReadGroup(const Json& value, GroupOptions& group);
  bool ReadCount(const Json& value, GroupOptions& group);
  bool ReadWindows(const Json& value, Rules& rules);
  bool ReadBand(const Json& value, BandOption& band);
  bool ReadRangeBand(const Json& value, BandOption& band);
  bool ReadTvBand(const Json& value, BandOption& band);
  bool ReadBandCount(const Json& value, BandOption& band);
  bool ReadPlan(const Json& value, PlanSheet& sheet);
  bool ReadFigures(const Json& value,
                   std::array<std::optional<Khz>, kFamilyCount>& figures);
  bool ReadRow(const Json& value, PlanSheet::Row& row);

  std::string_view text_;
  std::vector<PathStep> path_;
  ShowReading reading_;
};

bool ShowReader::ReadRoot(const Json& root, ShowFile& show) {
  if (!ReadFormat(root) ||
      !Object(root, {"format", "version", "tv_edge", "excludes",
                     "scan_excludes", "groups", "plan"})) {
    return false;
  }
  RequestOptions& request = show.request;
  return Optional(root, "tv_edge",
                  [&](const Json& v) {
                    return Frequency(v, true, request.tv_edge);
                  }) &&
         Optional(
             root, "excludes",
             [&](const Json& v) { return ReadRanges(v, request.excludes); }) &&
         Optional(root, "scan_excludes",
                  [&](const Json& v) {
                    return ReadRanges(v, request.scan_excludes);
                  }) &&
         Required(root, "groups",
                  [&](const Json& v) {
                    request.groups.clear();
                    if (v.is_array() && v.empty()) {
                      return Fail(ShowError::kBadValue);
                    }
                    return Elements(v, [&](const Json& g) {
                      return ReadGroup(g, request.groups.emplace_back());
                    });
                  }) &&
         Optional(root, "plan", [&](const Json& v) {
           return ReadPlan(v, show.plan.emplace());
         });
}

// What the file says it is, before any other field is looked at.
bool ShowReader::ReadFormat(const Json& root) {
  if (!root.is_object()) return Fail(ShowError::kNotAShow);
  const auto format = root.find("format");
  if (format == root.end() || !format->is_string() ||
      format->get_ref<const Json::string_t&>() != kShowFormat) {
    Scope scope(*this, Key("format"));
    return Fail(ShowError::kNotAShow);
  }
  return Required(root, "version", [&](const Json& v) {
    if (!v.is_number_integer()) return Fail(ShowError::kType);
    return v == kShowVersion || Fail(ShowError::kVersion);
  });
}

bool ShowReader::ReadRanges(const Json& value, std::vector<Range>& ranges) {
  return Elements(value, [&](const Json& v) {
    return ReadRange(v, ranges.emplace_back());
  });
}

// [LOW, HIGH], both ends excluded with it.
bool ShowReader::ReadRange(const Json& value, Range& range) {
  if (!value.is_array()) return Fail(ShowError::kType);
  if (value.size() != 2) return Fail(ShowError::kBadValue);
  bool ok = false;
  {
    Scope low(*this, Index(0));
    ok = Frequency(value[0], false, range.low);
  }
  if (ok) {
    Scope high(*this, Index(1));
    ok = Frequency(value[1], false, range.high);
  }
  return ok && (range.low <= range.high || Fail(ShowError::kBadValue));
}

bool ShowReader::ReadGroup(const Json& value, GroupOptions& group) {
  if (!Object(value, {"name", "label", "bands", "fixed", "count", "max",
                      "spacing", "apart", "windows", "spares"})) {
    return false;
  }
  return Optional(value, "name",
                  [&](const Json& v) { return Text(v, group.name); }) &&
         Optional(value, "label",
                  [&](const Json& v) { return Text(v, group.label); }) &&
         Optional(value, "bands",
                  [&](const Json& v) {
                    return Elements(v, [&](const Json& b) {
                      return ReadBand(b, group.bands.emplace_back());
                    });
                  }) &&
         Optional(value, "fixed",
                  [&](const Json& v) {
                    return Elements(v, [&](const Json& f) {
                      return Frequency(f, false, group.fixed.emplace_back());
                    });
                  }) &&
         ReadCount(value, group) &&
         Optional(value, "spacing",
                  [&](const Json& v) {
                    return Frequency(v, false, group.rules.spacing);
                  }) &&
         Optional(
             value, "apart",
             [&](const Json& v) { return Frequency(v, true, group.apart); }) &&
         Optional(value, "windows",
                  [&](const Json& v) { return ReadWindows(v, group.rules); }) &&
         Optional(value, "spares", [&](const Json& v) {
           return Whole(v, 0, kMaxCarriers, group.spares);
         });
}

// "count": N, or "max": true without a count.
bool ShowReader::ReadCount(const Json& value, GroupOptions& group) {
  if (!Optional(value, "max",
                [&](const Json& v) { return Flag(v, group.max); })) {
    return false;
  }
  if (!group.max) {
    return Required(value, "count", [&](const Json& v) {
      return Whole(v, 1, kMaxCarriers, group.count);
    });
  }
  return Optional(value, "count",
                  [&](const Json&) { return Fail(ShowError::kBadValue); });
}

bool ShowReader::ReadWindows(const Json& value, Rules& rules) {
  if (!Object(value, {"2tx3", "3tx3", "2tx5"})) return false;
  const auto window = [&](std::string_view key, std::optional<Khz>& out) {
    return Optional(value, key, [&](const Json& v) {
      return Frequency(v, true, out.emplace());
    });
  };
  return Optional(
             value, "2tx3",
             [&](const Json& v) { return Frequency(v, true, rules.guard); }) &&
         window("3tx3", rules.window_3tx3) && window("2tx5", rules.window_2tx5);
}

// A band as the command line reads it: "b", "LOW:HIGH:STEP" or the TV
// channels, with the same text.
bool ShowReader::ReadBand(const Json& value, BandOption& band) {
  if (!value.is_object()) return Fail(ShowError::kType);
  if (value.contains("tv")) return ReadTvBand(value, band);
  if (!value.contains("b")) return ReadRangeBand(value, band);
  band.kind = BandOption::Kind::kBBand;
  band.band = kBBand;
  band.text = "b";
  bool is_b = false;
  return Object(value, {"b", "count"}) &&
         Optional(value, "b",
                  [&](const Json& v) {
                    return Flag(v, is_b) &&
                           (is_b || Fail(ShowError::kBadValue));
                  }) &&
         ReadBandCount(value, band);
}

bool ShowReader::ReadRangeBand(const Json& value, BandOption& band) {
  band.kind = BandOption::Kind::kRange;
  Band& b = band.band;
  if (!Object(value, {"low", "high", "step", "name", "count"}) ||
      !Required(value, "low",
                [&](const Json& v) { return Frequency(v, false, b.low); }) ||
      !Required(value, "high",
                [&](const Json& v) { return Frequency(v, false, b.high); }) ||
      !Optional(value, "step",
                [&](const Json& v) { return Frequency(v, false, b.step); })) {
    return false;
  }
  if (b.low > b.high) return Fail(ShowError::kBadValue);
  band.text =
      FormatKhz(b.low) + ":" + FormatKhz(b.high) + ":" + FormatKhz(b.step);
  if (!Optional(value, "name", [&](const Json& v) {
        return v.is_string() ? (band.text = v.get<std::string>(), true)
                             : Fail(ShowError::kType);
      })) {
    return false;
  }
  return ReadBandCount(value, band);
}

bool ShowReader::ReadTvBand(const Json& value, BandOption& band) {
  band.kind = BandOption::Kind::kTv;
  if (!Object(value, {"tv", "step", "count"}) ||
      !Required(value, "tv",
                [&](const Json& v) {
                  if (v.is_array() && v.empty()) {
                    return Fail(ShowError::kBadValue);
                  }
                  return Elements(v, [&](const Json& c) {
                    return Whole(c, kFirstTvChannel, kLastTvChannel,
                                 band.channels.emplace_back());
                  });
                }) ||
      !Optional(value, "step", [&](const Json& v) {
        return Frequency(v, false, band.tv_step);
      })) {
    return false;
  }
  std::vector<int>& channels = band.channels;
  std::sort(channels.begin(), channels.end());
  channels.erase(std::unique(channels.begin(), channels.end()), channels.end());
  for (int channel : channels) {
    if (!band.text.empty()) band.text += ',';
    band.text += std::to_string(channel);
  }
  if (band.tv_step != kDefaultTvStep)
    band.text += ":" + FormatKhz(band.tv_step);
  return ReadBandCount(value, band);
}

bool ShowReader::ReadBandCount(const Json& value, BandOption& band) {
  return Optional(value, "count", [&](const Json& v) {
    return Whole(v, 1, kMaxCarriers, band.count.emplace());
  });
}

bool ShowReader::ReadPlan(const Json& value, PlanSheet& sheet) {
  return Object(value, {"proven", "margins", "headroom", "carriers"}) &&
         Optional(value, "proven",
                  [&](const Json& v) { return Flag(v, sheet.proven); }) &&
         Optional(
             value, "margins",
             [&](const Json& v) { return ReadFigures(v, sheet.margins); }) &&
         Optional(
             value, "headroom",
             [&](const Json& v) { return ReadFigures(v, sheet.headroom); }) &&
         Optional(value, "carriers", [&](const Json& v) {
           return Elements(v, [&](const Json& row) {
             return ReadRow(row, sheet.rows.emplace_back());
           });
         });
}

bool ShowReader::ReadFigures(
    const Json& value, std::array<std::optional<Khz>, kFamilyCount>& figures) {
  if (!Object(value, {"2tx3", "3tx3", "2tx5"})) return false;
  for (Family family : kFamilies) {
    std::optional<Khz>& figure = figures[static_cast<int>(family)];
    if (!Optional(value, FamilyName(family), [&](const Json& v) {
          return SignedFrequency(v, figure.emplace());
        })) {
      return false;
    }
  }
  return true;
}

bool ShowReader::ReadRow(const Json& value, PlanSheet::Row& row) {
  return Object(value,
                {"label", "group", "frequency", "band", "fixed", "spare"}) &&
         Optional(value, "label",
                  [&](const Json& v) { return Text(v, row.label); }) &&
         Optional(value, "group",
                  [&](const Json& v) { return Text(v, row.group); }) &&
         Required(
             value, "frequency",
             [&](const Json& v) { return Frequency(v, false, row.khz); }) &&
         Optional(value, "band",
                  [&](const Json& v) { return Text(v, row.band); }) &&
         Optional(value, "fixed",
                  [&](const Json& v) { return Flag(v, row.fixed); }) &&
         Optional(value, "spare",
                  [&](const Json& v) { return Flag(v, row.spare); });
}

}  // namespace

ShowReading ReadShow(std::string_view text) {
  if (text.starts_with(kByteOrderMark))
    text.remove_prefix(kByteOrderMark.size());
  Json root;
  DocumentBuilder builder(root);
  ShowReading reading;
  if (!Json::sax_parse(text.begin(), text.end(), &builder)) {
    reading.error = ShowError::kSyntax;
    const std::size_t byte =
        builder.position() > 0 ? builder.position() - 1 : 0;
    reading.line =
        LineAt(text, text.empty() ? 0 : std::min(byte, text.size() - 1));
    return reading;
  }
  reading = ShowReader(text).Read(root);
  if (reading.error != ShowError::kNone) reading.show = {};
  return reading;
}

std::string_view DescribeShowError(ShowError error) {
  switch (error) {
    case ShowError::kNone:
      return "is fine";
    case ShowError::kSyntax:
      return "is not JSON";
    case ShowError::kNotAShow:
      return "is not a show file (\"format\": \"zelmar-show\")";
    case ShowError::kVersion:
      return "is of a version this program does not read";
    case ShowError::kType:
      return "is of the wrong type";
    case ShowError::kMissing:
      return "is missing";
    case ShowError::kUnknownField:
      return "is not a field of a show file";
    case ShowError::kBadFrequency:
      return "is not a frequency in MHz such as \"806.125\"";
    case ShowError::kBadValue:
      return "is out of its range";
  }
  return "is not a show file";
}

}  // namespace zelmar::plan
