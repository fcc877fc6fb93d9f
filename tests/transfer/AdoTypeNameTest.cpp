#include "AdoTypeName.h"

#include <gtest/gtest.h>

#include <set>

namespace {

struct NameCase {
    int16_t code;
    const char* name;
};

const NameCase kNames[] = {
    {20, "adBigInt"}, {128, "adBinary"}, {11, "adBoolean"}, {8, "adBSTR"}, {136, "adChapter"},
    {129, "adChar"}, {6, "adCurrency"}, {7, "adDate"}, {133, "adDBDate"}, {134, "adDBTime"},
    {135, "adDBTimeStamp"}, {14, "adDecimal"}, {5, "adDouble"}, {0, "adEmpty"}, {10, "adError"},
    {64, "adFileTime"}, {72, "adGUID"}, {9, "adIDispatch"}, {3, "adInteger"}, {13, "adIUnknown"},
    {205, "adLongVarBinary"}, {201, "adLongVarChar"}, {203, "adLongVarWChar"}, {131, "adNumeric"},
    {138, "adPropVariant"}, {4, "adSingle"}, {2, "adSmallInt"}, {16, "adTinyInt"},
    {21, "adUnsignedBigInt"}, {19, "adUnsignedInt"}, {18, "adUnsignedSmallInt"},
    {17, "adUnsignedTinyInt"}, {132, "adUserDefined"}, {204, "adVarBinary"}, {200, "adVarChar"},
    {12, "adVariant"}, {139, "adVarNumeric"}, {202, "adVarWChar"}, {130, "adWChar"},
};

TEST(AdoTypeName, NamesEveryCodeOfTheTable)
{
    std::set<std::string> seen;
    for (const auto& c : kNames) {
        EXPECT_EQ(AdoTypeName(c.code), c.name) << c.code;
        seen.insert(c.name);
    }
    EXPECT_EQ(seen.size(), 39u);
}

TEST(AdoTypeName, CodesOutsideTheTableGiveTheEmptyText)
{
    for (int16_t code : {1, 15, 22, 137, 140, 206, 8192, -1, 32767})
        EXPECT_EQ(AdoTypeName(code), "") << code;
}

TEST(AdoTypeName, NeighbouringCodesAreDistinctRows)
{
    EXPECT_EQ(AdoTypeName(200), "adVarChar");
    EXPECT_EQ(AdoTypeName(201), "adLongVarChar");
    EXPECT_EQ(AdoTypeName(0), "adEmpty");
}

}  // namespace
