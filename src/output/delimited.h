#pragma once
// Delimited text (CSV) of a table from an explicit field list, one line per row.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "files/docheader.h"
#include "platform/locale.h"
#include "platform/memtable.h"

namespace clx {

class UiServices;

// The delimiter of an output settings record's choice: the locale's list separator, ",", ";"
// or the tab character. Throws std::invalid_argument for a choice outside the list.
std::string DelimiterText(CsvDelimiter choice, const Locale& loc);
std::string DelimiterText(int choice, const Locale& loc);

// The names of a field list ("DFrom;DTo;Days"), empty names dropped.
std::vector<std::string> SplitFieldList(std::string_view fieldList);

// The text of one stored value: strings and memos as stored; integers in decimal digits;
// booleans True or False; floats by NumberText with at most 9 decimals and no trailing zeros;
// currency as MoneyText; dates and date-times by dateFormat (so no time is written); times
// "hh:mm:ss"; packed decimals as their exact digits without trailing zeros, with the locale's
// decimal separator (the Multiple sheet's weeks and years are such fields); null, blobs and
// any other type as empty text.
std::string DelimitedValueText(const FieldDef& def, const Value& value, std::string_view dateFormat,
                               const Locale& loc);

// A value as it goes into a line: written as it is, unless it holds the delimiter, a double
// quote, a carriage return or a line feed; then it is put in double quotes with its own quotes
// doubled, so that it stays one value of one line.
std::string DelimitedField(std::string_view text, std::string_view delimiter);

// The whole text: with includeNames a first line of the listed names that the table has, then
// one line per row in the table's order with the values of those fields, each line ended by
// CR LF. Listed names the table lacks are left out everywhere. A pending edit is posted first;
// the current row is kept.
std::string DelimitedText(MemTable& table, std::string_view fieldList, bool includeNames,
                          std::string_view delimiter, std::string_view dateFormat, const Locale& loc);

// DelimitedText written at once over the file (a new file renamed over the old one, so a failed
// write leaves the old file as it was). Throws FileError naming the file when it cannot be
// written; the caller decides whether the user hears of it. The busy cursor shows meanwhile
// when ui is given.
void WriteDelimited(MemTable& table, const std::filesystem::path& fileName, std::string_view fieldList,
                    bool includeNames, std::string_view delimiter, std::string_view dateFormat,
                    const Locale& loc, UiServices* ui = nullptr);

}  // namespace clx
