#include "driver/parameters.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <string>

namespace preisach::driver {

namespace {

bool isBlank(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Token reader over the whole file with the semantics of a formatted text
// stream: whitespace is skipped before every value, a number takes the
// longest prefix that forms one, and the stream ends up "at end of file"
// once a read has looked past the last character. After a failed read every
// later read fails as well.
class Scanner {
 public:
  explicit Scanner(std::string text) : text_(std::move(text)) {}

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
    note(name, scanner_.readReal(value));
    out_ << label << value << std::endl;
  }
  void integer(const char* name, const char* label, std::int32_t& value) {
    note(name, scanner_.readInteger(value));
    out_ << label << value << std::endl;
  }
  void character(const char* name, const char* label, char& value) {
    note(name, scanner_.readCharacter(value));
    out_ << label << value << std::endl;
  }
  void shape(const char* name, const char* label, model::DensityShape& value) {
    char letter = static_cast<char>(value);
    character(name, label, letter);
    value = static_cast<model::DensityShape>(letter);
  }

  int failedField() const { return failedField_; }
  const char* failedName() const { return failedName_; }

 private:
  void note(const char* name, bool read) {
    ++field_;
    if (!read && failedField_ == 0) {
      failedField_ = field_;
      failedName_ = name;
    }
  }

  Scanner& scanner_;
  std::ostream& out_;
  int field_ = 0;
  int failedField_ = 0;
  const char* failedName_ = nullptr;
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
    r.real("Tc", "Tc=", p.Tc);
    r.real("mu0", "mu0=", p.mu0);
    r.real("Gamma", "Gamma=", p.Gamma);
    r.real("hc0_mean", "hc0_mean=", p.hc0_mean);
    r.real("Gamma_c", "Gamma_c=", p.Gamma_c);
    r.real("sigmac0", "sigmac0=", p.sigmac0);
    r.real("Gamma_cprim", "Gamma_cprim=", p.Gamma_cprim);
    r.real("sigmai0", "sigmai0=", p.sigmai0);
    r.real("Gamma_i", "Gamma_i=", p.Gamma_i);
    r.real("km", "km=", p.km);
    r.real("N", "N=", p.N);
    r.shape("PDF", "PDF=", p.PDF);
    r.integer("m", "m=", p.m);
    r.real("MC_err", "MC_err=", p.MC_err);
    r.character("Calculate_ZFCFC", "Calculate ZFCFC: ", p.Calculate_ZFCFC);
    r.real("ha", "ha=", p.ha);
    r.real("T_max", "T_max=", p.T_max);
    keepBelowTc(p.T_max, p.Tc, "T_max < Tc therefore T_max assigned as Tc-10=", out, pause);
    r.character("Calculate_Hysteresis", "Calculate Hysteresis: ", p.Calculate_Hysteresis);
    r.real("T_hyst", "T_hyst=", p.T_hyst);
    // The message names T_max although T_hyst is the value lowered; scripts
    // that read the console expect it so.
    keepBelowTc(p.T_hyst, p.Tc, "T_hyst < Tc therefore T_max assigned as Tc-10=", out, pause);
    r.real("Ha_max", "Ha_max=", p.Ha_max);
    r.real("s", "s=", p.s);
    r.real("lambda", "lambda=", p.lambda);
    r.real("f", "f=", p.f);
    r.character("Calculate_PDF", "Calculate PDF", p.Calculate_PDF);
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
    result.found = scanner.found();
  }
  return result;
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
  std::string line = "record " + std::to_string(result.record) + ", value " + std::to_string(result.field) + " (" +
                     result.fieldName + ") cannot be read: ";
  switch (result.failure) {
    case ReadFailure::EndOfFile:
      line += "the file ends inside the record";
      break;
    case ReadFailure::NotANumber:
      line += "\"" + result.found + "\" is not a number";
      break;
    case ReadFailure::OutOfRange:
      line += result.found + " is out of range";
      break;
    case ReadFailure::None:
      break;
  }
  return line;
}

}  // namespace preisach::driver
