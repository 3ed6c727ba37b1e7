// SPDX-License-Identifier: MIT
// The QX_ command interface in-process against orv3sim on a pseudo-terminal.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <fcntl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "aplink/frames.h"
#include "aplink/qx_internal.h"
#include "aplink/qxap.h"
#include "aplink/serial.h"
#include "platform/clock.h"
#include "platform/sysroot.h"
#include "tests/support/ap_session.h"
#include "watchlink/protocol.h"

namespace {

using bytes = std::vector<uint8_t>;

// Out-values of every kind, preset so that any write to them shows.
constexpr unsigned short U16_PRESET = 0xBEEF;
constexpr unsigned long U32_PRESET = 0xDEADBEEF;
constexpr unsigned char BUF_PRESET = 0xAB;
struct out_probe {
    unsigned short u16 = U16_PRESET;
    unsigned long u32 = U32_PRESET;
    std::array<unsigned char, AP_WATCH_FRAME_SIZE> buf;
    out_probe() { buf.fill(BUF_PRESET); }
};

constexpr int KEEP = -1;  // the out-value keeps its preset
constexpr int KEPL_GAP_MS = 5;  // between bulk-data chunks

// Every command function, with what it leaves in its 16-bit out-value when
// it fails: on a closed port, and when the access point refuses it.
struct qx_row {
    const char* name;
    bool guarded;  // refused on a closed port, without I/O
    std::function<bool(out_probe&)> call;
    int u16_closed = KEEP;
    int u16_refused = KEEP;
};

const std::vector<qx_row>& command_rows()
{
    static const std::vector<qx_row> rows = {
        {"Reset", false, [](out_probe&) { return QX_Reset(); }},
        {"GetStatus", true, [](out_probe& p) { return QX_GetStatus(p.u16); }, 7},
        {"ROV_Start", false, [](out_probe&) { return QX_ROV_Start(); }},
        {"ROV_Stop", false, [](out_probe&) { return QX_ROV_Stop(); }},
        {"ROV_SetID", true, [](out_probe&) { return QX_ROV_SetID(0x11223344); }},
        {"ROV_GetID", true, [](out_probe& p) { return QX_ROV_GetID(p.u32); }},
        {"ROV_SetHeartrate", true, [](out_probe&) { return QX_ROV_SetHeartrate(0x1234); }},
        {"VAM_Start", false, [](out_probe&) { return QX_VAM_Start(); }},
        {"VAM_Stop", false, [](out_probe&) { return QX_VAM_Stop(); }},
        {"VAM_GetData", true, [](out_probe& p) { return QX_VAM_GetData(p.u32); }},
        {"KEPL_Start", false, [](out_probe&) { return QX_KEPL_Start(); }},
        {"KEPL_Stop", false, [](out_probe&) { return QX_KEPL_Stop(); }},
        {"KEPL_GetStatus", true, [](out_probe& p) { return QX_KEPL_GetStatus(p.u32); }},
        {"KEPL_GetPacketStatus", true, [](out_probe& p) { return QX_KEPL_GetPacketStatus(p.u32); }},
        {"KEPL_Send_Data", true, [](out_probe& p) { return QX_KEPL_Send_Data(p.buf.data(), 4, p.u32); }},
        {"SYNC_Start", false, [](out_probe&) { return QX_SYNC_Start(); }},
        {"SYNC_SendCommand", true, [](out_probe& p) { return QX_SYNC_SendCommand(p.buf.data()); }},
        {"SYNC_GetBufferStatus", true, [](out_probe& p) { return QX_SYNC_GetBufferStatus(p.u16); }, KEEP, 0},
        {"SYNC_ReadBuffer", true, [](out_probe& p) { return QX_SYNC_ReadBuffer(p.buf.data()); }},
        {"Set0A", true, [](out_probe&) { return QX_Set0A(0xAB, 0x1234); }},
        {"Get20", true, [](out_probe& p) { return QX_Get20(p.u32); }},
        {"KEPL_Get49", true, [](out_probe& p) { return QX_KEPL_Get49(p.u32); }},
        {"Set70", true, [](out_probe&) { return QX_Set70(0x1234); }},
        {"Send71", true, [](out_probe&) { return QX_Send71(); }},
        {"Set72", true, [](out_probe&) { return QX_Set72(0xCD, 0xBEEF); }},
        {"Get73", true, [](out_probe& p) { return QX_Get73(p.u16); }, 0, 0},
    };
    return rows;
}

void expect_out_values(const out_probe& p, int u16)
{
    EXPECT_EQ(p.u16, u16 == KEEP ? U16_PRESET : u16);
    EXPECT_EQ(p.u32, U32_PRESET);
    for (unsigned char b : p.buf)
        EXPECT_EQ(b, BUF_PRESET);
}

TEST(QxInterface, ClosedPortRefusesOrFailsWithoutIo)
{
    ap_session ap;
    QX_CloseCOM();
    for (const qx_row& row : command_rows()) {
        SCOPED_TRACE(row.name);
        QX_CloseCOM();  // lastStatus back to 6
        out_probe p;
        EXPECT_FALSE(row.call(p));
        // Unguarded commands go to the closed channel and read no status.
        EXPECT_EQ(lastStatus, row.guarded ? AP_STATUS_ACK : 0);
        expect_out_values(p, row.u16_closed);
    }
    ap.sim.stop();
    EXPECT_TRUE(ap.requests().empty());
}

TEST(QxInterface, RefusedCommandsLeaveTheirOutValues)
{
    ap_session ap({"--ap-refuse=5"});
    ASSERT_FALSE(ap.path.empty());
    for (const qx_row& row : command_rows()) {
        SCOPED_TRACE(row.name);
        out_probe p;
        EXPECT_FALSE(row.call(p));
        EXPECT_EQ(lastStatus, 5);
        expect_out_values(p, row.u16_refused);
    }
    EXPECT_EQ(ap.requests().size(), command_rows().size());
}

// The request each command function puts on the wire, acknowledged.
TEST(QxInterface, EveryCommandSendsItsRequestFrame)
{
    ap_session ap;
    out_probe p;
    std::iota(p.buf.begin(), p.buf.end(), 0x60);
    const bytes sync_payload(p.buf.begin(), p.buf.end());
    const std::vector<bytes> expected = {
        {0xFF, AP_RESET, 4, 0},
        {0xFF, AP_GET_STATUS, 4, 0},
        {0xFF, AP_ROV_START, 3},
        {0xFF, AP_ROV_STOP, 3},
        {0xFF, AP_ROV_SET_ID, 7, 0x44, 0x33, 0x22, 0x11},
        {0xFF, AP_ROV_GET_ID, 7, 0, 0, 0, 0},
        {0xFF, AP_ROV_SET_HEARTRATE, 4, 0x34},
        {0xFF, AP_VAM_START, 3},
        {0xFF, AP_VAM_STOP, 3},
        {0xFF, AP_VAM_GET_DATA, 7, 0, 0, 0, 0},
        {0xFF, AP_KEPL_START, 3},
        {0xFF, AP_KEPL_STOP, 3},
        {0xFF, AP_KEPL_GET_STATUS, 4, 0},
        {0xFF, AP_KEPL_GET_PACKET_STATUS, 4, 0},
        {0xFF, AP_KEPL_SEND_DATA, 7, 0x60, 0x61, 0x62, 0x63},
        {0xFF, AP_SYNC_START, 3},
        {},  // the watch command: checked below
        {0xFF, AP_SYNC_GET_BUFFER_STATUS, 3},
        {0xFF, AP_SYNC_READ_BUFFER, 3},
        {0xFF, AP_SET_0A, 6, 0xAB, 0x34, 0x12},
        {0xFF, AP_GET_20, 7, 0, 0, 0, 0},
        {0xFF, AP_KEPL_GET_49, 4, 0},
        {0xFF, AP_SET_70, 5, 0x34, 0x12},
        {0xFF, AP_SEND_71, 3},
        {0xFF, AP_SET_72, 6, 0xCD, 0xEF, 0xBE},
        {0xFF, AP_GET_73, 5, 0, 0},
    };
    ASSERT_EQ(expected.size(), command_rows().size());
    for (const qx_row& row : command_rows()) {
        SCOPED_TRACE(row.name);
        EXPECT_TRUE(row.call(p));
        EXPECT_EQ(lastStatus, AP_STATUS_ACK);
    }
    const auto req = ap.requests();
    ASSERT_EQ(req.size(), expected.size());
    for (std::size_t i = 0; i < req.size(); ++i) {
        SCOPED_TRACE(command_rows()[i].name);
        if (expected[i].empty()) {
            bytes want = {0xFF, AP_SYNC_SEND_COMMAND, 22};
            want.insert(want.end(), sync_payload.begin(), sync_payload.end());
            EXPECT_EQ(req[i].bytes, want);
        } else {
            EXPECT_EQ(req[i].bytes, expected[i]);
        }
    }
}

// Reply values come from byte 3 on, little-endian, one-byte values widened.
TEST(QxInterface, GettersDeliverTheReplyValues)
{
    ap_session ap({"--ap-value=0xFF"});
    ASSERT_TRUE(QX_ROV_SetID(0x11223344));
    unsigned long id = 0;
    ASSERT_TRUE(QX_ROV_GetID(id));
    EXPECT_EQ(id, 0x11223344u);

    unsigned short u16 = 0;
    ASSERT_TRUE(QX_GetStatus(u16));
    EXPECT_EQ(u16, 0xFF);
    u16 = 0;
    ASSERT_TRUE(QX_Get73(u16));
    EXPECT_EQ(u16, 0xFF);
    const std::vector<std::pair<const char*, bool (*)(unsigned long&)>> getters = {
        {"VAM_GetData", QX_VAM_GetData},       {"KEPL_GetStatus", QX_KEPL_GetStatus},
        {"KEPL_GetPacketStatus", QX_KEPL_GetPacketStatus}, {"Get20", QX_Get20},
        {"KEPL_Get49", QX_KEPL_Get49},
    };
    for (const auto& [name, get] : getters) {
        SCOPED_TRACE(name);
        unsigned long v = 0;
        ASSERT_TRUE(get(v));
        EXPECT_EQ(v, 0xFFu);
    }
}

watch_command read_extra0()
{
    watch_command c{};
    c[POS_CODE] = CMD_READ_EXTRA0;
    return c;
}

// A watch reply waits in the access point once the watch has answered.
void make_watch_reply_wait(const ap_session& ap)
{
    ASSERT_TRUE(QX_VAM_Start());
    watch_command c = read_extra0();
    ASSERT_TRUE(QX_SYNC_SendCommand(c.data()));
    ASSERT_TRUE(ap.wait_for_frames("watch>ap", 1, 2000));
}

TEST(QxInterface, SyncExchangeDeliversTheWatchReply)
{
    ap_session ap;
    make_watch_reply_wait(ap);
    unsigned short state = 0;
    ASSERT_TRUE(QX_SYNC_GetBufferStatus(state));
    EXPECT_EQ(state, AP_SYNC_REPLY_WAITING);
    std::array<unsigned char, AP_WATCH_FRAME_SIZE> reply{};
    ASSERT_TRUE(QX_SYNC_ReadBuffer(reply.data()));
    const auto from_watch = frames_of(ap.sim.wire(), "watch>ap");
    ASSERT_EQ(from_watch.size(), 1u);
    EXPECT_EQ(bytes(reply.begin(), reply.end()), from_watch[0].bytes);
    EXPECT_EQ(reply[POS_TAG], TAG_EXTRA0);
    ASSERT_TRUE(QX_SYNC_GetBufferStatus(state));
    EXPECT_NE(state, AP_SYNC_REPLY_WAITING);
}

// The buffer state is stored before the status is tested: a refused or
// missing reply still overwrites the caller's value.
struct buffer_status_case {
    const char* name;
    std::vector<std::string> sim_args;
    bool reply_waiting;
    bool ok;
    unsigned short state;
};
void PrintTo(const buffer_status_case& c, std::ostream* os) { *os << c.name; }
class QxBufferStatus : public testing::TestWithParam<buffer_status_case> {};

TEST_P(QxBufferStatus, StoresReplyByteThreeAcknowledgedOrNot)
{
    ap_session ap(GetParam().sim_args);
    if (GetParam().reply_waiting)
        make_watch_reply_wait(ap);
    unsigned short state = U16_PRESET;
    EXPECT_EQ(QX_SYNC_GetBufferStatus(state), GetParam().ok);
    EXPECT_EQ(state, GetParam().state);
}
const std::string REFUSE_POLL = "--ap-refuse=5@" + hex_arg(AP_SYNC_GET_BUFFER_STATUS);
const std::string SILENT_POLL = "--ap-silent=1@" + hex_arg(AP_SYNC_GET_BUFFER_STATUS);
INSTANTIATE_TEST_SUITE_P(
    Replies, QxBufferStatus,
    testing::Values(buffer_status_case{"RefusedWithReplyWaiting", {REFUSE_POLL}, true, false, AP_SYNC_REPLY_WAITING},
                    buffer_status_case{"RefusedWithNoneWaiting", {REFUSE_POLL}, false, false, 0},
                    buffer_status_case{"NoReply", {SILENT_POLL}, true, false, 0},
                    buffer_status_case{"Acknowledged", {}, true, true, AP_SYNC_REPLY_WAITING}),
    [](const auto& i) { return std::string(i.param.name); });

// Whatever speed the caller names, and whatever the line was set to before,
// it runs at 115200 8N1, raw, without flow control.
class QxOpenSpeed : public testing::TestWithParam<unsigned long> {};

TEST_P(QxOpenSpeed, LineSettingsAreFixed)
{
    ap_session ap({}, false);
    const int fd = open(plat_sysroot_path(ap.path).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios t{};
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | CS7 | PARENB | CSTOPB | CRTSCTS;
    t.c_iflag |= IXON | IXOFF | INPCK | ISTRIP | ICRNL;
    t.c_lflag |= ICANON | ECHO | ISIG;
    cfsetspeed(&t, B9600);
    ASSERT_EQ(tcsetattr(fd, TCSANOW, &t), 0);

    ASSERT_TRUE(QX_OpenCOM(ap.path.data(), GetParam(), 30, false, false));
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    close(fd);
    EXPECT_EQ(cfgetospeed(&t), B115200);
    EXPECT_EQ(cfgetispeed(&t), B115200);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | INPCK | ISTRIP | ICRNL), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    unsigned short status = 0;
    EXPECT_TRUE(QX_GetStatus(status));
}
INSTANTIATE_TEST_SUITE_P(Bauds, QxOpenSpeed, testing::Values(9600ul, 0ul, 115200ul, 4000000ul));

// Bulk data goes out in chunks of 28 bytes, each the next slice of the
// block, about 5 ms apart; sent is the size of the last chunk.
struct kepl_case {
    int length;
    std::vector<int> chunks;
};
void PrintTo(const kepl_case& c, std::ostream* os) { *os << c.length << " bytes"; }
class QxKeplSend : public testing::TestWithParam<kepl_case> {};

TEST_P(QxKeplSend, SendsTheBlockInChunks)
{
    constexpr double MIN_CHUNK_GAP_S = (KEPL_GAP_MS - 1) / 1000.0;  // loosely
    ap_session ap;
    std::vector<unsigned char> block(static_cast<std::size_t>(std::max(GetParam().length, 1)));
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<unsigned char>(i * 7 + 1);
    unsigned long sent = U32_PRESET;
    ASSERT_TRUE(QX_KEPL_Send_Data(block.data(), GetParam().length, sent));
    EXPECT_EQ(sent, static_cast<unsigned long>(GetParam().chunks.back()));

    const auto req = ap.requests();
    ASSERT_EQ(req.size(), GetParam().chunks.size());
    std::size_t offset = 0;
    for (std::size_t i = 0; i < req.size(); ++i) {
        SCOPED_TRACE("chunk " + std::to_string(i));
        const auto n = static_cast<std::size_t>(GetParam().chunks[i]);
        bytes want = {0xFF, AP_KEPL_SEND_DATA, static_cast<uint8_t>(n + AP_HEADER_SIZE)};
        want.insert(want.end(), block.begin() + static_cast<std::ptrdiff_t>(offset),
                    block.begin() + static_cast<std::ptrdiff_t>(offset + n));
        EXPECT_EQ(req[i].bytes, want);
        offset += n;
        if (i > 0) {
            EXPECT_GE(req[i].t - req[i - 1].t, MIN_CHUNK_GAP_S);
        }
    }
}
INSTANTIATE_TEST_SUITE_P(Lengths, QxKeplSend,
                         testing::Values(kepl_case{0, {0}}, kepl_case{28, {28}}, kepl_case{29, {28, 1}},
                                         kepl_case{60, {28, 28, 4}},
                                         kepl_case{300, {28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 20}}));

TEST(QxInterface, KeplSendStopsAtTheFirstRefusedChunk)
{
    ap_session ap({"--ap-refuse=5@" + hex_arg(AP_KEPL_SEND_DATA)});
    std::vector<unsigned char> block(300, 0x5A);
    unsigned long sent = U32_PRESET;
    EXPECT_FALSE(QX_KEPL_Send_Data(block.data(), 300, sent));
    EXPECT_EQ(sent, U32_PRESET);
    EXPECT_EQ(ap.requests().size(), 1u);
}

TEST(QxInterface, CloseWithoutOpenIsHarmless)
{
    const int fds = open_fd_count();
    QX_CloseCOM();
    QX_CloseCOM();
    EXPECT_FALSE(portOpen);
    EXPECT_EQ(lastStatus, AP_STATUS_ACK);
    EXPECT_EQ(open_fd_count(), fds);
}

// Paths below the simulator's device directory that are no serial port.
class QxOpenFails : public testing::TestWithParam<const char*> {};

TEST_P(QxOpenFails, LeavesThePortClosedAndNothingOpen)
{
    ap_session ap({}, false);
    const std::string dev = plat_sysroot_path("/dev/");
    std::filesystem::create_directory(dev + "ttyACM8");  // a directory
    std::ofstream(dev + "ttyACM9") << "a plain file";
    std::string path = std::string("/dev/") + GetParam();
    const int fds = open_fd_count();
    EXPECT_FALSE(QX_OpenCOM(path.data(), 115200, 30, false, false));
    EXPECT_FALSE(portOpen);
    EXPECT_EQ(lastStatus, 5);
    EXPECT_EQ(open_fd_count(), fds);
    unsigned short status = U16_PRESET;
    EXPECT_FALSE(QX_GetStatus(status));
    EXPECT_EQ(status, 7);
}
INSTANTIATE_TEST_SUITE_P(Paths, QxOpenFails, testing::Values("ttyACM250", "ttyACM8", "ttyACM9"),
                         [](const auto& i) { return std::string(i.param); });

// Exclusive use holds between processes, also when both run as root.
TEST(QxInterface, OpenFailsWhileAnotherProcessHoldsThePort)
{
    ap_session ap({}, false);
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(ready[0]);
        close(release[1]);
        const char ok = QX_OpenCOM(ap.path.data(), 115200, 30, false, false) ? 'y' : 'n';
        (void)!write(ready[1], &ok, 1);
        char c;
        (void)!read(release[0], &c, 1);
        _exit(0);  // ends holding the port: the process's end releases it
    }
    close(ready[1]);
    close(release[0]);
    char held = 0;
    ASSERT_EQ(read(ready[0], &held, 1), 1);
    ASSERT_EQ(held, 'y');

