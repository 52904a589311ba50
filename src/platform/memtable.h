#pragma once
// MemTable: an in-memory table of typed rows with a current row, browse / edit / insert
// states, calculated fields, a view filter, an optional sort field and events.
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "platform/datetime.h"

namespace clx {

// The numbers are the type codes of the table stream.
enum class FieldType : int16_t {
    String = 1, SmallInt = 2, Integer = 3, Word = 4, Boolean = 5, Float = 6, Currency = 7,
    BCD = 8, Date = 9, Time = 10, DateTime = 11, AutoInc = 12, Blob = 13, Memo = 14,
    LargeInt = 21,
};

enum class FieldKind { Data, Calculated };
enum class TableState { Inactive, Browse, Edit, Insert };

// Raised by table operations that are not allowed (also by event handlers to refuse a change;
// the table then keeps its previous state and the message is shown to the user).
class TableError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct FieldDef {
    std::string name;
    FieldType type = FieldType::Integer;
    int size = 0;  // string: characters; BCD: decimal places (4 when 0)
    FieldKind kind = FieldKind::Data;
};

// A stored value. Integers of every width are int64; float, currency, date, time and
// date-time are double (TDateTime for the date kinds); strings, memos and blobs are bytes;
// BCD is an exact decimal text such as "-12.3400".
using Value = std::variant<std::monostate, int64_t, double, bool, std::string>;

class MemTable;

// Access to one field of the current row (or of the row being edited or inserted).
class Field {
public:
    const std::string& Name() const;
    FieldType Type() const;
    int Size() const;
    FieldKind Kind() const;
    int Index() const { return index_; }

    bool IsNull() const;
    const Value& AsValue() const;
    std::string AsString() const;    // "" for null; dates formatted as ISO
    int64_t AsInteger() const;       // 0 for null
    double AsFloat() const;          // 0 for null
    bool AsBoolean() const;          // false for null
    TDateTime AsDateTime() const;    // 0 for null

    // Setters require edit or insert state (calculated fields: inside the calc event).
    // Strings longer than the field size are cut to it.
    void Clear();
    void SetValue(const Value& v);
    void SetString(const std::string& s);
    void SetInteger(int64_t v);
    void SetFloat(double v);
    void SetBoolean(bool v);
    void SetDateTime(TDateTime v);

private:
    friend class MemTable;
    Field(MemTable* t, int index) : table_(t), index_(index) {}
    MemTable* table_;
    int index_;
};

// Notified by the table when something the views show has changed; not called while the
// table's views are frozen (one DataChanged is sent when they are released).
class TableObserver {
public:
    virtual ~TableObserver() = default;
    virtual void DataChanged(MemTable&) {}            // rows, order, filter or values
    virtual void RecordChanged(MemTable&, int /*field index*/) {}  // a field of the edited row
    virtual void Scrolled(MemTable&) {}                // current row moved
    virtual void StateChanged(MemTable&) {}
};

using TableEvent = std::function<void(MemTable&)>;
using FilterEvent = std::function<bool(MemTable&)>;  // true keeps the current row visible

struct TableHandlers {
    TableEvent onNewRecord, beforeInsert, afterInsert, beforePost, afterPost,
        beforeDelete, afterDelete, afterCancel, onCalcFields;
    FilterEvent onFilterRecord;
};

class MemTable {
public:
    explicit MemTable(std::string name = {});
    MemTable(const MemTable&) = delete;
    MemTable& operator=(const MemTable&) = delete;
    ~MemTable();

    const std::string& Name() const { return name_; }

    // Structure. The built-in record number is not one of the fields.
    void AddField(FieldDef def);
    void AddField(const std::string& name, FieldType type, int size = 0, FieldKind kind = FieldKind::Data);
    const std::vector<FieldDef>& Fields() const { return defs_; }
    int FieldCount() const { return static_cast<int>(defs_.size()); }
    int FieldIndex(const std::string& name) const;  // case-insensitive; -1 when missing
    Field FieldByName(const std::string& name);     // throws TableError when missing
    Field FieldAt(int index);
    void CopyStructureFrom(const MemTable& other);  // fields, sort, handlers and filter flag

