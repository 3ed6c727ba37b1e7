// SPDX-License-Identifier: MIT
// The setter's temperature-offset mode: writes opt_tempoff into the watch's
// extra0 and shows the offset before and after.
#include <cstdio>

#include "aplink/ap_commands.h"
#include "platform/sleep.h"
#include "tools/entry.h"
#include "tools/options.h"
#include "tools/tools.h"
#include "watchlink/exchange.h"
#include "watchlink/run_frame.h"

namespace {

constexpr unsigned WRITE_SETTLE_MS = 500;
constexpr int READ_RETRIES = 2;
constexpr unsigned TONE_MS = 100;
constexpr char UNDONE_TEMPOFF[] = "the temperature offset was not written.";

int16_t tempoff_of(const watch_reply& extra0)
{
    return static_cast<int16_t>(get_u16(extra0.data(), EXTRA0_POS_TEMPOFF));
}

}  // namespace

int tempoff_mode()
{
    if (output_redirected) {
        std::fputs(MSG_REDIRECT_REFUSED, stderr);
        return TOOL_REDIRECTED;
    }
    uint16_t status = 0;
    watch_reply d2{};
    watch_reply d3{};
    const link_result link = open_sync_link(FRAME_TEMPOFF_MODE, d2, status);
    if (link == link_result::interrupted)
        return interrupted_exit(UNDONE_TEMPOFF);
    if (link != link_result::ok)
        return TEMPOFF_NO_LINK;

    // Everything asked for was done; a fetch that fails while the watch still
    // answers is a communication error too, not a success.
    bool done = false;
    bool wrote = false;
    int code = TOOL_DONE;
    plat_tone(1000, TONE_MS);
    if (exchange_done(status, make_command(CMD_READ_EXTRA0), d2, READ_RETRIES, TAG_EXTRA0)) {
        std::fputs("0", stderr);
        plat_tone(3000, TONE_MS);
        if (exchange_done(status, make_command(CMD_READ_EXTRA2), d3, READ_RETRIES, TAG_EXTRA2)) {
            std::fputs("2", stderr);
            std::fputs("\n", stdout);
            done = true;
            if (opt_tempoff_set && !run_interrupted()) {
                std::printf("OLD tempoff=%d NEW tempoff=%d\n", tempoff_of(d2), opt_tempoff);
                watch_command write = make_command(CMD_WRITE_EXTRA0);
                put_u16(write.data(), EXTRA0_POS_TEMPOFF, static_cast<uint16_t>(opt_tempoff));
                write[POS_SELECT_MASK] = SELECT_TEMPOFF;
                write[POS_TAG] = TAG_EXTRA0;
                const watch_command read_back = send_block_write(write, CMD_READ_EXTRA0, WRITE_SETTLE_MS);
                wrote = true;
                done = exchange_done(status, read_back, d2, READ_RETRIES, TAG_EXTRA0);
                if (done) {
                    std::printf("CURRENT tempoff=%d\n", tempoff_of(d2));
                    if (tempoff_of(d2) != static_cast<int16_t>(opt_tempoff)) {
                        std::fputs(MSG_EXTRA0_NOT_SET, stderr);
                        code = TOOL_NOT_SET;
                    }
                }
            }
        }
    }
    std::fflush(stdout);
    leave_sync_mode();
    if (run_interrupted()) {
        close_access_point();
        return interrupted_exit(wrote ? "the offset was written." : UNDONE_TEMPOFF);
    }
    if (status != AP_SYNC_REPLY_WAITING || !done) {
        print_both(MSG_COMM_ERROR);
        code = TOOL_COMM_ERROR;
    }
    close_access_point();
    return code;
}
