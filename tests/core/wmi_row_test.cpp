#include <gtest/gtest.h>

#include "inventory/wmi_row.h"

using namespace kalorix;

TEST(WmiRow, AbsentAndEmptyPropertiesGiveEmptyTextAndZero) {
    const WmiRow row{{L"Name", L"Intel"}, {L"Blank", L""}};
    EXPECT_EQ(RowText(row, L"Missing"), L"");
    EXPECT_EQ(RowNumber(row, L"Missing"), 0.0);
    EXPECT_EQ(RowNumber(row, L"Blank"), 0.0);
    EXPECT_EQ(RowText(row, L"name"), L"");  // property names are matched exactly
}

TEST(WmiRow, NumbersParseTheLeadingDecimalText) {
    const WmiRow row{{L"Capacity", L"17179869184"}, {L"Speed", L"3600 MHz"}, {L"Frac", L"2.5"},
                     {L"Word", L"Unknown"},         {L"Nan", L"nan"},        {L"Inf", L"-inf"},
                     {L"Neg", L"-12"}};
    const std::pair<const wchar_t*, double> cases[] = {{L"Capacity", 17179869184.0}, {L"Speed", 3600.0},
                                                       {L"Frac", 2.5}, {L"Word", 0.0}, {L"Neg", -12.0},
                                                       {L"Nan", 0.0}, {L"Inf", 0.0}};  // never NaN or infinity
    for (auto [name, want] : cases) EXPECT_EQ(RowNumber(row, name), want) << name;
}

TEST(WmiRow, CimDatesBecomeDayMonthYear) {
    EXPECT_EQ(CimDateToText(L"20240315000000.000000+000"), L"15.03.2024");
    EXPECT_EQ(CimDateToText(L"20191231"), L"31.12.2019");
    EXPECT_EQ(CimDateToText(L"2024031"), L"");
}

TEST(WmiRow, JoinSkipsEmptyPartsWithoutDoubledSeparators) {
    EXPECT_EQ(JoinNonEmpty({L"F.20", L"", L"15.03.2024"}, L" \u00B7 "), L"F.20 \u00B7 15.03.2024");
    EXPECT_EQ(JoinNonEmpty({L"", L"B"}, L" "), L"B");
    EXPECT_EQ(JoinNonEmpty({L"", L""}, L" "), L"");
}
