// The range validation of the octet boxes. The numeric rule and the
// splitting of the local address: tests/fuzz (numeric_text, octet_split).

#include "RangeValidation.h"
#include "HostileOctets.h"

#include <gtest/gtest.h>

#include <cctype>
#include <tuple>

using tobrik::app::RangeVerdict;
using tobrik::app::ValidateRange;

struct ValidationRow {
    const char* name;
    std::array<std::string, 4> start;
    std::string end;
    RangeVerdict::Kind kind;
    int refusedBox;
};

class RangeValidation : public ::testing::TestWithParam<ValidationRow> {};

TEST_P(RangeValidation, GivesTheExpectedVerdict) {
    const auto& row = GetParam();
    const auto verdict = ValidateRange(row.start, row.end);
    EXPECT_EQ(verdict.kind, row.kind);
    EXPECT_EQ(verdict.refusedBox, row.refusedBox);
}

using K = RangeVerdict::Kind;
INSTANTIATE_TEST_SUITE_P(
    Table, RangeValidation,
    ::testing::Values(
        ValidationRow{"plain", {"192", "168", "1", "1"}, "254", K::Accepted, -1},
        ValidationRow{"firstOctetZero", {"0", "0", "0", "1"}, "1", K::Accepted, -1},
        ValidationRow{"bothEnds255", {"10", "0", "0", "255"}, "255", K::Accepted, -1},
        ValidationRow{"leadingZeros", {"010", "001", "000", "001"}, "0255", K::Accepted, -1},
        ValidationRow{"firstEmpty", {"", "1", "1", "1"}, "1", K::StartRefused, 0},
        ValidationRow{"thirdLetters", {"1", "1", "abc", "1"}, "1", K::StartRefused, 2},
        ValidationRow{"secondTooBigThirdEmpty", {"1", "256", "", "1"}, "1", K::StartRefused, 1},
        ValidationRow{"lastZero", {"1", "1", "1", "0"}, "1", K::StartRefused, 3},
        ValidationRow{"lastNegative", {"1", "1", "1", "-1"}, "1", K::StartRefused, 3},
        ValidationRow{"blanks", {" 1", "1", "1", "1"}, "1", K::StartRefused, 0},
        ValidationRow{"huge", {"1", "99999999999999999999", "1", "1"}, "1", K::StartRefused, 1},
        ValidationRow{"fullWidth", {"1", "1", "1", "\xef\xbc\x95"}, "5", K::StartRefused, 3},
        ValidationRow{"endBelowStart", {"1", "1", "1", "10"}, "9", K::EndRefused, -1},
        ValidationRow{"endTooBig", {"1", "1", "1", "10"}, "256", K::EndRefused, -1},
        ValidationRow{"endEmpty", {"1", "1", "1", "10"}, "", K::EndRefused, -1},
        ValidationRow{"endLetters", {"1", "1", "1", "10"}, "1O", K::EndRefused, -1},
        ValidationRow{"endZero", {"1", "1", "1", "1"}, "0", K::EndRefused, -1}),
    [](const auto& info) { return std::string(info.param.name); });

// Hostile text in each of the five boxes of an otherwise valid range.
class HostileOctet
    : public ::testing::TestWithParam<std::tuple<std::pair<const char*, std::string>, int>> {};

TEST_P(HostileOctet, IsRefusedInItsBox) {
    const auto& [hostile, box] = GetParam();
    std::array<std::string, 4> start{"10", "0", "0", "1"};
    std::string end = "2";
    (box == 4 ? end : start[static_cast<std::size_t>(box)]) = hostile.second;
    const auto verdict = ValidateRange(start, end);
    EXPECT_EQ(verdict.kind, box == 4 ? K::EndRefused : K::StartRefused);
    EXPECT_EQ(verdict.refusedBox, box == 4 ? -1 : box);
}

INSTANTIATE_TEST_SUITE_P(Table, HostileOctet,
                         ::testing::Combine(::testing::ValuesIn(tobrik::test::HostileOctets()),
                                            ::testing::Range(0, 5)),
                         [](const auto& info) {
                             std::string name = std::get<0>(info.param).first;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name + "_box" + std::to_string(std::get<1>(info.param));
                         });
