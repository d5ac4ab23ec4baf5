#include "parameters/parameters.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace preisach::parameters {

namespace {

bool isBlank(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// A value of the record and the text it was read from: [begin, end) of the
// file's text.
struct ValueRead {
  const char* name;
  std::size_t begin;
  std::size_t end;
  std::string shown;  // as the echo prints it
};

struct Place {
  int line;    // from 1
  int column;  // from 1, in bytes
  std::size_t lineBegin;
  std::size_t lineEnd;
};

Place placeOf(const std::string& text, std::size_t offset) {
  Place place{1, 1, 0, 0};
  for (std::size_t k = 0; k < offset && k < text.size(); ++k)
    if (text[k] == '\n') {
      ++place.line;
      place.lineBegin = k + 1;
    }
  place.column = static_cast<int>(offset - place.lineBegin) + 1;
  place.lineEnd = text.find('\n', place.lineBegin);
  if (place.lineEnd == std::string::npos) place.lineEnd = text.size();
  if (place.lineEnd > place.lineBegin && text[place.lineEnd - 1] == '\r') --place.lineEnd;
  return place;
}

// The run of non-blank characters around `offset`: [begin, end).
std::pair<std::size_t, std::size_t> wordAround(const std::string& text, std::size_t offset) {
  std::size_t begin = offset, end = offset;
  while (begin > 0 && !isBlank(text[begin - 1])) --begin;
  while (end < text.size() && !isBlank(text[end])) ++end;
  return {begin, end};
}

// A piece of text for a message: quoted, cut to a readable length.
std::string quoted(const std::string& text, std::size_t begin, std::size_t end) {
  constexpr std::size_t kShown = 60;
  const bool cut = end - begin > kShown;
  return "\"" + escapedText(text.substr(begin, cut ? kShown : end - begin)) + (cut ? "...\"" : "\"");
}

// "a = 1", "a = 1 and b = 2", "a = 1, b = 2 and c = 3"
std::string listed(const std::vector<const ValueRead*>& values) {
  std::string list;
  for (std::size_t k = 0; k < values.size(); ++k) {
    if (k > 0) list += k + 1 == values.size() ? " and " : ", ";
    list += std::string(values[k]->name) + " = " + values[k]->shown;
  }
  return list;
}

// Where the record went out of step before the text at `failure` could not
// be read. The reading rules let one word give several values (100G is 100
// and G; 200.5 is 200 and .5), after which every value takes text written
// for another, so the first word of the record that gave more than one value
// is the likely mistake; without one, the word of the value before.
std::string outOfStep(const std::string& text, const std::vector<ValueRead>& values, std::size_t failure) {
  if (values.empty()) return {};
  const ValueRead* culprit = &values.back();
  for (std::size_t k = 1; k < values.size(); ++k)
    if (values[k].begin > 0 && values[k].begin == values[k - 1].end && !isBlank(text[values[k].begin - 1])) {
      culprit = &values[k - 1];
      break;
    }
  const auto [begin, end] = wordAround(text, culprit->begin);
  std::vector<const ValueRead*> inWord;
  for (const ValueRead& v : values)
    if (v.begin >= begin && v.begin < end) inWord.push_back(&v);
  if (failure > begin && failure <= end)
    return "; the text before it, " + quoted(text, begin, end) + ", gave " + listed(inWord);
  const Place place = placeOf(text, begin);
  return "; the text " + quoted(text, begin, end) + " at line " + std::to_string(place.line) + ", column " +
         std::to_string(place.column) + " gave " + listed(inWord);
}

// The line of `place`, quoted whole or, when long, around its column.
std::string quotedLine(const std::string& text, const Place& place) {
  constexpr std::size_t kWhole = 100, kBefore = 40, kAfter = 40;
  const std::size_t at = place.lineBegin + static_cast<std::size_t>(place.column - 1);
  const bool whole = place.lineEnd - place.lineBegin <= kWhole;
  const std::size_t begin = !whole && at - place.lineBegin > kBefore ? at - kBefore : place.lineBegin;
  const std::size_t end = !whole && place.lineEnd - at > kAfter ? at + kAfter : place.lineEnd;
  return (begin > place.lineBegin ? "\"..." : "\"") + escapedText(text.substr(begin, end - begin)) +
         (end < place.lineEnd ? "...\"" : "\"");
}

// Token reader over the whole file with the semantics of a formatted text
// stream: whitespace is skipped before every value, a number takes the
// longest prefix that forms one, and the stream ends up "at end of file"
// once a read has looked past the last character. After a failed read every
// later read fails as well.
class Scanner {
 public:
  // A UTF-8 byte-order mark, which many editors put at the start of a file,
  // is not part of the first value.
  explicit Scanner(std::string text) : text_(std::move(text)) {
    if (text_.compare(0, 3, "\xEF\xBB\xBF") == 0) text_.erase(0, 3);
  }

  const std::string& text() const { return text_; }
  // Where the value being read, or the text that could not be read, starts.
  std::size_t valueStart() const { return valueStart_; }
  std::size_t position() const { return pos_; }

  bool atEnd() const { return endSeen_ || failed_; }
  ReadFailure failure() const { return failure_; }
  const std::string& found() const { return found_; }

  bool holdsOnlyWhitespace() const {
    for (char c : text_)
      if (!isBlank(c)) return false;
    return true;
  }

  bool readReal(float& value) {
    if (!startValue()) return false;
    const std::size_t end = scanDecimal(pos_);
    if (end == pos_) return fail(ReadFailure::NotANumber);
    const std::string token = text_.substr(pos_, end - pos_);
    errno = 0;
    const float parsed = std::strtof(token.c_str(), nullptr);
    // Overflow fails, as it does for a formatted stream; an underflow to a
    // subnormal or zero is accepted.
    if (std::isinf(parsed)) return fail(ReadFailure::OutOfRange, token);
    finishValue(end);
    value = parsed;
    return true;
  }

  bool readInteger(std::int32_t& value) {
    if (!startValue()) return false;
    std::size_t i = pos_;
    const bool negative = i < text_.size() && text_[i] == '-';
    if (i < text_.size() && (text_[i] == '+' || text_[i] == '-')) ++i;
    const std::size_t digitsStart = i;
    std::int64_t magnitude = 0;
    bool overflow = false;
    while (i < text_.size() && isDigit(text_[i])) {
      magnitude = magnitude * 10 + (text_[i] - '0');
      if (magnitude > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) {
        overflow = true;
        magnitude = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
      }
      ++i;
    }
    if (i == digitsStart) return fail(ReadFailure::NotANumber);
    const std::int64_t signedValue = negative ? -magnitude : magnitude;
    if (overflow || signedValue > std::numeric_limits<std::int32_t>::max())
      return fail(ReadFailure::OutOfRange, text_.substr(pos_, i - pos_));
    finishValue(i);
    value = static_cast<std::int32_t>(signedValue);
    return true;
  }

  bool readCharacter(char& value) {
    if (!startValue()) return false;
    value = text_[pos_++];
    return true;
  }

  // Drops the rest of the current line with its line feed. Meeting a failed
  // stream, or no line feed before the end, leaves the stream at its end.
  void discardLine() {
    if (atEnd()) {
      endSeen_ = true;
      return;
    }
    const std::size_t lineFeed = text_.find('\n', pos_);
    if (lineFeed == std::string::npos) {
      pos_ = text_.size();
      endSeen_ = true;
    } else {
      pos_ = lineFeed + 1;
    }
  }

 private:
  // Skips whitespace before a value; false when the stream has failed or ends.
  bool startValue() {
    if (failed_) return false;
    if (endSeen_) return fail(ReadFailure::EndOfFile);
    while (pos_ < text_.size() && isBlank(text_[pos_])) ++pos_;
    valueStart_ = pos_;
    if (pos_ == text_.size()) {
      endSeen_ = true;
      return fail(ReadFailure::EndOfFile);
    }
    return true;
  }

  // A number that runs up to the last character has looked past it.
  void finishValue(std::size_t end) {
    pos_ = end;
    if (pos_ == text_.size()) endSeen_ = true;
  }

  // End of the longest prefix at `from` of the form [sign] digits [. digits]
  // [e|E [sign] digits], with at least one mantissa digit; `from` if none.
  std::size_t scanDecimal(std::size_t from) const {
    std::size_t i = from;
    const std::size_t n = text_.size();
    if (i < n && (text_[i] == '+' || text_[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < n && isDigit(text_[i])) ++i, ++digits;
    if (i < n && text_[i] == '.') {
      ++i;
      while (i < n && isDigit(text_[i])) ++i, ++digits;
    }
    if (digits == 0) return from;
    if (i < n && (text_[i] == 'e' || text_[i] == 'E')) {
      std::size_t j = i + 1;
      if (j < n && (text_[j] == '+' || text_[j] == '-')) ++j;
      if (j < n && isDigit(text_[j])) {
        while (j < n && isDigit(text_[j])) ++j;
        i = j;
      }
    }
    return i;
  }

  bool fail(ReadFailure failure, std::string found = {}) {
    failed_ = true;
    failure_ = failure;
    if (found.empty() && failure == ReadFailure::NotANumber) found = wordAt(pos_);
    found_ = std::move(found);
    return false;
  }

  // The run of non-blank characters at `from`, cut to a readable length.
  std::string wordAt(std::size_t from) const {
    constexpr std::size_t kShown = 24;
    std::size_t end = from;
    while (end < text_.size() && !isBlank(text_[end]) && end - from < kShown) ++end;
    return text_.substr(from, end - from);
  }

  std::string text_;
  std::size_t pos_ = 0;
  std::size_t valueStart_ = 0;
  bool endSeen_ = false;
  bool failed_ = false;
  ReadFailure failure_ = ReadFailure::None;
  std::string found_;
};

// Reads one record field by field, echoing each label and value as it goes,
// and remembers the first field that could not be read.
class RecordReader {
 public:
  RecordReader(Scanner& scanner, std::ostream& out) : scanner_(scanner), out_(out) {}

  void real(const char* name, const char* label, float& value) {
    note(name, scanner_.readReal(value), value);
    out_ << label << value << std::endl;
  }
  void integer(const char* name, const char* label, std::int32_t& value) {
    note(name, scanner_.readInteger(value), value);
    out_ << label << value << std::endl;
  }
  void character(const char* name, const char* label, char& value) {
    note(name, scanner_.readCharacter(value), value);
    out_ << label << value << std::endl;
  }
  void shape(const char* name, const char* label, model::DensityShape& value) {
    char letter = static_cast<char>(value);
    character(name, label, letter);
    value = static_cast<model::DensityShape>(letter);
  }
  void field(const ParameterField& f, ParameterSet& p) {
    switch (f.kind) {
      case FieldKind::Real:
        return real(f.name, f.label, p.*f.real);
      case FieldKind::Integer:
        return integer(f.name, f.label, p.*f.integer);
      case FieldKind::Flag:
        return character(f.name, f.label, p.*f.letter);
      case FieldKind::Shape:
        return shape(f.name, f.label, p.*f.shape);
    }
  }

  int failedField() const { return failedField_; }
  const char* failedName() const { return failedName_; }
  const std::vector<ValueRead>& values() const { return values_; }

 private:
  template <typename Value>
  void note(const char* name, bool read, const Value& value) {
    ++field_;
    if (read) {
      std::ostringstream shown;
      shown << value;
      values_.push_back({name, scanner_.valueStart(), scanner_.position(), escapedText(shown.str())});
    } else if (failedField_ == 0) {
      failedField_ = field_;
      failedName_ = name;
    }
  }

  Scanner& scanner_;
  std::ostream& out_;
  int field_ = 0;
  int failedField_ = 0;
  const char* failedName_ = nullptr;
  std::vector<ValueRead> values_;
};

// A temperature at or above Tc is lowered to Tc - 10 (a float subtraction).
void keepBelowTc(float& temperature, float Tc, const char* message, std::ostream& out, const KeyPause& pause) {
  if (!(temperature >= Tc)) return;
  temperature = Tc - 10.0f;
  out << message << temperature << std::endl;
  pause();
}

}  // namespace

ReadResult readParameterFile(std::istream& file, ParameterSet& p, std::ostream& out, const KeyPause& pause) {
  Scanner scanner{std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>())};
  ReadResult result;
  if (scanner.holdsOnlyWhitespace()) {
    result.status = ReadStatus::NoValue;
    return result;
  }
  // The end-of-file test stands before each record only: a record whose line
  // ends in a line feed is followed by one more, empty, read and echo.
  for (int record = 1; !scanner.atEnd(); ++record) {
    RecordReader r(scanner, out);
    for (const ParameterField& field : parameterFields()) {
      r.field(field, p);
      // The limit uses the Tc of the same record, read before both fields.
      if (field.lowered != nullptr) keepBelowTc(p.*field.real, p.Tc, field.lowered, out, pause);
    }
    scanner.discardLine();

    if (r.failedField() == 0) continue;
    // Nothing but whitespace after the last record: the empty read that
    // follows it is no error.
    if (r.failedField() == 1 && scanner.failure() == ReadFailure::EndOfFile) continue;
    result.status = ReadStatus::FieldUnreadable;
    result.record = record;
    result.field = r.failedField();
    result.fieldName = r.failedName();
    result.failure = scanner.failure();
    result.found = escapedText(scanner.found());
    const Place place = placeOf(scanner.text(), scanner.valueStart());
    result.line = place.line;
    result.column = place.column;
    result.quotedLine = quotedLine(scanner.text(), place);
    result.context = outOfStep(scanner.text(), r.values(), scanner.valueStart());
  }
  return result;
}

const std::vector<NamedValue>& continuousValues() {
  static const std::vector<NamedValue> values = [] {
    std::vector<NamedValue> fittable;
    for (const ParameterField& field : parameterFields())
      if (field.fittable) fittable.push_back({field.name, field.real});
    return fittable;
  }();
  return values;
}

const NamedValue* findContinuousValue(const std::string& name) {
  for (const NamedValue& value : continuousValues())
    if (name == value.name) return &value;
  return nullptr;
}

namespace {

std::string shortest(float value) {
  char text[64];
  const std::to_chars_result end = std::to_chars(text, text + sizeof text, value);
  return std::string(text, end.ptr);
}

}  // namespace

std::string formatParameterRecord(const ParameterSet& p) {
  std::string record;
  for (const ParameterField& field : parameterFields()) {
    if (!record.empty()) record += " ";
    switch (field.kind) {
      case FieldKind::Real:
        record += shortest(p.*field.real);
        break;
      case FieldKind::Integer:
        record += std::to_string(p.*field.integer);
        break;
      case FieldKind::Flag:
        record += std::string(1, p.*field.letter);
        break;
      case FieldKind::Shape:
        record += std::string(1, static_cast<char>(p.*field.shape));
        break;
    }
  }
  return record + "\n";
}

std::string escapedText(const std::string& text) {
  std::string shown;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) {
      shown += c;
    } else {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02X", static_cast<unsigned>(byte));
      shown += code;
    }
  }
  return shown;
}

std::string describeReadFailure(const ReadResult& result) {
  switch (result.status) {
    case ReadStatus::Complete:
      return "all records read";
    case ReadStatus::NoValue:
      return "the file holds no value";
    case ReadStatus::FieldUnreadable:
      break;
  }
  const std::string value = "value " + std::to_string(result.field) + " (" + result.fieldName + ")";
  if (result.failure == ReadFailure::EndOfFile)
    return "record " + std::to_string(result.record) + ", " + value +
           " cannot be read: the file ends inside the record";
  std::string line = "line " + std::to_string(result.line) + ", column " + std::to_string(result.column) + ": " +
                     value + " cannot be read from \"" + result.found + "\"";
  line += result.failure == ReadFailure::OutOfRange ? ", a number out of the range of its field" : ", not a number";
  line += result.context;
  line += "; the line reads " + result.quotedLine;
  return line;
}

}  // namespace preisach::parameters
