// SPDX-License-Identifier: MIT
// ORV3PARAM: shows the watch's HEQ parameters beside the parameter file's,
// and on the user's word writes the file's values, checks them by reading
// the blocks back, stores them in the watch's flash and resets the watch.
#include <array>
#include <cstdio>
#include <string>

#include "aplink/ap_commands.h"
#include "aplink/qx_internal.h"
#include "platform/clock.h"
#include "platform/sleep.h"
#include "tools/clock_sampling.h"
#include "tools/entry.h"
#include "tools/heq_parameter_tool.h"
#include "tools/tools.h"
#include "watchlink/exchange.h"
#include "watchlink/run_frame.h"

namespace {

// The newest firmware versions this tool knows; later ones get a warning.
constexpr uint8_t FW_CC_KNOWN_VERSION = 3;
constexpr uint8_t FW_DD_KNOWN_VERSION = 8;

constexpr char TABLE_HEADER_FORMAT[] = "%-24.24s % 20.20s % 20.20s\n";
constexpr char TABLE_LINE_FORMAT[] = "%-24.24s % 20d % 20d\n";

constexpr int EXTRA1_BLOCK = 1;  // its fields also ride in the flash and reset frames
constexpr int EXTRA2_BLOCK = 2;
constexpr int EXTRA3_BLOCK = 3;  // the firmware identification
constexpr int EXTRA4_BLOCK = 4;  // only on firmware that has it

// A block the tool writes: its fields' select bits, the progress mark after
// its read-back, and the message when it does not read back.
struct block_write {
    int block;
    uint8_t select;
    const char* mark;
    const char* failure;
};
constexpr block_write BLOCK_WRITES[] = {
    {EXTRA1_BLOCK, SELECT_EXTRA1, "4", MSG_EXTRA1_NOT_SET},
    {EXTRA2_BLOCK, SELECT_EXTRA2_HEQ, "5", MSG_EXTRA2_NOT_SET},
    {EXTRA4_BLOCK, SELECT_EXTRA4, "6", MSG_EXTRA4_NOT_SET},
};

// Warnings go to the standard error stream first, then to the standard output.
void warn(const char* text)
{
    std::fputs(text, stderr);
    std::fputs(text, stdout);
}

// The fields of one block, from a reply into p.
void take_block_fields(const watch_reply& r, int block, heq_params& p)
{
    visit_heq_fields(p, [&](int i, auto& field) {
        const heq_field& f = HEQ_FIELDS[i];
        if (f.block == block)
            field = static_cast<std::remove_reference_t<decltype(field)>>(get_le(r.data(), f.pos, f.size));
    });
}

// A command frame carrying the fields of fields_block from p at their places.
watch_command heq_frame(uint8_t code, int fields_block, const heq_params& p, uint8_t select, uint8_t tag)
{
    watch_command c = make_command(code);
    visit_heq_fields(p, [&](int i, const auto& field) {
        const heq_field& f = HEQ_FIELDS[i];
        if (f.block == fields_block)
            put_le(c.data(), f.pos, f.size, static_cast<uint32_t>(field));
    });
    c[POS_SELECT_MASK] = select;
    c[POS_TAG] = tag;
    return c;
}

// Writes one block from hqi and reads it back with the same frame, byte 0
// the read code. True when the block's fields read back as written.
bool write_and_check(const block_write& row, const heq_params& hqi, uint16_t& status)
{
    const watch_command write = heq_frame(BLOCK_WRITE_CMD[row.block], row.block, hqi, row.select, BLOCK_TAG[row.block]);
    const watch_command read_back = send_block_write(write, BLOCK_READ_CMD[row.block], HEQ_WRITE_SETTLE_MS);
    watch_reply readback{};
    const bool answered = send_and_fetch(status, read_back, readback, POLL_SLOW);
    std::fputs(row.mark, stderr);
    // No read-back fails too: its zeros must not pass for written zeros.
    heq_params got = hqi;
    take_block_fields(readback, row.block, got);
    return answered && got == hqi;
}

// CMD_WRITE_EXTRA3 with an action; no reply is read. True when the access
// point accepted the frame; the watch itself confirms nothing.
bool send_extra3_action(uint8_t action, const heq_params& hqi)
{
    watch_command c = heq_frame(CMD_WRITE_EXTRA3, EXTRA1_BLOCK, hqi, SELECT_EXTRA3, TAG_EXTRA3);
    c[EXTRA3_POS_ACTION] = action;
    return QX_SYNC_SendCommand(c.data());
}

// Sends an action and says whether the access point took it.
bool extra3_action_taken(uint8_t action, const heq_params& hqi, const char* taken, const char* lost)
{
    if (!send_extra3_action(action, hqi)) {
        std::fputs(lost, stderr);
        return false;
    }
    std::fputs(taken, stdout);
    return true;
}

// What an interrupted run leaves: the blocks written (not stored in flash
// unless it says so) and those not written.
struct heq_progress {
    std::string written;
    std::string not_written;
    bool stored = false;
    std::string undone() const
    {
        if (written.empty())
            return "nothing was written.";
        return "written: " + written + (stored ? " (stored in flash)" : " (not stored in flash)") +
               (not_written.empty() ? std::string(".") : "; not written: " + not_written + ".");
    }
};

void add_name(std::string& list, int block)
{
    list += (list.empty() ? "extra" : ", extra") + std::to_string(block);
}

// The tool's work with the watch, between opening and closing the link.
int heq_session(const heq_params& hqi, uint16_t& status, heq_progress& progress)
{
    info_blocks blocks{};
    firmware_id fw;
    const bool all_read = read_info_blocks(block_fetch::single_send, blocks, fw, status);
    print_utc_time(plat_utc_now());
    // A block that was not read would show zeros as the watch's values.
    if (run_interrupted())
        return TOOL_DONE;
    if (!all_read || status != AP_SYNC_REPLY_WAITING || blocks[EXTRA3_BLOCK][POS_TAG] != TAG_EXTRA3) {
        std::fputs(MSG_WATCH_NOT_ANSWERING, stderr);
        return TOOL_COMM_ERROR;
    }
    if ((fw.kind == FW_KIND_CC && fw.version > FW_CC_KNOWN_VERSION) ||
        (fw.kind == FW_KIND_DD && fw.version > FW_DD_KNOWN_VERSION))
        warn(MSG_NEWER_FIRMWARE);
    if (fw.kind == FW_KIND_CC && (fw.flags & FW_FLAG_ZENTA))
        warn(MSG_ZENTA_FLASH);
    print_info_blocks(blocks, fw);
    const heq_params hqw = heq_from_blocks(blocks, fw.has_extra4, hqi);

    if (!show_heq_table(hqw, hqi) || run_interrupted())
        return TOOL_DONE;
    if (!heq_params_differ(hqw, hqi)) {
        std::fputs(MSG_VALUES_ALREADY_SET, stderr);
    } else {
        for (const block_write& row : BLOCK_WRITES) {
            if (row.block == EXTRA4_BLOCK && !fw.has_extra4)
                continue;
            // A write once begun is finished and checked; the next is not begun.
            if (run_interrupted()) {
                add_name(progress.not_written, row.block);
                continue;
            }
            if (!write_and_check(row, hqi, status)) {
                std::fputs(row.failure, stderr);
                return TOOL_NOT_SET;
            }
            add_name(progress.written, row.block);
        }
    }
    if (!run_interrupted() && ask_write_flash() && !run_interrupted()) {
        // A store the access point did not take is no reason to reset.
        if (!extra3_action_taken(ACTION_STORE_FLASH, hqi, MSG_FLASH_TAKEN, MSG_FLASH_LOST))
            return TOOL_COMM_ERROR;
        progress.stored = true;
        if (ask_reset_watch() && !run_interrupted()) {
            if (!extra3_action_taken(ACTION_RESET, hqi, MSG_RESET_TAKEN, MSG_RESET_LOST))
                return TOOL_COMM_ERROR;
            plat_sleep_ms(HEQ_RESET_WAIT_MS);
        }
    }
    return TOOL_DONE;
}

// The fields as numbers, TC_flags and a_off unsigned, the others signed.
std::array<int, HEQ_FIELD_COUNT> values_of(const heq_params& p)
{
    std::array<int, HEQ_FIELD_COUNT> v{};
    visit_heq_fields(p, [&](int i, const auto& field) { v[static_cast<std::size_t>(i)] = field; });
    return v;
}

bool ask(const char* question)
{
    std::fputs(question, stdout);
    return read_yes_answer();
}

}  // namespace

