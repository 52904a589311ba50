#include "output/delimited.h"

#include <cmath>
#include <optional>
#include <span>
#include <stdexcept>

#include "engine/interval.h"
#include "files/fileio.h"
#include "platform/format.h"
#include "platform/ui.h"
#include "sheets/money.h"

namespace clx {

namespace {

template <class T>
const T* As(const Value& v) {
    return std::get_if<T>(&v);
}

std::optional<double> NumberOf(const Value& v) {
    if (const auto* d = As<double>(v)) return *d;
    if (const auto* i = As<int64_t>(v)) return static_cast<double>(*i);
    return std::nullopt;
}

// "-12.3400" as "-12.34", "2.0000" as "2", with the locale's separator.
std::string DecimalDigits(std::string text, const Locale& loc) {
    const size_t point = text.find('.');
    if (point == std::string::npos) return text;
    while (text.size() > point + 1 && text.back() == '0') text.pop_back();
    if (text.size() == point + 1) {
        text.pop_back();
        if (text == "-0") text = "0";
        return text;
    }
    text[point] = loc.decimalSeparator;
    return text;
}

std::string FormatOrEmpty(std::string_view pattern, double v, const Locale& loc) {
    try {
        return FormatDateTime(pattern, v, loc);
    } catch (const std::exception&) {
        return {};   // a value outside the calendar has no text
    }
}

}  // namespace

std::string DelimiterText(CsvDelimiter choice, const Locale& loc) {
    switch (choice) {
    case CsvDelimiter::ControlPanel: return std::string(1, loc.listSeparator);
    case CsvDelimiter::Comma: return ",";
    case CsvDelimiter::Semicolon: return ";";
    case CsvDelimiter::Tab: return "\t";
    }
    throw std::invalid_argument("Unknown delimiter choice " + std::to_string(static_cast<int>(choice)) +
                                " (the choices are 0 to 3)");
}

std::string DelimiterText(int choice, const Locale& loc) {
    if (choice < 0 || choice > 3)
        throw std::invalid_argument("Unknown delimiter choice " + std::to_string(choice) + " (the choices are 0 to 3)");
    return DelimiterText(static_cast<CsvDelimiter>(choice), loc);
}

std::vector<std::string> SplitFieldList(std::string_view list) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string_view::npos) end = list.size();
        if (end > start) names.emplace_back(list.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::string DelimitedValueText(const FieldDef& def, const Value& v, std::string_view dateFormat, const Locale& loc) {
    if (std::holds_alternative<std::monostate>(v)) return {};
    switch (def.type) {
    case FieldType::String:
    case FieldType::Memo:
        if (const auto* s = As<std::string>(v)) return *s;
        return {};
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::Word:
    case FieldType::AutoInc:
    case FieldType::LargeInt:
        if (const auto* i = As<int64_t>(v)) return std::to_string(*i);
        if (const auto* d = As<double>(v); d && std::isfinite(*d)) return std::to_string(static_cast<int64_t>(*d));
        return {};
    case FieldType::Boolean:
        if (const auto* b = As<bool>(v)) return *b ? "True" : "False";
        return {};
    case FieldType::Float:
        if (auto d = NumberOf(v)) return NumberText(*d, -9, loc);
        return {};
    case FieldType::Currency:
        if (auto d = NumberOf(v); d && std::isfinite(*d)) return MoneyText(*d, loc);
        return {};
    case FieldType::Date:
    case FieldType::DateTime:
        if (auto d = NumberOf(v)) return FormatOrEmpty(dateFormat, std::trunc(*d), loc);
        return {};
    case FieldType::Time:
        if (auto d = NumberOf(v)) return FormatOrEmpty("hh:mm:ss", *d, loc);
        return {};
    case FieldType::BCD:
        if (const auto* s = As<std::string>(v)) return DecimalDigits(*s, loc);
        return {};
    case FieldType::Blob:
        return {};
    }
    return {};
}

std::string DelimitedField(std::string_view text, std::string_view delimiter) {
    const bool quote = (!delimiter.empty() && text.find(delimiter) != std::string_view::npos) ||
                       text.find_first_of("\"\r\n") != std::string_view::npos;
    if (!quote) return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string DelimitedText(MemTable& table, std::string_view fieldList, bool includeNames, std::string_view delimiter,
                          std::string_view dateFormat, const Locale& loc) {
    const uint64_t position = table.RecordId();
    if (table.State() == TableState::Edit || table.State() == TableState::Insert) table.Post();

    std::vector<std::string> names;
    std::vector<int> indexes;
    for (const std::string& name : SplitFieldList(fieldList)) {
        const int i = table.FieldIndex(name);
        if (i < 0) continue;
        names.push_back(name);
        indexes.push_back(i);
    }

    std::string text;
    const auto line = [&](const std::vector<std::string>& values) {
        for (size_t i = 0; i < values.size(); ++i) {
            if (i) text += delimiter;
            text += DelimitedField(values[i], delimiter);
        }
        text += "\r\n";
    };
    if (includeNames) line(names);
    const auto& defs = table.Fields();
    std::vector<std::string> values(indexes.size());
    for (int row = 0; row < table.RecordCount(); ++row) {
        const std::vector<Value>& stored = table.RowValues(row);
        for (size_t k = 0; k < indexes.size(); ++k) {
            const size_t f = static_cast<size_t>(indexes[k]);
            values[k] = DelimitedValueText(defs[f], stored[f], dateFormat, loc);
        }
        line(values);
    }
    if (position != 0) table.GotoRecordId(position);
    return text;
}

void WriteDelimited(MemTable& table, const std::filesystem::path& fileName, std::string_view fieldList,
                    bool includeNames, std::string_view delimiter, std::string_view dateFormat, const Locale& loc,
                    UiServices* ui) {
    std::optional<BusyCursor> busy;
    if (ui) busy.emplace(*ui);
    const std::string text = DelimitedText(table, fieldList, includeNames, delimiter, dateFormat, loc);
    WriteFileAtomic(fileName, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

}  // namespace clx
