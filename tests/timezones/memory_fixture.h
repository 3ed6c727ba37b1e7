// SPDX-License-Identifier: MIT
// A test whose catalogue is read from the in-memory source, empty at the start.
#pragma once
#include <gtest/gtest.h>

#include "tests/timezones/memory_source.h"
#include "timezones/catalogue.h"
#include "timezones/zone_source.h"

class MemorySourceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        mem_reset();
        TzReleaseCatalogue();
        TzSetZoneSource(&mem_source());
    }
    void TearDown() override
    {
        TzReleaseCatalogue();
        TzSetZoneSource(nullptr);
    }
};
