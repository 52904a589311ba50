#pragma once
// The Birthdays sheet: people with their dates of birth and death, the age each reached and
// the zodiac sign of the birthday, listed in order of birth.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/docheader.h"
#include "platform/memtable.h"
#include "sheets/sheet_context.h"

namespace clx {

inline constexpr const char* kBirthdaysTableName = "taSta";
inline constexpr const char* kBirthdaysSectionLabel = "Birthdays";
inline constexpr int kBirthdaysOutputRecord = soBirthday;   // output settings record "birthday"
inline constexpr const char* kBirthdaysGridPage = "StaGrid";
inline constexpr const char* kBirthdaysPrintFormat = "RTF";

inline constexpr const char* kNotesCaption = "Personal Notes";
inline constexpr const char* kNotesHint = "Notes. Double-click to zoom, edit, print.";
inline constexpr const char* kSetDodBlankCaption = "Set D.O.D. to blank";
inline constexpr const char* kBirthdaysPrintCaption = "&Print...";
inline constexpr const char* kTimeEditMask = "!90:00;1;_";
// Refused before a post: the age would be counted backwards.
inline constexpr const char* kDeathBeforeBirthText = "The date of death is before the date of birth!";

inline constexpr int kStarSignSize = 32;
inline constexpr int kBirthdayNameSize = 64;

// In index order; a name is at most 11 characters.
inline constexpr std::array<const char*, 12> kZodiacSigns{
    "Aries", "Taurus", "Gemini", "Cancer", "Leo", "Virgo",
    "Libra", "Scorpio", "Sagittarius", "Capricorn", "Aquarius", "Pisces"};

// The sign of a date's month and day; empty for a date that cannot be decoded.
std::string ZodiacSign(TDateTime date);

// Years from the date of birth to the date of death, or to today when there is none (the
// first day counted, the last not, the average length of the calendar years spanned); nothing
// without a date of birth, or when the end comes before the birth.
std::optional<double> BirthdayAge(TDateTime dob, TDateTime dod, TDateTime today);

// The output wizard's default field list, joined by ";".
std::string_view BirthdaysCsvFields();

// Gives an empty table the fields and sort order of taSta.
void DefineBirthdayFields(MemTable& taSta);
MemTable& DefineBirthdayTables(const TableMaker& make);

// Grid dbgSta in its column order, then the hidden fields.
std::vector<SheetColumn> BirthdayColumns(const SheetContext& ctx);
// dbgStaCalcCellColors: Age and StarSign are result cells; a focused cell is navy, its text
// yellow when it is also selected and white otherwise.
CellColours BirthdayCellColours(std::string_view field, bool selected, bool focused);

// The sheet's events and commands over a taSta defined by DefineBirthdayFields. Installs its
// handlers and removes them when destroyed.
class BirthdaysSheet {
public:
    BirthdaysSheet(MemTable& taSta, const SheetContext& ctx);
    ~BirthdaysSheet();
    BirthdaysSheet(const BirthdaysSheet&) = delete;
    BirthdaysSheet& operator=(const BirthdaysSheet&) = delete;

    MemTable& Table() { return table_; }

    // Table events.
    void taStaNewRecord(MemTable& t);
    void taStaCalcFields(MemTable& t);
    void taStaBeforePost(MemTable& t);

    // A DOD typed into the grid (in the date entry format): empty text clears it; a text that is
    // not a date after 30 December 1899 is refused silently (false) and the value stays. The
    // current row is put into editing when it is not already.
    bool EnterDod(std::string_view text);
    // The same for a value: one that is not above 0 is refused.
    bool EnterDod(TDateTime value);
    // "Set D.O.D. to blank": the current row goes into editing with an empty DOD; failures are
    // ignored.
    void SetDodBlank();
    // True when the page is the grid page.
    bool nbStaPageChanged(std::string_view page) const { return page == kBirthdaysGridPage; }

private:
    bool BeginEdit();

    MemTable& table_;
    const SheetContext& ctx_;
};

}  // namespace clx
