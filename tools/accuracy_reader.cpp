// SPDX-License-Identifier: MIT
// ORV3GET: reads the watch's information blocks, takes 22 clock samples and
// prints how far the watch's clock is from the PC's UTC clock.
#include <cinttypes>
#include <cstdio>

#include "aplink/ap_commands.h"
#include "tools/clock_sampling.h"
#include "tools/entry.h"
#include "tools/pc_clock_check.h"
#include "tools/run_record.h"
#include "tools/tools.h"
#include "watchlink/info_blocks.h"
#include "watchlink/run_frame.h"

namespace {
constexpr int READER_SAMPLES = 22;
constexpr char UNDONE_READING[] = "no reading was taken.";
}

int accuracy_reader()
{
    print_banner(FRAME_ACCURACY_READER, output_redirected);
    std::fputs(MSG_REMINDER, stderr);
    report_pc_clock();
    uint16_t status = 0;
    watch_reply first_read{};
    const link_result link = open_sync_link(FRAME_ACCURACY_READER, first_read, status);
    if (link == link_result::interrupted)
        return interrupted_exit(UNDONE_READING);
    if (link != link_result::ok)
        return TOOL_NO_LINK;

    info_blocks blocks{};
    firmware_id fw;
    sampling_end sampling = sampling_end::no_reply;
    const bool blocks_read = read_info_blocks(block_fetch::exchange, blocks, fw, status);
    if (blocks_read) {
        sampling = take_clock_samples(READER_SAMPLES, fw.subsec_offset, status);
        std::fputs("\r", stderr);
    }
    leave_sync_mode();
    if (run_interrupted()) {
        close_access_point();
        return interrupted_exit(UNDONE_READING);
    }
    if (status != AP_SYNC_REPLY_WAITING) {
        print_both(MSG_COMM_ERROR);
        close_access_point();
        return TOOL_COMM_ERROR;
    }

    // The watch answered, but something was not read: no figures from it.
    // A pass that ended on a failed poll counts too, even when that poll
    // still said a reply was waiting.
    int code = TOOL_DONE;
    if (!blocks_read || sampling == sampling_end::read_failed || sampling == sampling_end::no_reply) {
        print_both(MSG_COMM_ERROR);
        code = TOOL_COMM_ERROR;
    } else if (sampling == sampling_end::clock_not_ready) {
        print_both(MSG_CLOCK_NOT_READY);
        code = TOOL_COMM_ERROR;
    } else {
        clock_statistics stats;
        if (reduce_clock_samples(stats)) {
            std::printf("average diff = %" PRId64 "    std. dev. = %4.1f\n", stats.average_diff, stats.std_dev);
            std::printf("irq_err_min = %d irq_err_max = %d\n", stats.irq_err_min, stats.irq_err_max);
        } else {
            print_both(MSG_TOO_FEW_SAMPLES);
            code = TOOL_NO_READING;
        }
        print_info_blocks(blocks, fw);
        if (code == TOOL_DONE)
            record_reading(fw, stats);
    }
    std::fflush(stdout);
    close_access_point();
    // A broken pipe (or any signal) while the results were printed.
    if (run_interrupted())
        return interrupted_exit("the results were not all written.");
    return code;
}
