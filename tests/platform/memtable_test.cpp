#include "platform/memtable.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace clx;

namespace {

// Name, N and a calculated Twice = N * 2 when a calc handler is installed.
void MakeSimple(MemTable& t) {
    t.AddField("Name", FieldType::String, 10);
    t.AddField("N", FieldType::Integer);
    t.AddField("Twice", FieldType::Integer, 0, FieldKind::Calculated);
}

void Add(MemTable& t, const std::string& name, int64_t n) {
    t.Append();
    t.FieldByName("Name").SetString(name);
    t.FieldByName("N").SetInteger(n);
    t.Post();
}

std::vector<std::string> Names(MemTable& t) {
    std::vector<std::string> out;
    for (int i = 0; i < t.RecordCount(); ++i) {
        const Value& v = t.RowValues(i)[0];
        out.push_back(v.index() == 0 ? "<null>" : std::get<std::string>(v));
    }
    return out;
}

std::string CurName(MemTable& t) { return t.FieldByName("Name").AsString(); }

struct Counter : TableObserver {
    int data = 0, record = 0, scrolled = 0, state = 0;
    void DataChanged(MemTable&) override { ++data; }
    void RecordChanged(MemTable&, int) override { ++record; }
    void Scrolled(MemTable&) override { ++scrolled; }
    void StateChanged(MemTable&) override { ++state; }
};

}  // namespace

// ---- values --------------------------------------------------------------------------------

