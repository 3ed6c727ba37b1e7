// SPDX-License-Identifier: MIT
// The simulated access point: frames from the PC, replies of the command
// table's sizes, the sync radio link and its reply buffer, injected faults.
#include <cstring>
#include <deque>
#include <map>
#include <unistd.h>

#include "aplink/ap_commands.h"
#include "platform/clock.h"
#include "sim/sim.h"

namespace {

std::vector<uint8_t> input;           // bytes from the PC not yet framed
std::deque<watch_reply> sync_buffer;  // watch replies waiting for the PC
bool link_up = false;
int frames = 0;
std::map<int, int> frames_by_code;
uint32_t rov_id = 0;
unsigned long bulk_bytes = 0;
constexpr uint8_t STRAY_BYTE = 0xEE;

void send_reply(uint8_t code, std::vector<uint8_t> reply)
{
    if (sim_settings.silent.applies(code))
        return;
    if (sim_settings.refuse.applies(code))
        reply[AP_STATUS_OFFSET] = static_cast<uint8_t>(sim_settings.refuse.value);
    if (sim_settings.header.applies(code))
        reply[0] = reply[2] = static_cast<uint8_t>(sim_settings.header.value);
    if (sim_settings.short_reply.applies(code) && static_cast<std::size_t>(sim_settings.short_reply.value) < reply.size())
        reply.resize(static_cast<std::size_t>(sim_settings.short_reply.value));
    if (sim_settings.stray.applies(code))
        reply.insert(reply.begin(), static_cast<std::size_t>(sim_settings.stray.value), STRAY_BYTE);
    if (sim_settings.late.applies(code)) {
        sim_event e;
        e.at = plat_monotonic_ns() + int64_t{sim_settings.late.value} * 1000000;
        e.kind = sim_event_kind::to_wire;
        e.bytes = std::move(reply);
        sim_schedule(std::move(e));
        return;
    }
    sim_ap_write_wire(reply);
}

void handle_frame(const uint8_t* f, std::size_t len)
{
    sim_transcript_bytes("pc>ap", f, len);
    ++frames;
    if (sim_settings.hangup_after >= 0 && frames > sim_settings.hangup_after) {
        sim_hang_up();
        return;
    }
    const uint8_t code = f[1];
    ++frames_by_code[code];
    const uint8_t* payload = f + AP_HEADER_SIZE;
    const std::size_t payload_len = len - AP_HEADER_SIZE;
    if (sim_settings.flash_lost && code == AP_SYNC_SEND_COMMAND && payload_len >= static_cast<std::size_t>(AP_WATCH_FRAME_SIZE) &&
        payload[POS_CODE] == CMD_WRITE_EXTRA3 && payload[EXTRA3_POS_ACTION] == ACTION_STORE_FLASH) {
        sim_transcript_note("flash-store frame lost");
        return;
    }
    const auto cmd = find_ap_command(code);
    const std::size_t reply_payload = cmd ? cmd->reply_payload : 0;
    std::vector<uint8_t> reply(AP_HEADER_SIZE + reply_payload, 0);
    reply[0] = AP_FRAME_START;
    reply[AP_STATUS_OFFSET] = cmd ? AP_STATUS_ACK : 0x15;
    reply[2] = static_cast<uint8_t>(reply.size());
    uint8_t* out = reply.data() + AP_HEADER_SIZE;
    // Setters echo what they were given.
    std::memcpy(out, payload, std::min(payload_len, reply_payload));

    switch (code) {
    case AP_RESET:
        sync_buffer.clear();
        link_up = false;
        sim_drop_radio_events();
        break;
    case AP_VAM_START:
        link_up = true;
        sim_drop_radio_events();
        sim_watch_link_started();
        break;
    case AP_VAM_STOP:
        link_up = false;
        sim_drop_radio_events();
        break;
    case AP_SYNC_SEND_COMMAND:
        if (link_up && payload_len >= static_cast<std::size_t>(AP_WATCH_FRAME_SIZE)) {
            sim_event e;
            e.at = plat_monotonic_ns() + sim_radio_delay_ns();
            e.kind = sim_event_kind::to_watch;
            e.epoch = sim_link_epoch;
            e.bytes.assign(payload, payload + AP_WATCH_FRAME_SIZE);
            sim_schedule(std::move(e));
        }
        break;
    case AP_SYNC_GET_BUFFER_STATUS:
        out[0] = sync_buffer.empty() ? 0 : AP_SYNC_REPLY_WAITING;
        break;
    case AP_SYNC_READ_BUFFER:
        if (!sync_buffer.empty()) {
            std::memcpy(out, sync_buffer.front().data(), AP_WATCH_FRAME_SIZE);
            sync_buffer.pop_front();
        }
        break;
    case AP_GET_STATUS:
    case AP_KEPL_GET_STATUS:
    case AP_KEPL_GET_PACKET_STATUS:
    case AP_KEPL_GET_49:
        out[0] = sim_settings.ap_value;
        break;
    case AP_ROV_SET_ID:
        rov_id = get_u32(payload, 0);
        break;
    case AP_ROV_GET_ID:
        put_u32(out, 0, rov_id);
        break;
    case AP_VAM_GET_DATA:
    case AP_GET_20:
        put_u32(out, 0, sim_settings.ap_value);
        break;
    case AP_GET_73:
        put_u16(out, 0, sim_settings.ap_value);
        break;
    case AP_KEPL_SEND_DATA:
        bulk_bytes += payload_len;
        break;
    default:
        break;
    }
    send_reply(code, std::move(reply));
}

}  // namespace

