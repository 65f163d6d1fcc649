// Splitting the local address caption into the start octets.

#include "OctetSplit.h"

#include <gtest/gtest.h>

using Octets = std::array<std::string, 4>;
using tobrik::app::SplitOctets;

TEST(OctetSplit, SplitsDottedAddresses) {
    EXPECT_EQ(SplitOctets("192.168.10.5"), (Octets{"192", "168", "10", "5"}));
    EXPECT_EQ(SplitOctets("10.0.0.1"), (Octets{"10", "0", "0", "1"}));
    EXPECT_EQ(SplitOctets("1..3."), (Octets{"1", "", "3", ""}));
}

TEST(OctetSplit, TextAfterAFourthDotStaysInTheLastOctet) {
    EXPECT_EQ(SplitOctets("1.2.3.4.5"), (Octets{"1", "2", "3", "4.5"}));
}

TEST(OctetSplit, CaptionsWithoutThreeDotsLeaveEveryBoxEmpty) {
    for (const char* caption : {"", "1.2.3", "abc", "1.2", "."})
        EXPECT_EQ(SplitOctets(caption), Octets{}) << caption;
}
