// SPDX-License-Identifier: MIT
// The database of records: made on first use, reopened, shared by two
// writers, and left alone when it is not one this code may write.
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "records/records.h"
#include "tests/support/sim_harness.h"

namespace {

drift_record sample_record(double offset_us)
{
    drift_record r;
    r.recorded_at = "2026-12-10 14:05:13";
    r.tool = TOOL_NAME_SETTER;
    r.watch = "cc 10 3 02-29 0";
    r.average_diff_ms = 11;
    r.std_dev_ms = 0.5;
    r.offset = offset_measurement{1796944564.4465, offset_us, 12.5};
    r.samples = 10;
    r.delay_min_us = 2358.9;
    r.pc_synchronised = false;
    r.pc_est_error_us = 16000000;
    r.time_commands = 2;
    r.sent_time = "2026-12-10 15:05:10.270";
    r.before = offset_measurement{1796944530.25, -250000.5, 11};
    return r;
}

// Sets an environment variable for one test, or removes it.
struct scoped_env {
    std::string name;
    std::string old;
    bool had;
    scoped_env(const char* n, const char* v) : name(n)
    {
        const char* o = std::getenv(n);
        had = o != nullptr;
        old = had ? o : "";
        v ? setenv(n, v, 1) : unsetenv(n);
    }
    ~scoped_env() { had ? setenv(name.c_str(), old.c_str(), 1) : unsetenv(name.c_str()); }
};

TEST(Records, FirstUseMakesTheDefaultPlaceAndReadsBack)
{
    const std::string state = make_temp_dir() + "/state";
    scoped_env log(RECORD_LOG_ENV, nullptr), xdg("XDG_STATE_HOME", state.c_str());
    std::string path, problem;
    ASSERT_TRUE(rec_log_path(path));
    EXPECT_EQ(path, state + "/orv3/readings.sqlite");
    ASSERT_TRUE(rec_add(path, sample_record(12456.48), problem)) << problem;

    std::vector<drift_record> got;
    ASSERT_TRUE(rec_load(path, got, problem)) << problem;
    ASSERT_EQ(got.size(), 1u);
    const drift_record& r = got[0];
    EXPECT_EQ(r.tool, TOOL_NAME_SETTER);
    EXPECT_EQ(r.watch, "cc 10 3 02-29 0");
    EXPECT_EQ(r.average_diff_ms, 11);
    ASSERT_TRUE(r.offset);
    EXPECT_DOUBLE_EQ(r.offset->offset_us, 12456.48);
    EXPECT_DOUBLE_EQ(r.offset->at, 1796944564.4465);
    EXPECT_EQ(r.pc_synchronised, false);
    EXPECT_EQ(r.time_commands, 2);
    EXPECT_EQ(r.sent_time, "2026-12-10 15:05:10.270");
    ASSERT_TRUE(r.before);
    EXPECT_DOUBLE_EQ(r.before->offset_us, -250000.5);
    // What was not known stays unknown.
    EXPECT_FALSE(r.irq_err_min);
    EXPECT_FALSE(r.delay_max_us);
    EXPECT_FALSE(r.pc_max_error_us);
}

TEST(Records, WhereTheEnvironmentSays)
{
    {
        scoped_env log(RECORD_LOG_ENV, RECORD_LOG_OFF);
        std::string path;
        EXPECT_FALSE(rec_log_path(path));
    }
    scoped_env log(RECORD_LOG_ENV, "/somewhere/mine.sqlite");
    std::string path;
    ASSERT_TRUE(rec_log_path(path));
    EXPECT_EQ(path, "/somewhere/mine.sqlite");
    // A place the user named is not made for them.
    std::string problem;
    EXPECT_FALSE(rec_add(make_temp_dir() + "/no/such/dir.sqlite", sample_record(1), problem));
    EXPECT_FALSE(problem.empty());
}

TEST(Records, LaterRunsAddToTheSameFile)
{
    const std::string path = make_temp_dir() + "/r.sqlite";
    std::string problem;
    for (double off : {1.0, 2.0, 3.0})
        ASSERT_TRUE(rec_add(path, sample_record(off), problem)) << problem;
    std::vector<drift_record> got;
    ASSERT_TRUE(rec_load(path, got, problem));
    ASSERT_EQ(got.size(), 3u);
    EXPECT_DOUBLE_EQ(got[0].offset->offset_us, 1.0);
    EXPECT_DOUBLE_EQ(got[2].offset->offset_us, 3.0);
    EXPECT_LT(got[0].id, got[2].id);
}

TEST(Records, TwoWritersAtOnceLoseNothing)
{
    const std::string path = make_temp_dir() + "/r.sqlite";
    constexpr int EACH = 40;
    pid_t pids[2];
    for (int w = 0; w < 2; ++w) {
        pids[w] = fork();
        if (pids[w] == 0) {
            std::string problem;
            for (int i = 0; i < EACH; ++i)
                if (!rec_add(path, sample_record(w * 1000 + i), problem))
                    _exit(1);
            _exit(0);
        }
    }
    for (pid_t p : pids) {
        int st = 0;
        waitpid(p, &st, 0);
        EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
    }
    std::vector<drift_record> got;
    std::string problem;
    ASSERT_TRUE(rec_load(path, got, problem)) << problem;
    EXPECT_EQ(got.size(), 2u * EACH);
}

// A file this code must not write: it is left byte for byte as it was.
struct foreign_case {
    const char* name;
    std::string (*make)(const std::string& path);
    const char* says;
};

std::string garbage(const std::string& path)
{
    std::ofstream(path, std::ios::binary) << std::string(4096, '\x5a');
    return read_file(path);
}

// The layout version is the header's user version, big-endian at byte 60.
std::string later_layout(const std::string& path)
{
    std::string problem;
    rec_add(path, sample_record(1), problem);
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(60);
    const char version[4] = {0, 0, 0, RECORD_SCHEMA_VERSION + 1};
    f.write(version, 4);
    f.close();
    return read_file(path);
}

TEST(Records, FilesNotToWriteAreLeftAlone)
{
    const foreign_case cases[] = {{"corrupt", garbage, "not a database"},
                                  {"later layout", later_layout, "later version"}};
    for (const foreign_case& c : cases) {
        const std::string path = make_temp_dir() + "/r.sqlite";
        const std::string before = c.make(path);
        std::string problem;
        EXPECT_FALSE(rec_add(path, sample_record(2), problem)) << c.name;
        EXPECT_NE(problem.find(c.says), std::string::npos) << c.name << ": " << problem;
        EXPECT_EQ(read_file(path), before) << c.name;
    }
}

TEST(Records, CsvRowsFollowTheHeader)
{
    drift_record r = sample_record(5);
    r.watch = "say \"x\", y";
    const std::string header = rec_csv_header(), row = rec_csv_row(r);
    EXPECT_EQ(header.rfind("id,recorded_at,tool,watch,", 0), 0u) << header;
    EXPECT_NE(row.find(",\"say \"\"x\"\", y\","), std::string::npos) << row;
    // One field per column, unknown ones empty: count the separators outside quotes.
    auto fields = [](const std::string& s) {
        int n = 1;
        bool quoted = false;
        for (char ch : s) {
            if (ch == '"')
                quoted = !quoted;
            else if (ch == ',' && !quoted)
                ++n;
        }
        return n;
    };
    EXPECT_EQ(fields(row), fields(header));
    EXPECT_NE(row.find(",,"), std::string::npos);
}

}  // namespace