void sim_ap_receive_bytes(const uint8_t* bytes, std::size_t n)
{
    input.insert(input.end(), bytes, bytes + n);
    std::size_t i = 0;
    std::size_t stray = 0;  // bytes that belong to no frame: noise on the line
    while (i < input.size()) {
        if (input[i] != AP_FRAME_START) {
            ++i;
            ++stray;
            continue;
        }
        if (input.size() - i < static_cast<std::size_t>(AP_HEADER_SIZE))
            break;
        const std::size_t len = input[i + 2];
        if (len < static_cast<std::size_t>(AP_HEADER_SIZE) || len > static_cast<std::size_t>(AP_FRAME_SIZE)) {
            ++i;  // not a frame start after all
            ++stray;
            continue;
        }
        if (input.size() - i < len)
            break;
        handle_frame(input.data() + i, len);
        i += len;
        if (sim_master_fd < 0) {
            input.clear();
            return;
        }
    }
    input.erase(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(i));
    if (stray != 0)
        sim_transcript_note(("stray bytes from the PC: " + std::to_string(stray)).c_str());
}

void sim_ap_buffer_reply(const watch_reply& r)
{
    sim_transcript_bytes("watch>ap", r.data(), r.size());
    sync_buffer.push_back(r);
}

void sim_ap_write_wire(const std::vector<uint8_t>& bytes)
{
    if (sim_master_fd < 0)
        return;
    sim_transcript_bytes("ap>pc", bytes.data(), bytes.size());
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t w = write(sim_master_fd, bytes.data() + done, bytes.size() - done);
        if (w <= 0)
            return;  // nobody reads: the bytes are lost, as on a real line
        done += static_cast<std::size_t>(w);
    }
}

bool sim_ap_link_up() { return link_up; }

void sim_ap_summary(FILE* out)
{
    std::fprintf(out, "orv3sim: access point frames: %d", frames);
    for (const auto& [code, count] : frames_by_code)
        std::fprintf(out, " %02x:%d", code, count);
    std::fprintf(out, "\n");
    if (bulk_bytes != 0)
        std::fprintf(out, "orv3sim: bulk data bytes: %lu\n", bulk_bytes);
    if (!sync_buffer.empty())
        std::fprintf(out, "orv3sim: watch replies left unread: %zu\n", sync_buffer.size());
}