TEST(MemTableValues, SettersNormaliseToTheFieldType) {
    MemTable t("taV");
    t.AddField("S", FieldType::String, 5);
    t.AddField("B2", FieldType::BCD, 2);
    t.AddField("B", FieldType::BCD);  // 4 places
    t.AddField("D", FieldType::Date);
    t.AddField("T", FieldType::Time);
    t.AddField("DT", FieldType::DateTime);
    t.AddField("Small", FieldType::SmallInt);
    t.AddField("Flag", FieldType::Boolean);
    t.Append();
    struct Case { const char* field; Value in; std::string out; };
    const Case cases[] = {
        {"S", std::string("abcdefgh"), "abcde"},
        {"S", std::string("\xc3\xa9t\xc3\xa9 ok"), "\xc3\xa9t\xc3\xa9 o"},  // five characters, not bytes
        {"B2", std::string("1.005"), "1.01"},
        {"B2", 2.675, "2.68"},
        {"B2", std::string("-0.001"), "0.00"},
        {"B2", std::string("-9.995"), "-10.00"},
        {"B2", std::string("1e3"), "1000.00"},
        {"B2", int64_t{-7}, "-7.00"},
        {"B", std::string(" 12.3 "), "12.3000"},
        {"B", 0.1, "0.1000"},
        {"D", 45000.75, "2023-03-15"},
        {"D", std::string("2024-02-29"), "2024-02-29"},
        {"T", 45000.75, "18:00:00"},
        {"T", -1.25, "06:00:00"},
        {"DT", std::string("2024-02-29 13:45:10"), "2024-02-29 13:45:10"},
        {"Small", std::string("-32768"), "-32768"},
        {"Flag", std::string("yes"), "True"},
        {"Flag", int64_t{0}, "False"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        t.FieldByName(c.field).SetValue(c.in);
        EXPECT_EQ(t.FieldByName(c.field).AsString(), c.out);
    }
    t.FieldByName("D").SetDateTime(45000.75);
    EXPECT_EQ(t.FieldByName("D").AsFloat(), 45000.0);
    t.FieldByName("T").SetDateTime(45000.75);
    EXPECT_EQ(t.FieldByName("T").AsFloat(), 0.75);
    t.FieldByName("B2").SetString("  ");
    EXPECT_TRUE(t.FieldByName("B2").IsNull());  // blank text clears a non-text field
}

TEST(MemTableValues, BadValuesAreRefusedWithTheFieldName) {
    MemTable t("taV");
    t.AddField("N", FieldType::Integer);
    t.AddField("Small", FieldType::SmallInt);
    t.AddField("W", FieldType::Word);
    t.AddField("F", FieldType::Float);
    t.AddField("B", FieldType::BCD, 2);
    t.AddField("D", FieldType::Date);
    t.AddField("Flag", FieldType::Boolean);
    t.Append();
    struct Case { const char* field; Value in; };
    const Case cases[] = {
        {"N", std::string("12x")},       {"N", std::string("1.5")},   {"N", int64_t{1} << 40},
        {"Small", int64_t{32768}},       {"W", int64_t{-1}},          {"F", std::string("abc")},
        {"F", std::numeric_limits<double>::quiet_NaN()},              {"B", std::string("1.2.3")},
        {"B", std::string("1e40")},      {"D", std::string("2023-02-29")}, {"D", 3e6},
        {"Flag", std::string("maybe")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        try {
            t.FieldByName(c.field).SetValue(c.in);
            ADD_FAILURE() << "accepted";
        } catch (const TableError& e) {
            EXPECT_NE(std::string(e.what()).find(std::string("'") + c.field + "'"), std::string::npos) << e.what();
        }
        EXPECT_TRUE(t.FieldByName(c.field).IsNull());
    }
    EXPECT_THROW(t.FieldByName("Missing"), TableError);
    t.Cancel();
    EXPECT_THROW(t.FieldByName("N").SetInteger(1), TableError);  // browse state
}

TEST(MemTableValues, AutoIncNumbersNewRowsFromTheMaximum) {
    MemTable t;
    t.AddField("Key", FieldType::AutoInc);
    t.AddField("X", FieldType::Integer);
    for (int i = 0; i < 3; ++i) { t.Append(); t.Post(); }
    EXPECT_EQ(t.FieldByName("Key").AsInteger(), 3);
    t.Edit();
    EXPECT_THROW(t.FieldByName("Key").SetInteger(9), TableError);
    t.Cancel();
    t.AppendRaw({int64_t{10}, Value{}});
    t.Append();
    t.Post();
    EXPECT_EQ(t.FieldByName("Key").AsInteger(), 11);
    t.AppendRaw({Value{}, Value{}});  // a loader without a number gets one
    t.Last();
    EXPECT_EQ(t.FieldByName("Key").AsInteger(), 12);
}

// ---- navigation, record numbers, ids ------------------------------------------------------------

TEST(MemTableNavigation, BofEofLikeTheClassicDataset) {
    MemTable t;
    MakeSimple(t);
    EXPECT_TRUE(t.Bof() && t.Eof());
    t.First();
    EXPECT_TRUE(t.Bof() && t.Eof());
    EXPECT_EQ(t.RecNo(), 0);
    t.Next();
    EXPECT_TRUE(t.Eof());
    for (auto n : {"a", "b", "c"}) Add(t, n, 1);
    t.First();
    EXPECT_TRUE(t.Bof());
    EXPECT_FALSE(t.Eof());
    t.Prior();
    EXPECT_TRUE(t.Bof());
    EXPECT_EQ(t.RecNo(), 1);
    std::vector<std::string> seen;
    for (t.First(); !t.Eof(); t.Next()) seen.push_back(CurName(t));
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(t.RecNo(), 3);  // Next at the last row stays there
    t.MoveBy(-10);
    EXPECT_TRUE(t.Bof());
    EXPECT_EQ(t.RecNo(), 1);
    t.MoveBy(1);
    EXPECT_FALSE(t.Bof() || t.Eof());
    EXPECT_THROW(t.SetRecNo(4), TableError);
    t.SetRecNo(3);
    EXPECT_EQ(CurName(t), "c");
}

TEST(MemTableNavigation, DeletingInALoopEndsAtEof) {
    MemTable t;
    MakeSimple(t);
    for (int i = 1; i <= 6; ++i) Add(t, "r" + std::to_string(i), i);
    t.First();
    while (!t.Eof()) {
        if (t.FieldByName("N").AsInteger() % 2 == 0) t.Delete();
        else t.Next();
    }
    EXPECT_EQ(Names(t), (std::vector<std::string>{"r1", "r3", "r5"}));
    t.SetRecNo(2);
    t.Delete();
    EXPECT_EQ(CurName(t), "r5");  // the next row becomes current
    EXPECT_FALSE(t.Eof());
    t.Delete();  // the last row: its predecessor becomes current and Eof is set
    EXPECT_EQ(CurName(t), "r1");
    EXPECT_TRUE(t.Eof());
    t.Delete();
    EXPECT_TRUE(t.IsEmpty() && t.Bof() && t.Eof());
    EXPECT_THROW(t.Delete(), TableError);
}

TEST(MemTableRecords, RecordNumbersAndIdsStayWithTheirRows) {
    MemTable t;
    MakeSimple(t);
    std::vector<int64_t> numbersInNewRecord;
    t.handlers.onNewRecord = [&](MemTable& m) { numbersInNewRecord.push_back(m.RecordNumber()); };
    for (auto n : {"c", "a", "b"}) Add(t, n, 0);
    EXPECT_EQ(numbersInNewRecord, (std::vector<int64_t>{1, 2, 3}));
    t.First();
    const uint64_t idC = t.RecordId();
    t.Next();
    const uint64_t idA = t.RecordId();
    t.Delete();  // "a", number 2
    Add(t, "d", 0);
    EXPECT_EQ(t.RecordNumber(), 4);  // numbers are not reused in a session
    const uint64_t idD = t.RecordId();
    EXPECT_NE(idD, idA);
    t.SetSortField("Name");
    EXPECT_EQ(Names(t), (std::vector<std::string>{"b", "c", "d"}));
    ASSERT_TRUE(t.GotoRecordId(idC));
    EXPECT_EQ(CurName(t), "c");
    EXPECT_EQ(t.RecordNumber(), 1);
    EXPECT_FALSE(t.GotoRecordId(idA));
    t.RenumberRecords();  // stored order is now b, c, d
    EXPECT_EQ(t.RecordNumber(), 2);
    t.SetSortField(kRecordNumberField, true);
    EXPECT_EQ(Names(t), (std::vector<std::string>{"d", "c", "b"}));
    t.EmptyTable();
    t.SetSortField("");
    t.AppendRaw({std::string("x"), int64_t{0}});
    t.First();
    EXPECT_EQ(t.RecordNumber(), 1);  // an emptied table numbers from 1 again, as after a load
    EXPECT_GT(t.RecordId(), idD);    // ids never come back
}

// ---- states and events ------------------------------------------------------------------------

class MemTableEvents : public ::testing::Test {
protected:
    void SetUp() override {
        MakeSimple(t);
        Add(t, "a", 1);
        Add(t, "b", 2);
        auto log = [this](const char* name) {
            return [this, name](MemTable& m) {
                std::string s = name;
                if (m.State() == TableState::Browse) s += "/browse";
                events.push_back(s);
            };
        };
        t.handlers.beforeInsert = log("beforeInsert");
        t.handlers.onNewRecord = [this](MemTable& m) {
            events.push_back("onNewRecord");
            m.FieldByName("N").SetInteger(100);  // a default
        };
        t.handlers.afterInsert = log("afterInsert");
        t.handlers.beforePost = log("beforePost");
        t.handlers.afterPost = log("afterPost");
        t.handlers.beforeDelete = log("beforeDelete");
        t.handlers.afterDelete = log("afterDelete");
        t.handlers.afterCancel = log("afterCancel");
        t.handlers.onCalcFields = [this](MemTable& m) {
            events.push_back("calc");
            if (!m.FieldByName("N").IsNull())
                m.FieldByName("Twice").SetInteger(m.FieldByName("N").AsInteger() * 2);
        };
        t.First();
    }
    MemTable t{"taE"};
    std::vector<std::string> events;
};

TEST_F(MemTableEvents, OrderOfEventsAndStates) {
    t.Append();
    EXPECT_EQ(t.State(), TableState::Insert);
    EXPECT_EQ(t.FieldByName("N").AsInteger(), 100);
    t.FieldByName("Name").SetString("c");
    t.Post();
    EXPECT_EQ(t.State(), TableState::Browse);
    EXPECT_EQ(CurName(t), "c");
    EXPECT_EQ(t.FieldByName("Twice").AsInteger(), 200);
    t.Edit();
    EXPECT_EQ(t.State(), TableState::Edit);
    t.FieldByName("N").SetInteger(5);
    t.Cancel();
    EXPECT_EQ(t.FieldByName("N").AsInteger(), 100);
    t.Delete();
    EXPECT_EQ(events, (std::vector<std::string>{"beforeInsert/browse", "onNewRecord", "calc", "afterInsert",
                                                "beforePost", "calc", "afterPost/browse", "afterCancel/browse",
                                                "beforeDelete/browse", "afterDelete/browse"}));
    EXPECT_EQ(Names(t), (std::vector<std::string>{"a", "b"}));
}

TEST_F(MemTableEvents, InsertGoesBeforeTheCurrentRowAndDeleteInInsertStateCancels) {
    t.Last();
    t.Insert();
    t.FieldByName("Name").SetString("mid");
    t.Post();
    EXPECT_EQ(Names(t), (std::vector<std::string>{"a", "mid", "b"}));
    EXPECT_EQ(t.RecNo(), 2);
    t.Insert();
    t.Delete();
    EXPECT_EQ(t.State(), TableState::Browse);
    EXPECT_EQ(t.RecordCount(), 3);
    EXPECT_EQ(events.back(), "afterCancel/browse");
}

TEST_F(MemTableEvents, ARefusalInAnyHandlerLeavesTheTableAsItWas) {
    struct Case {
        const char* name;
        std::function<void(MemTable&)> arrange;  // installs the refusing handler
        std::function<void(MemTable&)> act;
        TableState stateAfter;
    };
    auto refuse = [](MemTable& m) {
        if (m.State() != TableState::Browse) m.FieldByName("Name").SetString("spoilt");
        throw TableError("You are not allowed to delete this record!");
    };
    const Case cases[] = {
        {"beforeInsert", [&](MemTable& m) { m.handlers.beforeInsert = refuse; }, [](MemTable& m) { m.Append(); },
         TableState::Browse},
        {"onNewRecord", [&](MemTable& m) { m.handlers.onNewRecord = refuse; }, [](MemTable& m) { m.Append(); },
         TableState::Browse},
        {"beforePost in edit", [&](MemTable& m) { m.handlers.beforePost = refuse; },
         [](MemTable& m) { m.Edit(); m.FieldByName("N").SetInteger(7); m.Post(); }, TableState::Edit},
        {"beforePost in insert", [&](MemTable& m) { m.handlers.beforePost = refuse; },
         [](MemTable& m) { m.Append(); m.FieldByName("N").SetInteger(7); m.Post(); }, TableState::Insert},
        {"calc on post", [&](MemTable& m) { m.handlers.onCalcFields = [](MemTable&) { throw TableError("no"); }; },
         [](MemTable& m) { m.Edit(); m.FieldByName("N").SetInteger(7); m.Post(); }, TableState::Edit},
        {"beforeDelete", [&](MemTable& m) { m.handlers.beforeDelete = refuse; }, [](MemTable& m) { m.Delete(); },
         TableState::Browse},
        {"move while editing", [&](MemTable& m) { m.handlers.beforePost = refuse; },
         [](MemTable& m) { m.Edit(); m.FieldByName("N").SetInteger(7); m.Next(); }, TableState::Edit},
        {"filter on post",
         [&](MemTable& m) {
             m.SetFiltered(true);  // no filter handler yet: every row is accepted
             m.handlers.onFilterRecord = [](MemTable&) -> bool { throw TableError("no"); };
         },
         [](MemTable& m) { m.Edit(); m.FieldByName("N").SetInteger(7); m.Post(); }, TableState::Edit},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemTable m;
        MakeSimple(m);
        Add(m, "a", 1);
        Add(m, "b", 2);
        m.First();
        c.arrange(m);
        const auto base = m.ChangeCount();
        EXPECT_THROW(c.act(m), TableError);
        EXPECT_EQ(m.State(), c.stateAfter);
        EXPECT_EQ(Names(m), (std::vector<std::string>{"a", "b"}));
        EXPECT_EQ(m.RecNo(), 1);
        EXPECT_EQ(m.ChangeCount(), base);
        if (c.stateAfter != TableState::Browse) {
            // The buffer is intact: the user's change stays, the handler's own change is undone.
            EXPECT_EQ(m.FieldByName("N").AsInteger(), 7);
            EXPECT_EQ(m.FieldByName("Name").AsString(), c.stateAfter == TableState::Edit ? "a" : "");
            m.Cancel();
        }
        EXPECT_EQ(Names(m), (std::vector<std::string>{"a", "b"}));
    }
}

TEST_F(MemTableEvents, MovingOrAppendingWhileEditingPostsFirst) {
    t.Edit();
    t.FieldByName("N").SetInteger(9);
    t.Next();
    EXPECT_EQ(t.State(), TableState::Browse);
    t.First();
    EXPECT_EQ(t.FieldByName("N").AsInteger(), 9);
    t.Edit();
    t.FieldByName("N").SetInteger(8);
    t.Append();  // posts the edit, then inserts
    EXPECT_EQ(t.State(), TableState::Insert);
    t.Cancel();
    t.First();
    EXPECT_EQ(t.FieldByName("N").AsInteger(), 8);
    EXPECT_THROW(MemTable().Edit(), TableError);  // nothing to edit
}

// ---- calculated fields and filter --------------------------------------------------------------

TEST(MemTableCalc, ComputedOnPostRefreshAndReadableForEveryRow) {
    MemTable t;
    MakeSimple(t);
    int factor = 2;
    t.handlers.onCalcFields = [&](MemTable& m) {
        EXPECT_THROW(m.FieldByName("N").SetInteger(0), TableError);  // data is read-only here
        m.FieldByName("Twice").SetInteger(m.FieldByName("N").AsInteger() * factor);
    };
    Add(t, "a", 1);
    Add(t, "b", 5);
    EXPECT_EQ(std::get<int64_t>(t.RowValues(0)[2]), 2);
    EXPECT_EQ(std::get<int64_t>(t.RowValues(1)[2]), 10);
    factor = 3;
    t.Refresh();
    EXPECT_EQ(std::get<int64_t>(t.RowValues(0)[2]), 3);
    EXPECT_EQ(t.FieldByName("Twice").AsInteger(), 15);
    t.Edit();
    EXPECT_THROW(t.FieldByName("Twice").SetInteger(1), TableError);  // only inside the calculation
    t.Cancel();
    t.AppendRaw({std::string("c"), int64_t{2}});
    EXPECT_EQ(std::get<int64_t>(t.RowValues(2)[2]), 6);

    // Rows written while the handlers are suspended are calculated when they come back.
    {
        HandlerSuspension s(t);
        t.First();
        t.Edit();
        t.FieldByName("N").SetInteger(4);
        t.Post();
        EXPECT_TRUE(t.FieldByName("Twice").IsNull());
    }
    t.First();
    EXPECT_EQ(t.FieldByName("Twice").AsInteger(), 12);
}

TEST(MemTableFilter, OnlyAcceptedRowsAreVisible) {
    MemTable t;
    MakeSimple(t);
    for (int i = 1; i <= 6; ++i) Add(t, "r" + std::to_string(i), i);
    int64_t min = 4;
    t.handlers.onFilterRecord = [&](MemTable& m) { return m.FieldByName("N").AsInteger() >= min; };
    EXPECT_EQ(t.RecordCount(), 6);  // not filtered yet
    t.SetFiltered(true);
    EXPECT_EQ(Names(t), (std::vector<std::string>{"r4", "r5", "r6"}));
    EXPECT_EQ(CurName(t), "r4");
    t.Last();
    t.Next();
    EXPECT_TRUE(t.Eof());
    min = 5;
    EXPECT_EQ(t.RecordCount(), 3);  // until refreshed
    t.Refresh();
    EXPECT_EQ(Names(t), (std::vector<std::string>{"r5", "r6"}));
    t.First();
    t.Edit();
    t.FieldByName("N").SetInteger(1);  // no longer accepted
    t.Post();
    EXPECT_EQ(Names(t), (std::vector<std::string>{"r6"}));
    EXPECT_EQ(CurName(t), "r6");
    t.Append();
    t.FieldByName("N").SetInteger(9);
    t.FieldByName("Name").SetString("new");
    t.Post();
    EXPECT_EQ(Names(t), (std::vector<std::string>{"r6", "new"}));
    t.SetFiltered(false);
    EXPECT_EQ(t.RecordCount(), 7);
}

// ---- sorting -----------------------------------------------------------------------------------

TEST(MemTableSort, OrdersByFieldWithOptions) {
    struct Case { const char* field; bool desc, ci; std::vector<std::string> order; };
    const Case cases[] = {
        {"Name", false, false, {"<null>", "B", "C", "a", "b"}},
        {"Name", false, true, {"<null>", "a", "B", "b", "C"}},  // equal keys keep their order
        {"Name", true, true, {"C", "B", "b", "a", "<null>"}},
        {"Amt", false, false, {"b", "B", "<null>", "C", "a"}},    // numerically, not as text
        {"Amt", true, false, {"a", "C", "<null>", "B", "b"}},
        {"", false, false, {"B", "a", "<null>", "b", "C"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.field) + (c.desc ? " desc" : "") + (c.ci ? " ci" : ""));
        MemTable t;
        t.AddField("Name", FieldType::String, 10);
        t.AddField("Amt", FieldType::BCD, 2);
        const std::pair<Value, Value> rows[] = {{std::string("B"), std::string("-5")},
                                                {std::string("a"), std::string("100")},
                                                {Value{}, std::string("2")},
                                                {std::string("b"), std::string("-10")},
                                                {std::string("C"), std::string("9.5")}};
        for (const auto& [n, a] : rows) t.AppendRaw({n, a});
        t.SetSortField(c.field, c.desc, c.ci);
        EXPECT_EQ(Names(t), c.order);
    }
}

TEST(MemTableSort, PostedRowGoesWhereTheSortPutsItAndStaysCurrent) {
    MemTable t;
    MakeSimple(t);
    t.SetSortField("N");
    for (auto [n, v] : {std::pair{"d", 4}, {"b", 2}, {"a", 1}, {"c", 3}}) Add(t, n, v);
    EXPECT_EQ(Names(t), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(CurName(t), "c");
    t.First();
    const uint64_t id = t.RecordId();
    t.Edit();
    t.FieldByName("N").SetInteger(10);
    t.Post();
    EXPECT_EQ(Names(t), (std::vector<std::string>{"b", "c", "d", "a"}));
    EXPECT_EQ(t.RecordId(), id);
    EXPECT_EQ(t.RecNo(), 4);
    t.Insert();  // in a sorted table the sort decides the place
    t.FieldByName("N").SetInteger(0);
    t.FieldByName("Name").SetString("z");
    t.Post();
    EXPECT_EQ(Names(t).front(), "z");
    t.Edit();
    t.FieldByName("Name").SetString("y");  // key unchanged: the row keeps its place
    t.Post();
    EXPECT_EQ(Names(t), (std::vector<std::string>{"y", "b", "c", "d", "a"}));
}

TEST(MemTableSort, ResortKeepingRowKeepsTheRowAndRefreshesViewsOnce) {
    MemTable t;
    MakeSimple(t);
    for (auto [n, v] : {std::pair{"c", 3}, {"a", 1}, {"b", 2}}) Add(t, n, v);
    t.SetSortField("Name", true, true);
    t.handlers.afterPost = ResortKeepingRow;
    t.SetRecNo(2);
    EXPECT_EQ(CurName(t), "b");
    Counter views;
    t.AddObserver(&views);
    ResortKeepingRow(t);
    EXPECT_EQ(views.data, 1);
    EXPECT_EQ(views.scrolled, 0);
    EXPECT_EQ(CurName(t), "b");
    EXPECT_EQ(t.SortField(), "Name");
    EXPECT_TRUE(t.SortDescending());
    EXPECT_TRUE(t.SortCaseInsensitive());
    t.Edit();
    t.FieldByName("Name").SetString("D");
    t.Post();
    EXPECT_EQ(Names(t), (std::vector<std::string>{"D", "c", "a"}));
    EXPECT_EQ(CurName(t), "D");
    EXPECT_FALSE(t.ViewsFrozen());
}

// ---- suspension --------------------------------------------------------------------------------

TEST(MemTableSuspension, SavesClearsAndRestoresEveryHandler) {
    MemTable t("taS");
    MakeSimple(t);
    for (int i = 1; i <= 4; ++i) Add(t, "r" + std::to_string(i), i);
    int posts = 0;
    t.handlers.afterPost = [&](MemTable&) { ++posts; };
    t.handlers.onFilterRecord = [](MemTable& m) { return m.FieldByName("N").AsInteger() % 2 == 0; };
    t.SetFiltered(true);
    ASSERT_EQ(t.RecordCount(), 2);
    EXPECT_EQ(SuspensionDepth(), 0);
    SuspendHandlers(t);
    SuspendHandlers(t);
    EXPECT_EQ(SuspensionDepth(), 2);
    EXPECT_EQ(t.RecordCount(), 4);  // a suspended table shows all its rows
    EXPECT_FALSE(t.handlers.afterPost);
    Add(t, "r5", 5);
    EXPECT_EQ(posts, 0);
    RestoreHandlers(t);
    EXPECT_FALSE(t.handlers.afterPost);  // the inner level saved the cleared set
    RestoreHandlers(t);
    EXPECT_EQ(SuspensionDepth(), 0);
    EXPECT_EQ(Names(t), (std::vector<std::string>{"r2", "r4"}));
    Add(t, "r6", 6);
    EXPECT_EQ(posts, 1);
    RestoreHandlers(t);  // nothing saved: nothing happens
    EXPECT_TRUE(t.handlers.afterPost);
}

TEST(MemTableSuspension, TheThirtyThirdLevelIsIgnoredAndSoIsItsRestore) {
    MemTable a("a"), b("b");
    MakeSimple(a);
    MakeSimple(b);
    int aPosts = 0, bPosts = 0;
    b.handlers.afterPost = [&](MemTable&) { ++bPosts; };
    for (int i = 0; i < 32; ++i) SuspendHandlers(a);
    EXPECT_EQ(SuspensionDepth(), 32);
    SuspendHandlers(b);  // ignored: b keeps its handlers
    EXPECT_EQ(SuspensionDepth(), 32);
    Add(b, "x", 1);
    EXPECT_EQ(bPosts, 1);
    a.handlers.afterPost = [&](MemTable&) { ++aPosts; };  // set while suspended
    RestoreHandlers(b);                                   // matches the ignored level
    EXPECT_TRUE(b.handlers.afterPost);
    EXPECT_EQ(SuspensionDepth(), 32);
    {
        MemTable c("c");
        SuspendHandlers(c);  // ignored, and forgotten when c goes away
    }
    RestoreHandlers(b);  // a's levels are never handed to b
    EXPECT_EQ(SuspensionDepth(), 32);
    Add(b, "y", 2);
    EXPECT_EQ(bPosts, 2);
    for (int i = 0; i < 32; ++i) RestoreHandlers(a);
    EXPECT_EQ(SuspensionDepth(), 0);
    EXPECT_FALSE(a.handlers.afterPost);  // the outermost level held a's original (empty) set
    {
        MemTable d("d");
        SuspendHandlers(d);
        EXPECT_EQ(SuspensionDepth(), 1);
    }
    EXPECT_EQ(SuspensionDepth(), 0);
    (void)aPosts;
}

// ---- views and change count --------------------------------------------------------------------

TEST(MemTableViews, FreezeNestsAndReleaseSendsOneDataChanged) {
    MemTable t;
    MakeSimple(t);
    Counter v;
    t.AddObserver(&v);
    Add(t, "a", 1);
    EXPECT_GE(v.data, 1);
    EXPECT_GE(v.state, 2);
    EXPECT_GE(v.record, 2);
    Counter w;
    t.AddObserver(&w);
    t.RemoveObserver(&v);
    t.FreezeViews();
    t.FreezeViews();
    Add(t, "b", 2);
    t.First();
    t.ReleaseViews();
    EXPECT_EQ(w.data + w.state + w.record + w.scrolled, 0);
    t.ReleaseViews();
    EXPECT_EQ(w.data, 1);
    EXPECT_EQ(w.state + w.record + w.scrolled, 0);
    t.FreezeViews();
    t.ReleaseViews();
    EXPECT_EQ(w.data, 1);  // nothing happened
    t.Next();
    EXPECT_EQ(w.scrolled, 1);
}

TEST(MemTableViews, ChangeCountGrowsWithEveryDataChange) {
    MemTable t;
    MakeSimple(t);
    t.handlers.onFilterRecord = [](MemTable&) { return true; };
    const std::pair<const char*, std::function<void()>> steps[] = {
        {"AppendRaw", [&] { t.AppendRaw({std::string("a"), int64_t{1}}); }},
        {"AppendRawRows", [&] { t.AppendRawRows({{std::string("b"), int64_t{2}}}); }},
        {"post", [&] { Add(t, "c", 3); }},
        {"edit", [&] { t.Edit(); t.FieldByName("N").SetInteger(4); t.Post(); }},
        {"sort", [&] { t.SetSortField("N", true); }},
        {"filter", [&] { t.SetFiltered(true); }},
        {"refresh", [&] { t.Refresh(); }},
        {"renumber", [&] { t.RenumberRecords(); }},
        {"delete", [&] { t.Delete(); }},
        {"empty", [&] { t.EmptyTable(); }},
        {"empty again", [&] { t.EmptyTable(); }},
        {"load", [&] { t.LoadRows({{std::string("z"), int64_t{1}}}); }},
    };
    for (const auto& [name, step] : steps) {
        SCOPED_TRACE(name);
        const auto before = t.ChangeCount();
        step();
        EXPECT_GT(t.ChangeCount(), before);
    }
}

// ---- bulk --------------------------------------------------------------------------------------

TEST(MemTableBulk, LoadCopyAndStructure) {
    MemTable src("src");
    MakeSimple(src);
    src.AddField("Extra", FieldType::Boolean);
    src.SetSortField("Name", true);
    src.handlers.onCalcFields = [](MemTable& m) {
        m.FieldByName("Twice").SetInteger(m.FieldByName("N").AsInteger() * 2);
    };
    src.LoadRows({{std::string("a"), int64_t{1}, true}, {std::string("c"), int64_t{3}, false},
                  {std::string("b"), int64_t{2}, Value{}}});
    EXPECT_EQ(Names(src), (std::vector<std::string>{"c", "b", "a"}));
    EXPECT_EQ(src.RecNo(), 1);
    EXPECT_EQ(src.RecordNumber(), 2);  // numbered in the given order before sorting
    EXPECT_EQ(src.FieldByName("Twice").AsInteger(), 6);
    EXPECT_THROW(src.AppendRaw({std::string("x")}), TableError);
    EXPECT_THROW(src.LoadRows({{std::string("x"), std::string("bad"), Value{}}}), TableError);
    EXPECT_EQ(src.RecordCount(), 3);  // all or nothing

    MemTable copy;
    copy.CopyStructureFrom(src);
    EXPECT_EQ(copy.FieldCount(), 4);
    EXPECT_EQ(copy.SortField(), "Name");
    EXPECT_TRUE(copy.SortDescending());
    EXPECT_TRUE(copy.handlers.onCalcFields);
    EXPECT_TRUE(copy.IsEmpty());

    MemTable dst;
    dst.AddField("n", FieldType::Float);  // matched case-insensitively, converted
    dst.AddField("Missing", FieldType::String, 5);
    dst.AddField("Name", FieldType::String, 10);
    dst.CopyRowsFrom(src);
    ASSERT_EQ(dst.RecordCount(), 3);
    const auto& row = dst.RowValues(0);
    EXPECT_EQ(std::get<double>(row[0]), 3.0);
    EXPECT_EQ(row[1].index(), 0u);
    EXPECT_EQ(std::get<std::string>(row[2]), "c");
    EXPECT_THROW(dst.RowValues(3), TableError);
}

TEST(MemTableBulk, HundredThousandRows) {
    MemTable t;
    t.AddField("K", FieldType::Integer);
    t.AddField("Key", FieldType::AutoInc);
    t.SetSortField("K");
    std::vector<std::vector<Value>> rows;
    uint32_t x = 12345;
    for (int i = 0; i < 100000; ++i) {
        x = x * 1103515245u + 12345u;
        rows.push_back({int64_t{x % 50000}, Value{}});
    }
    t.LoadRows(rows);
    for (int i = 0; i < 500; ++i) {
        t.Append();
        t.FieldByName("K").SetInteger(i * 97 % 50000);
        t.Post();
    }
    for (int i = 0; i < 100000; ++i) t.AppendRaw({int64_t{50000 + i}, Value{}});
    ASSERT_EQ(t.RecordCount(), 200500);
    for (int i = 1; i < t.RecordCount(); ++i)
        ASSERT_LE(std::get<int64_t>(t.RowValues(i - 1)[0]), std::get<int64_t>(t.RowValues(i)[0]));
    t.Last();
    EXPECT_EQ(t.FieldByName("Key").AsInteger(), 200500);
}
