// Builders of filter nodes for the engine's filter tests, and a fixture that adds filters.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/engine/engine_fixture.h"

namespace dbe_test {

using Nodes = std::vector<DBIFilterNode>;
using IdList = std::vector<int32_t>;

inline DBIFilterNode Leaf(uint16_t kind, uint16_t field = 0) {
    DBIFilterNode node{};
    node.iKind = kind;
    node.iFldNum = field;
    return node;
}

inline DBIFilterNode Comparison(uint16_t field, uint16_t op) {
    DBIFilterNode node = Leaf(fltCOMPARE, field);
    node.iOperator = op;
    return node;
}

// field op text; `text` must outlive the filter's addition only.
inline DBIFilterNode CompareText(uint16_t field, uint16_t op, const char* text) {
    DBIFilterNode node = Comparison(field, op);
    node.pszConst = text;
    return node;
}

// field op number (an integer, or a date as days).
inline DBIFilterNode CompareNumber(uint16_t field, uint16_t op, int64_t value) {
    DBIFilterNode node = Comparison(field, op);
    node.iConst = value;
    return node;
}

inline DBIFilterNode CompareNull(uint16_t field, uint16_t op) {
    DBIFilterNode node = Comparison(field, op);
    node.bConstNull = 1;
    return node;
}

inline DBIFilterNode CompareFields(uint16_t field, uint16_t op, uint16_t field2) {
    DBIFilterNode node = Comparison(field, op);
    node.iFldNum2 = field2;
    return node;
}

inline DBIFilterNode Like(uint16_t field, const char* pattern) {
    DBIFilterNode node = Leaf(fltLIKE, field);
    node.pszConst = pattern;
    return node;
}

inline DBIFilterNode Binary(uint16_t kind, int32_t left, int32_t right) {
    DBIFilterNode node = Leaf(kind);
    node.iLeft = left;
    node.iRight = right;
    return node;
}

inline DBIFilterNode Not(int32_t operand) {
    DBIFilterNode node = Leaf(fltNOT);
    node.iLeft = operand;
    return node;
}

class FilterTestBase : public EngineTest {
  protected:
    // Adds `nodes` as a filter of `cur`; failures fail the test.
    hDBIFilter AddFilter(hDBICur cur, const Nodes& nodes, bool activate = true) {
        hDBIFilter filter = nullptr;
        EXPECT_EQ(dbeAddFilter(cur, nodes.data(), static_cast<uint32_t>(nodes.size()), &filter),
                  DBIERR_NONE)
            << Entries();
        if (activate) {
            EXPECT_EQ(dbeActivateFilter(cur, filter), DBIERR_NONE) << Entries();
        }
        return filter;
    }
    // The code that adding `nodes` answers; a filter that is added is dropped again.
    DBIResult AddCode(hDBICur cur, const Nodes& nodes) {
        hDBIFilter filter = nullptr;
        const DBIResult code =
            dbeAddFilter(cur, nodes.data(), static_cast<uint32_t>(nodes.size()), &filter);
        if (code == DBIERR_NONE) {
            EXPECT_EQ(dbeDropFilter(cur, filter), DBIERR_NONE);
        }
        return code;
    }
    // The Ids that `cur` steps through with `nodes` as its only extra filter.
    IdList Only(hDBICur cur, const Nodes& nodes) {
        hDBIFilter filter = AddFilter(cur, nodes);
        IdList ids = Ids(cur);
        EXPECT_EQ(dbeDropFilter(cur, filter), DBIERR_NONE);
        return ids;
    }
    uint32_t Count(hDBICur cur) {
        uint32_t count = 0;
        EXPECT_EQ(dbeGetExactRecordCount(cur, &count), DBIERR_NONE) << Entries();
        return count;
    }
};

}  // namespace dbe_test
