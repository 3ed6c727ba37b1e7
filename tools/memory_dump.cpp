// SPDX-License-Identifier: MIT
// ORV3DUMP: prints 768 bytes of the watch's configuration memory as hex
// lines of 16 bytes, each as soon as its reply arrives.
#include <array>
#include <cstdio>

#include "aplink/ap_commands.h"
#include "aplink/qx_internal.h"
#include "tools/entry.h"
#include "tools/tools.h"
#include "watchlink/exchange.h"
#include "watchlink/run_frame.h"

namespace {

constexpr uint16_t DUMP_FIRST_BLOCK = 0x0980;  // address 0x1800
constexpr int DUMP_REQUESTS = 6;
constexpr int DUMP_SENDINGS = 4;     // of one request, until all its blocks came
constexpr int DUMP_REPLY_SLOTS = 9;  // replies waited for after each sending
constexpr unsigned DUMP_ADDRESS_BASE = 0x8000;

using block_flags = std::array<bool, MEMORY_BLOCKS_PER_REQUEST>;

watch_command memory_request(uint16_t first)
{
    watch_command c = make_command(CMD_READ_MEMORY);
    put_be16(c.data(), MEMORY_POS_FIRST, first);
    for (int k = 0; k < MEMORY_BLOCKS_PER_REQUEST; ++k)
        put_be16(c.data(), MEMORY_POS_INDICES + 2 * k, static_cast<uint16_t>(first + k));
    return c;
}

// Prints a reply's block when it belongs to the request and has not been
// printed yet; other replies are dropped.
void take_memory_reply(const watch_reply& r, uint16_t first, block_flags& printed)
{
    const unsigned index = get_be16(r.data(), MEMORY_REPLY_POS_INDEX);
    if (index < first || index >= first + unsigned{MEMORY_BLOCKS_PER_REQUEST} || printed[index - first])
        return;
    std::printf("%04x: ", (index * MEMORY_BLOCK_SIZE + DUMP_ADDRESS_BASE) % 0x10000);
    for (int i = 0; i < MEMORY_BLOCK_SIZE; ++i)
        std::printf(" %02x", r[static_cast<std::size_t>(MEMORY_REPLY_POS_DATA + i)]);
    std::printf("\n");
    std::fflush(stdout);
    printed[index - first] = true;
}

// One request of eight blocks, sent until all have come or the sendings run
// out. True when all came.
bool dump_request(uint16_t first, uint16_t& status)
{
    const watch_command request = memory_request(first);
    block_flags printed{};
    for (int sending = 0; sending < DUMP_SENDINGS; ++sending) {
        if (output_redirected)
            std::fputc('.', stderr);
        watch_command c = request;
        QX_SYNC_SendCommand(c.data());
        for (int slot = 0; slot < DUMP_REPLY_SLOTS && !run_interrupted(); ++slot) {
            watch_reply reply{};
            if (poll_for_reply(status, POLL_MEMORY) && status == AP_SYNC_REPLY_WAITING && read_reply(reply))
                take_memory_reply(reply, first, printed);
        }
        bool all = true;
        for (bool p : printed)
            all = all && p;
        if (all)
            return true;
        if (run_interrupted())
            return false;
    }
    return false;
}

}  // namespace

int memory_dump()
{
    print_banner(FRAME_MEMORY_DUMP, output_redirected);
    uint16_t status = 0;
    watch_reply first_read{};
    const link_result link = open_sync_link(FRAME_MEMORY_DUMP, first_read, status);
    if (link == link_result::interrupted)
        return interrupted_exit("nothing was printed.");
    if (link != link_result::ok)
        return TOOL_NO_LINK;
    status = 0;
    uint16_t first = DUMP_FIRST_BLOCK;
    int requests = 0;
    for (; requests < DUMP_REQUESTS && dump_request(first, status); ++requests)
        first = static_cast<uint16_t>(first + MEMORY_BLOCKS_PER_REQUEST);
    leave_sync_mode();
    if (run_interrupted()) {
        close_access_point();
        char undone[64];
        std::snprintf(undone, sizeof undone, "the blocks from %04x on were not all printed.",
                      (first * MEMORY_BLOCK_SIZE + DUMP_ADDRESS_BASE) % 0x10000);
        return interrupted_exit(undone);
    }
    // Blocks still missing after every sending: the dump is not whole.
    int code = TOOL_DONE;
    if (requests < DUMP_REQUESTS) {
        print_both(MSG_COMM_ERROR);
        code = TOOL_COMM_ERROR;
    }
    close_access_point();
    return code;
}