heq_params heq_from_blocks(const info_blocks& blocks, bool has_extra4, const heq_params& wanted)
{
    heq_params p = wanted;
    for (const block_write& row : BLOCK_WRITES)
        if (row.block != EXTRA4_BLOCK || has_extra4)
            take_block_fields(blocks[static_cast<std::size_t>(row.block)], row.block, p);
    return p;
}

bool read_yes_answer()
{
    std::fflush(stdout);
    const int first = std::getchar();
    // The rest of the line goes too, so that it cannot answer the next question.
    for (int c = first; c != '\n' && c != EOF;)
        c = std::getchar();
    return first == 'y' || first == 'Y';
}

bool show_heq_table(const heq_params& hqw, const heq_params& hqi)
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"  // the header keeps its ' ' flags, which %s ignores
    std::printf(TABLE_HEADER_FORMAT, " ", "OLD (watch)", "NEW (INI)");
#pragma GCC diagnostic pop
    const auto old_values = values_of(hqw);
    const auto new_values = values_of(hqi);
    for (int i = 0; i < HEQ_FIELD_COUNT; ++i)
        std::printf(TABLE_LINE_FORMAT, HEQ_FIELDS[i].name, old_values[i], new_values[i]);
    return ask(QUESTION_SET_VALUES);
}

bool ask_write_flash() { return ask(QUESTION_WRITE_FLASH); }
bool ask_reset_watch() { return ask(QUESTION_RESET_WATCH); }

int heq_parameter_tool()
{
    print_banner(FRAME_HEQ_TOOL, output_redirected);
    if (output_redirected) {
        std::fputs(MSG_REDIRECT_REFUSED, stderr);
        return TOOL_REDIRECTED;
    }
    heq_params hqi{};
    if (read_heq_ini(hqi) <= 0)
        return TOOL_NO_PARAM_FILE;
    std::fflush(stdout);
    uint16_t status = 0;
    watch_reply first_read{};
    const link_result link = open_sync_link(FRAME_HEQ_TOOL, first_read, status);
    if (link == link_result::interrupted)
        return interrupted_exit("nothing was written.");
    if (link != link_result::ok)
        return TOOL_NO_LINK;
    heq_progress progress;
    const int code = heq_session(hqi, status, progress);
    std::fflush(stdout);
    leave_sync_mode();
    close_access_point();
    if (run_interrupted())
        return interrupted_exit(progress.undone().c_str());
    return code;
}
