#pragma once

// The record file of a project, in one place: the record name of a drawing,
// the line written for it, the Julian dates in it, and reading the file back
// into the drawing table. Users keep record files and earlier runs left
// them: their form never changes.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veldra {

// A Julian date (or any finite number) in plain decimal notation: at most 15
// significant digits, "." as the decimal point, no grouping, no exponent and
// no trailing zeros after the point (2453585.68746528, 2453585.5, 0.000125).
std::string julianText(double value);

// Reads a number written in plain decimal notation (an optional sign, digits,
// an optional point and digits; blanks around it are allowed). Nothing when
// the text is not such a number. A number too large for a double gives
// infinity, one too small 0.
std::optional<double> parsePlainNumber(std::string_view text);

// The number at the start of a text, as a threshold box is read: leading
// blanks skipped, then an optional sign, digits and a fraction ("50%" gives
// 50); 0 when the text does not start with a number.
double thresholdNumber(std::string_view text);

// The record name of a drawing file (UTF-8): "," replaced by "_", the
// extension (".dwg", always four bytes) dropped, upper-cased, accented
// letters too. A double quote, a line break
// or any other control character is replaced by "_" as well, so that every
// name reads back as it was written.
std::string recordName(std::string_view fileName);

// One line of the record file: "NAME,date,handles,END" in quotes, CR LF. A
// drawing without a date has an empty date field.
std::string recordLine(std::string_view name, std::optional<double> date, std::string_view handles);

// One record of the record file: the text between the line's quotes.
struct Record {
  std::string name;
  double date = 0;  // 0 for an empty date field: a drawing without a date
  std::string handles;
};
// Nothing when the record has fewer than three commas, does not end in
// ",END", or has a date field that is neither empty nor a finite number;
// `why`, when given, then tells which.
std::optional<Record> parseRecord(std::string_view item, std::string* why = nullptr);

// The drawing table: one entry per counted drawing, filled from the record
// file in its order; entries without a record keep name "", date 0 and no
// handles. A date of 0 also stands for a drawing whose date could not be read.
struct DrawingTable {
  std::vector<std::string> names;
  std::vector<double> times;
  std::vector<std::string> handles;

  explicit DrawingTable(std::size_t size = 0) : names(size), times(size, 0.0), handles(size) {}
  std::size_t size() const { return names.size(); }
};

// Fills the table from the record file, a line at a time. Gives the reason,
// for the user, when the file cannot be read, a line is damaged or too long,
// or there are more records than the table has entries; the file is closed
// before it returns. A missing record file leaves every entry empty.
std::optional<std::string> readRecordFile(const std::filesystem::path& recordFile, DrawingTable& table);

}  // namespace veldra
