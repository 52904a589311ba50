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

// A change the user has already declined (for example "Delete Record?" answered No): the
// table keeps its state and nothing more is shown.
class TableAbort : public TableError {
public:
    TableAbort() : TableError("the change was abandoned") {}
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

    // Setters require edit or insert state (calculated fields: inside the calc event; auto-
    // increment fields never). The value is converted to the field's type or refused with a
    // TableError naming the field: strings are cut to the field size, BCD is rounded to its
    // places, dates keep whole days, times the fraction; blank text clears a non-text field.
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

// Name under which the built-in record number can be used as the sort field.
inline constexpr const char* kRecordNumberField = "RecID";

class MemTable {
public:
    explicit MemTable(std::string name = {});
    MemTable(const MemTable&) = delete;
    MemTable& operator=(const MemTable&) = delete;
    ~MemTable();

    const std::string& Name() const { return name_; }

    // Structure. The built-in record number is not one of the fields. Fields can be added only
    // in browse state; existing rows get null in a new field.
    void AddField(FieldDef def);
    void AddField(const std::string& name, FieldType type, int size = 0, FieldKind kind = FieldKind::Data);
    const std::vector<FieldDef>& Fields() const { return defs_; }
    int FieldCount() const { return static_cast<int>(defs_.size()); }
    int FieldIndex(const std::string& name) const;  // case-insensitive; -1 when missing
    Field FieldByName(const std::string& name);     // throws TableError when missing
    Field FieldAt(int index);
    // Fields, sort, handlers and filter flag; the table loses its rows.
    void CopyStructureFrom(const MemTable& other);

    // Rows and navigation over the visible rows (filter applied while Filtered()).
    // Moving while a row is edited or inserted posts it first; a refused post stops the move.
    int RecordCount() const { return static_cast<int>(visible_.size()); }
    int RecNo() const { return cur_ + 1; }  // 1-based position of the current row; 0 when empty
    void SetRecNo(int recNo);       // throws TableError outside 1..RecordCount()
    bool Bof() const { return bof_; }
    bool Eof() const { return eof_; }
    bool IsEmpty() const { return RecordCount() == 0; }
    void First();
    void Last();
    void Next();                    // at the last row: sets Eof and stays
    void Prior();                   // at the first row: sets Bof and stays
    void MoveBy(int n);

    // Every row keeps a stable id for its lifetime (never reused within a table).
    uint64_t RecordId() const;      // 0 when there is no current row
    bool GotoRecordId(uint64_t id); // false when the row is gone or hidden by the filter

    // The built-in record number. A new row takes the next number (already inside the
    // new-row event) and keeps it; EmptyTable starts the numbering again at 1, so rows
    // appended by a loader are numbered 1, 2, 3 in reading order. RenumberRecords numbers
    // all rows 1, 2, 3 ... in their stored order.
    int64_t RecordNumber() const;
    void RenumberRecords();

    // Editing.
    TableState State() const { return state_; }
    void Append();                  // new row at the end (insert state)
    void Insert();                  // new row before the current one (insert state)
    void Edit();                    // throws TableError when there is no current row
    void Post();
    void Cancel();
    void Delete();                  // in insert state: Cancel
    // Bulk operations need browse state and run no events; calculated fields and the filter
    // are applied to the rows they add.
    void EmptyTable();              // removes every row without delete events
    // Appends a whole row of values without events (for loaders): one value per data field in
    // field order, or one per field with the calculated ones ignored. A null auto-increment
    // value gets the next number.
    void AppendRaw(std::vector<Value> values);
    // Appends many such rows at once (all or none), sorting once.
    void AppendRawRows(std::vector<std::vector<Value>> rows);
    // Replaces all rows by the given ones (all or none): record numbers 1, 2, 3 in the given
    // order, sorted, first row current.
    void LoadRows(std::vector<std::vector<Value>> rows);
    // Appends the visible rows of another table, fields matched by name (missing ones null).
    void CopyRowsFrom(const MemTable& src);

    // Calculated fields and filter.
    bool Filtered() const { return filtered_; }
    void SetFiltered(bool on);      // moves to the first row
    void Refresh();                 // recomputes calculated fields and the filter; notifies views

    // Sorting by one field (or kRecordNumberField); an empty name leaves the stored order.
    // Rows stay sorted: a posted or appended row goes where the sort puts it, equal keys keep
    // their order. Nulls come first (last when descending).
    void SetSortField(const std::string& name, bool descending = false, bool caseInsensitive = false);
    const std::string& SortField() const { return sortField_; }
    bool SortDescending() const { return sortDescending_; }
    bool SortCaseInsensitive() const { return sortCaseInsensitive_; }

    // Events. A handler that throws leaves the table as it was before the operation (after-
    // events run once the change is complete, so the change stands).
    TableHandlers handlers;

