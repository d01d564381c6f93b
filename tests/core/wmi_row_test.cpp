#include <gtest/gtest.h>

#include "inventory/wmi_row.h"

using namespace kalorix;

TEST(WmiRow, AbsentAndEmptyPropertiesGiveEmptyTextAndZero) {
    const WmiRow row{{L"Name", L"Intel"}, {L"Blank", L""}};
    EXPECT_EQ(RowText(row, L"Name"), L"Intel");
    EXPECT_EQ(RowText(row, L"Missing"), L"");
    EXPECT_EQ(RowNumber(row, L"Missing"), 0.0);
    EXPECT_EQ(RowNumber(row, L"Blank"), 0.0);
    EXPECT_EQ(RowText(row, L"name"), L"");  // property names are matched exactly
}

TEST(WmiRow, NumbersParseTheLeadingDecimalText) {
    const WmiRow row{{L"Capacity", L"17179869184"}, {L"Speed", L"3600 MHz"}, {L"Frac", L"2.5"},
                     {L"Word", L"Unknown"},         {L"Nan", L"nan"},        {L"Inf", L"-inf"},
                     {L"Neg", L"-12"}};
    EXPECT_EQ(RowNumber(row, L"Capacity"), 17179869184.0);
    EXPECT_EQ(RowNumber(row, L"Speed"), 3600.0);
    EXPECT_EQ(RowNumber(row, L"Frac"), 2.5);
    EXPECT_EQ(RowNumber(row, L"Word"), 0.0);
    EXPECT_EQ(RowNumber(row, L"Neg"), -12.0);
    // Not-a-number texts never leak into sums and comparisons.
    EXPECT_EQ(RowNumber(row, L"Nan"), 0.0);
    EXPECT_EQ(RowNumber(row, L"Inf"), 0.0);
}

TEST(WmiRow, CimDatesBecomeDayMonthYear) {
    EXPECT_EQ(CimDateToText(L"20240315000000.000000+000"), L"15.03.2024");
    EXPECT_EQ(CimDateToText(L"20191231"), L"31.12.2019");
    EXPECT_EQ(CimDateToText(L"2024031"), L"");
    EXPECT_EQ(CimDateToText(L""), L"");
}

TEST(WmiRow, JoinSkipsEmptyPartsWithoutDoubledSeparators) {
    EXPECT_EQ(JoinNonEmpty({L"F.20", L"", L"15.03.2024"}, L" \u00B7 "), L"F.20 \u00B7 15.03.2024");
    EXPECT_EQ(JoinNonEmpty({L"", L"B"}, L" "), L"B");
    EXPECT_EQ(JoinNonEmpty({L"A", L""}, L" "), L"A");
    EXPECT_EQ(JoinNonEmpty({L"", L""}, L" "), L"");
    EXPECT_EQ(JoinNonEmpty(std::vector<std::wstring>{}, L" "), L"");
    EXPECT_EQ(JoinNonEmpty(std::vector<std::wstring>{L"a", L"b", L"c"}, L", "), L"a, b, c");
}
