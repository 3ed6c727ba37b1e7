// SPDX-License-Identifier: MIT
// The setter's temperature-offset mode: writes opt_tempoff into the watch's
// extra0 and shows the offset before and after.
#include <cstdio>

#include "aplink/ap_commands.h"
#include "tools/entry.h"
#include "tools/options.h"
#include "tools/tools.h"
#include "watchlink/exchange.h"
#include "watchlink/info_blocks.h"
#include "watchlink/run_frame.h"

namespace {

constexpr unsigned WRITE_SETTLE_MS = 500;
constexpr int READ_RETRIES = 2;
constexpr char UNDONE_TEMPOFF[] = "the temperature offset was not written.";
constexpr char DONE_TEMPOFF[] = "the offset was written.";

int16_t tempoff_of(const watch_reply& extra0)
{
    return static_cast<int16_t>(get_u16(extra0.data(), EXTRA0_POS_TEMPOFF));
}

// opt_tempoff written into extra0 and read back. TOOL_NOT_SET when the watch
// kept another offset; TOOL_COMM_ERROR when the read-back did not come.
int write_tempoff(const watch_reply& extra0, uint16_t& status, bool& wrote)
{
    std::printf("OLD tempoff=%d NEW tempoff=%d\n", tempoff_of(extra0), opt_tempoff);
    watch_command write = make_command(CMD_WRITE_EXTRA0);
    put_u16(write.data(), EXTRA0_POS_TEMPOFF, static_cast<uint16_t>(opt_tempoff));
    write[POS_SELECT_MASK] = SELECT_TEMPOFF;
    write[POS_TAG] = TAG_EXTRA0;
    const watch_command read_back = send_block_write(write, CMD_READ_EXTRA0, WRITE_SETTLE_MS);
    wrote = true;
    watch_reply extra0_after{};
    if (!exchange_done(status, read_back, extra0_after, READ_RETRIES, TAG_EXTRA0))
        return TOOL_COMM_ERROR;
    std::printf("CURRENT tempoff=%d\n", tempoff_of(extra0_after));
    if (tempoff_of(extra0_after) != static_cast<int16_t>(opt_tempoff)) {
        std::fputs(MSG_EXTRA0_NOT_SET, stderr);
        return TOOL_NOT_SET;
    }
    return TOOL_DONE;
}

// extra0 and extra2, then the new offset when one was asked for. A fetch
// that fails while the watch still answers is a communication error too,
// not a success.
int read_then_write(uint16_t& status, bool& wrote)
{
    watch_reply extra0{};
    watch_reply extra2{};
    if (!exchange_block(0, READ_RETRIES, extra0, status) || !exchange_block(2, READ_RETRIES, extra2, status))
        return TOOL_COMM_ERROR;
    std::fputs("\n", stdout);
    if (!opt_tempoff_set || run_interrupted())
        return TOOL_DONE;
    return write_tempoff(extra0, status, wrote);
}

}  // namespace

int tempoff_mode()
{
    if (output_redirected) {
        std::fputs(MSG_REDIRECT_REFUSED, stderr);
        return TOOL_REDIRECTED;
    }
    uint16_t status = 0;
    watch_reply first_read{};
    const link_result link = open_sync_link(FRAME_TEMPOFF_MODE, first_read, status);
    if (link == link_result::interrupted)
        return interrupted_exit(UNDONE_TEMPOFF);
    if (link != link_result::ok)
        return TEMPOFF_NO_LINK;

    bool wrote = false;
    int code = read_then_write(status, wrote);
    std::fflush(stdout);
    leave_sync_mode();
    if (run_interrupted()) {
        close_access_point();
        return interrupted_exit(wrote ? DONE_TEMPOFF : UNDONE_TEMPOFF);
    }
    if (status != AP_SYNC_REPLY_WAITING || code == TOOL_COMM_ERROR) {
        print_both(MSG_COMM_ERROR);
        code = TOOL_COMM_ERROR;
    }
    close_access_point();
    return code;
}