    // Rows and navigation over the visible rows (filter applied while Filtered()).
    int RecordCount() const;
    int RecNo() const;              // 1-based position of the current row; 0 when empty
    void SetRecNo(int recNo);
    bool Bof() const;
    bool Eof() const;
    bool IsEmpty() const { return RecordCount() == 0; }
    void First();
    void Last();
    void Next();
    void Prior();
    void MoveBy(int n);

    // Every row keeps a stable id for its lifetime (never reused within a table).
    uint64_t RecordId() const;      // 0 when there is no current row
    bool GotoRecordId(uint64_t id); // false when the row is gone or hidden by the filter

    // The built-in record number: rows numbered 1, 2, 3 ... in their stored order
    // (renumbered by RenumberRecords, as after a load).
    int64_t RecordNumber() const;
    void RenumberRecords();

    // Editing.
    TableState State() const { return state_; }
    void Append();                  // new row at the end (insert state)
    void Insert();                  // new row before the current one (insert state)
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    void EmptyTable();              // removes every row without delete events
    // Appends a whole row of data-field values in field order without events (for loaders).
    void AppendRaw(std::vector<Value> values);

    // Calculated fields and filter.
    bool Filtered() const { return filtered_; }
    void SetFiltered(bool on);
    void Refresh();                 // recomputes calculated fields and the filter; notifies views

    // Sorting by one field; an empty name leaves the stored order.
    void SetSortField(const std::string& name, bool descending = false, bool caseInsensitive = false);
    const std::string& SortField() const { return sortField_; }
    bool SortDescending() const { return sortDescending_; }

    // Events.
    TableHandlers handlers;

    // Views.
    void AddObserver(TableObserver* o);
    void RemoveObserver(TableObserver* o);
    void FreezeViews();             // nests; views get nothing until released
    void ReleaseViews();
    bool ViewsFrozen() const { return freeze_ > 0; }

    // Raw access for streams and indexes: data values of a visible row (0-based), in field order.
    const std::vector<Value>& RowValues(int visibleIndex) const;
    uint64_t ChangeCount() const { return changes_; }  // grows with every change of rows or order

private:
    friend class Field;
    struct Row;
    std::string name_;
    std::vector<FieldDef> defs_;
    std::vector<std::unique_ptr<Row>> rows_;  // stored order (sorted when a sort field is set)
    std::vector<int> visible_;                // indexes into rows_ of the rows that pass the filter
    int cur_ = -1;                            // index into visible_
    TableState state_ = TableState::Browse;
    std::unique_ptr<Row> edit_;               // buffer of the row being edited or inserted
    int insertAt_ = -1;
    bool filtered_ = false;
    std::string sortField_;
    bool sortDescending_ = false, sortCaseInsensitive_ = false;
    std::vector<TableObserver*> observers_;
    int freeze_ = 0;
    bool pendingNotify_ = false;
    bool inCalc_ = false;
    uint64_t nextId_ = 1;
    uint64_t changes_ = 0;
    // implementation helpers live in the .cpp
    void Rebuild();
    void Notify();
};

// Handler suspension on one shared stack of at most 32 levels: Suspend saves and clears every
// handler of the table (events and the filter), so a suspended table shows all its rows;
// Restore pops the top level back. A 33rd nested suspension is ignored.
void SuspendHandlers(MemTable& table);
void RestoreHandlers(MemTable& table);
int SuspensionDepth();

// Re-sorts a sorted table and keeps the current row current; used as an after-post handler.
void ResortKeepingRow(MemTable& table);

// Keeps a table's handlers suspended for a scope.
class HandlerSuspension {
public:
    explicit HandlerSuspension(MemTable& t) : t_(t) { SuspendHandlers(t_); }
    ~HandlerSuspension() { RestoreHandlers(t_); }
    HandlerSuspension(const HandlerSuspension&) = delete;
    HandlerSuspension& operator=(const HandlerSuspension&) = delete;
private:
    MemTable& t_;
};

}  // namespace clx