    const int fds = open_fd_count();
    EXPECT_FALSE(ap.open());
    EXPECT_FALSE(portOpen);
    EXPECT_EQ(lastStatus, 5);
    EXPECT_EQ(open_fd_count(), fds);

    close(release[1]);
    int st = 0;
    waitpid(child, &st, 0);
    close(ready[0]);
    EXPECT_TRUE(ap.open());
    unsigned short status = 0;
    EXPECT_TRUE(QX_GetStatus(status));
}

TEST(QxInterface, OpeningAgainKeepsOneDevice)
{
    ap_session ap({}, false);
    const int fds = open_fd_count();
    ASSERT_TRUE(ap.open());
    ASSERT_TRUE(ap.open());
    EXPECT_EQ(open_fd_count(), fds + 1);
    QX_CloseCOM();
    EXPECT_EQ(open_fd_count(), fds);
}

// The device vanishes at the frame after the K it answers: that call and
// every later one fail at once, not by waiting out their reads, and close
// leaves nothing open.
struct hangup_case {
    const char* name;
    int answered;  // frames answered before the device vanishes
    int resets;    // of them, taken by resets before the call
    std::function<bool()> call;
    int bound_ms;  // a read that missed the hang-up would wait this long
};
void PrintTo(const hangup_case& c, std::ostream* os) { *os << c.name; }
class QxHangup : public testing::TestWithParam<hangup_case> {};