    // Views.
    void AddObserver(TableObserver* o);
    void RemoveObserver(TableObserver* o);
    void FreezeViews();             // nests; views get nothing until released
    void ReleaseViews();
    bool ViewsFrozen() const { return freeze_ > 0; }

    // Raw access for streams, grids and indexes: the values of a visible row (0-based) in field
    // order; calculated fields hold the values last computed for the row.
    const std::vector<Value>& RowValues(int visibleIndex) const;
    uint64_t RowRecordId(int visibleIndex) const;
    // Grows with every change of rows, values, order, filter or structure.
    uint64_t ChangeCount() const { return changes_; }

private:
    friend class Field;
    friend void SuspendHandlers(MemTable& table);
    friend void RestoreHandlers(MemTable& table);
    struct Row;
    struct Scope;
    using RowPtr = std::unique_ptr<Row>;
    static constexpr int kNoSort = -1, kSortByRecNo = -2;

    std::string name_;
    std::vector<FieldDef> defs_;
    std::vector<RowPtr> rows_;      // stored order (sorted when a sort field is set)
    std::vector<int> visible_;      // indexes into rows_ of the rows that pass the filter
    int cur_ = -1;                  // index into visible_; -1 only when nothing is visible
    bool bof_ = true, eof_ = true;
    TableState state_ = TableState::Browse;
    RowPtr edit_;                   // buffer of the row being edited or inserted
    Row* editOf_ = nullptr;         // the stored row being edited
    uint64_t insertBefore_ = 0;     // id of the row a new row goes before; 0: by sort or at the end
    bool filtered_ = false;
    std::string sortField_;
    int sortIndex_ = kNoSort;
    bool sortDescending_ = false, sortCaseInsensitive_ = false;
    std::vector<TableObserver*> observers_;
    int freeze_ = 0;
    bool pending_ = false;          // something happened while the views were frozen
    Row* ctx_ = nullptr;            // the row a calculation or filter handler is looking at
    bool inCalc_ = false;
    uint64_t nextId_ = 1;
    int64_t lastRecNo_ = 0;
    uint64_t changes_ = 0;
    std::vector<int64_t> autoMax_;  // per field: the highest auto-increment value in use
    bool autoMaxValid_ = false;

    std::string Err(const std::string& what) const;
    void CheckField(int index) const;
    void RequireBrowse(const char* what) const;
    void PostPending();
    const Row* CurrentRow() const;
    const Row* ReadRow() const;
    const Value& ReadValue(int index) const;
    void WriteValue(int index, const Value& v);
    Value Coerce(int index, const Value& v) const;
    bool HasCalcFields() const;
    int64_t& AutoMax(size_t index);
    void NoteAutoInc(const Row& r);
    void RunCalc(Row& r, const TableEvent& h);
    bool RunFilter(Row& r, const FilterEvent& h);
    bool Less(const Row& a, const Row& b) const;
    void SortRows();
    size_t SortedPos(const Row& r) const;
    int VisibleIndexOf(const Row* r) const;
    void Reindex(const Row* keep, int fallback);
    void MoveTo(int index, bool bof, bool eof);
    void BeginInsert(bool append);
    std::vector<RowPtr> PrepareRows(std::vector<std::vector<Value>>& in, int64_t firstRecNo,
                                    bool countExisting);
    void CommitAppended(std::vector<RowPtr> rows);
    void HandlersReplaced(bool filterChanged);
    void Changed();
    void EmitData();
    void EmitState();
    void EmitScroll();
    void EmitRecord(int index);
};

// Handler suspension on one shared stack of at most 32 levels: Suspend saves and clears every
// handler of the table (events and the filter), so a suspended table shows all its rows;
// Restore puts the table's most recent level back. A suspension beyond 32 levels is ignored, and
// so is the restore that matches it. A table only ever gets back its own handlers; a restore
// with nothing saved for the table does nothing.
void SuspendHandlers(MemTable& table);
void RestoreHandlers(MemTable& table);
int SuspensionDepth();

// The record ids of the visible rows in table order, so that a walk that posts (and re-sorts)
// rows can still visit each row once.
std::vector<uint64_t> VisibleRowIds(const MemTable& table);

// Re-sorts a sorted table and keeps the current row current; used as an after-post handler.
void ResortKeepingRow(MemTable& table);

// Keeps a table's handlers suspended for a scope.
class HandlerSuspension {
public:
    explicit HandlerSuspension(MemTable& t) : t_(t) { SuspendHandlers(t_); }
    ~HandlerSuspension();
    HandlerSuspension(const HandlerSuspension&) = delete;
    HandlerSuspension& operator=(const HandlerSuspension&) = delete;
private:
    MemTable& t_;
};

}  // namespace clx
