// SPDX-License-Identifier: MIT
// The serial channel's bounds on a real pseudo-terminal, slot 0 driven
// directly with the access point on the other end.
#include <gtest/gtest.h>

#include "aplink/frames.h"
#include "aplink/serial.h"
#include "platform/clock.h"
#include "tests/support/ap_session.h"

namespace {

constexpr int SLOT = 0;

struct serial_session : ap_session {
    explicit serial_session(std::vector<std::string> args = {}) : ap_session(std::move(args), false)
    {
        EXPECT_TRUE(SerialOpen(SLOT, path.c_str()));
    }
    ~serial_session() { SerialClose(SLOT); }
    // A status request, which the access point answers with 4 bytes.
    void send_status_request()
    {
        BuildRequestFrame(AP_GET_STATUS, 1, zero);
        ASSERT_TRUE(SerialWrite(SLOT, AP_HEADER_SIZE + 1, txFrame));
    }
    const uint8_t zero[1] = {};
};

class SerialSilentRead : public testing::TestWithParam<int> {};

TEST_P(SerialSilentRead, ReturnsNothingOnceTheBoundHasPassed)
{
    serial_session s;
    const int n = GetParam();
    uint8_t buf[AP_FRAME_SIZE] = {};
    const int64_t start = plat_monotonic_ns();
    EXPECT_EQ(SerialRead(SLOT, n, buf), 0);
    const double ms = ms_since(start);
    EXPECT_GE(ms, read_bound_ms(n) - 2);
    EXPECT_LT(ms, 1000);
}
INSTANTIATE_TEST_SUITE_P(Sizes, SerialSilentRead, testing::Values(1, 4, 22));

TEST(SerialChannel, PartialReplyReturnsWhatArrivedAtTheBound)
{
    serial_session s({"--ap-short=2"});
    s.send_status_request();
    uint8_t buf[4] = {};
    const int64_t start = plat_monotonic_ns();
    EXPECT_EQ(SerialRead(SLOT, 4, buf), 2);
    EXPECT_GE(ms_since(start), read_bound_ms(4) - 10);
    EXPECT_EQ(buf[AP_STATUS_OFFSET], AP_STATUS_ACK);
}

// More bytes than asked for: the read returns its n at once, the rest stays
// queued until a purge drops it.
TEST(SerialChannel, OverfullReadReturnsNAndThePurgeDropsTheRest)
{
    serial_session s({"--ap-stray=3"});
    s.send_status_request();
    uint8_t buf[4] = {};
    const int64_t start = plat_monotonic_ns();
    ASSERT_EQ(SerialRead(SLOT, 4, buf), 4);
    EXPECT_LT(ms_since(start), read_bound_ms(4));
    ASSERT_EQ(SerialRead(SLOT, 1, buf), 1);  // still queued
    SerialPurge(SLOT);
    EXPECT_EQ(SerialRead(SLOT, 2, buf), 0);
}

TEST(SerialChannel, ClosedAndUnknownSlotsFailAtOnce)
{
    const int fds = open_fd_count();
    serial_session s;
    SerialClose(SLOT);
    SerialClose(SLOT);
    EXPECT_EQ(open_fd_count(), fds);
    uint8_t buf[4] = {0xFF, 0, 4, 0};
    const int64_t start = plat_monotonic_ns();
    for (int slot : {SLOT, -1, SERIAL_SLOTS}) {
        SCOPED_TRACE(slot);
        EXPECT_FALSE(SerialWrite(slot, 4, buf));
        EXPECT_EQ(SerialRead(slot, 4, buf), 0);
        SerialPurge(slot);
        SerialClose(slot);
    }
    EXPECT_FALSE(SerialOpen(-1, s.path.c_str()));
    EXPECT_FALSE(SerialOpen(SERIAL_SLOTS, s.path.c_str()));
    EXPECT_EQ(open_fd_count(), fds);
    EXPECT_LT(ms_since(start), read_bound_ms(1));
    s.sim.stop();
    EXPECT_TRUE(s.requests().empty());
}

}  // namespace
