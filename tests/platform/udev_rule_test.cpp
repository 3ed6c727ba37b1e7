// SPDX-License-Identifier: MIT
// The udev rule knows the access point by the same product string as discovery.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "aplink/discovery.h"

TEST(UdevRule, MatchesTheAccessPointsProductString)
{
    std::ifstream in(ORV3_UDEV_RULE);
    ASSERT_TRUE(in) << ORV3_UDEV_RULE;
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find(std::string("ATTRS{product}==\"") + AP_DEVICE_DESCRIPTION + "\""), std::string::npos);
}