TEST_P(QxHangup, CallsFailAtOnceAndCloseReleasesThePort)
{
    const int fds = open_fd_count();
    ap_session ap({"--hangup-after=" + std::to_string(GetParam().answered)});
    for (int i = 0; i < GetParam().resets; ++i)
        ASSERT_TRUE(QX_Reset());
    int64_t start = plat_monotonic_ns();
    EXPECT_FALSE(GetParam().call());
    EXPECT_LT(ms_since(start), GetParam().bound_ms);
    EXPECT_EQ(lastStatus, 0);

    start = plat_monotonic_ns();
    unsigned short status = U16_PRESET;
    EXPECT_FALSE(QX_GetStatus(status));
    EXPECT_EQ(status, U16_PRESET);
    EXPECT_LT(ms_since(start), read_bound_ms(4));

    QX_CloseCOM();
    EXPECT_FALSE(portOpen);
    ap.sim.stop();
    EXPECT_EQ(open_fd_count(), fds);
    EXPECT_FALSE(QX_Reset());
    const auto wire = ap.sim.wire();
    ASSERT_FALSE(wire.empty());
    EXPECT_EQ(wire.back().note, "hang-up");
}
INSTANTIATE_TEST_SUITE_P(
    Calls, QxHangup,
    testing::Values(hangup_case{"FirstReset", 0, 0, [] { return QX_Reset(); }, read_bound_ms(4)},
                    hangup_case{"ReadBuffer", 1, 1,
                                [] {
                                    unsigned char r[AP_WATCH_FRAME_SIZE];
                                    return QX_SYNC_ReadBuffer(r);
                                },
                                read_bound_ms(AP_HEADER_SIZE + AP_WATCH_FRAME_SIZE)},
                    hangup_case{"ThirdBulkChunk", 2, 0,
                                [] {
                                    std::vector<unsigned char> block(300);
                                    unsigned long sent = U32_PRESET;
                                    return QX_KEPL_Send_Data(block.data(), 300, sent) || sent != U32_PRESET;
                                },
                                // two chunks go through first
                                2 * (KEPL_GAP_MS + find_ap_command(AP_KEPL_SEND_DATA)->pause_ms) +
                                    read_bound_ms(AP_HEADER_SIZE)}),
    [](const auto& i) { return std::string(i.param.name); });

}  // namespace
