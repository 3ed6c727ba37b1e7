// SPDX-License-Identifier: MIT
// Test support: each case runs in a fresh scratch directory of its own, which
// is its working directory and is removed after it.
#pragma once
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

#include "tests/support/sim_harness.h"

class in_temp_dir : public testing::Test {
protected:
    void SetUp() override
    {
        home = std::filesystem::current_path();
        dir = std::filesystem::canonical(make_temp_dir()).string();
        std::filesystem::current_path(dir);
    }
    void TearDown() override
    {
        std::filesystem::current_path(home);
        std::filesystem::remove_all(dir);
    }
    std::string path_of(const std::string& name) const { return dir + "/" + name; }

    std::filesystem::path home;
    std::string dir;
};
