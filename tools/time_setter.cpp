// SPDX-License-Identifier: MIT
// ORV3SET: sets the watch's clock to the PC's local time in three measured
// steps, then sends it the zone settings that fit the PC's time zone.
#include <cinttypes>
#include <cstdio>

#include "aplink/ap_commands.h"
#include "aplink/qx_internal.h"
#include "platform/clock.h"
#include "platform/sleep.h"
#include "platform/timezone.h"
#include "timezones/watch_zones.h"
#include "tools/clock_sampling.h"
#include "tools/entry.h"
#include "tools/options.h"
#include "tools/pc_clock_check.h"
#include "tools/run_record.h"
#include "tools/time_setter.h"
#include "tools/tools.h"
#include "watchlink/exchange.h"
#include "watchlink/info_blocks.h"
#include "watchlink/run_frame.h"

namespace {

constexpr int EXTRA3_RETRIES = 4;
constexpr int32_t MS_LAST = 999;
constexpr int STDNAME_SIZE = 256;
constexpr int32_t DST_MODE_BIAS = 2;  // the mode byte is opt_dst - 2
constexpr int32_t MINUTES_PER_QUARTER_HOUR = 15;

// Each step measures; the first sets the time, the second sets it again
// corrected by its own measurement, the last sends the zone settings.
enum class setter_step { first_set, corrected_set, zones };
static_assert(static_cast<int>(setter_step::zones) == SETTER_STEPS - 1);

const char* const STEP_MESSAGES[SETTER_STEPS] = {"second step\n", "third step\n", "DONE!\n"};
// What an interrupted run left undone, by what it had sent.
const char* const UNDONE[SETTER_STEPS + 1] = {
    "the watch's time was not set.", "the watch's time was set once, not corrected.",
    "the watch's time was set; the zone settings were not sent.", "the last measurement was not finished."};

// The time command, built from one local-time reading in the window and sent
// at once; the reply is read but not examined.
void set_time(int32_t correction, int64_t average_delay, uint16_t& status)
{
    discard_stale_replies();
    SYSTEMTIME reading{};
    do
        plat_local_time(reading);
    while (reading.wMilliseconds < SEND_WINDOW_FIRST_MS || reading.wMilliseconds > SEND_WINDOW_LAST_MS);
    watch_command cmd = time_command(reading, correction, average_delay);
    QX_SYNC_SendCommand(cmd.data());
    note_time_command(cmd);
    watch_reply reply{};
    if (poll_for_reply(status, POLL_EXCHANGE) && status == AP_SYNC_REPLY_WAITING)
        read_reply(reply);
    std::fputs("1", stderr);
}

// The zone command as it is gathered: its frame, select bits, the watch zone
// index and the DST rule words for CMD_WRITE_DST.
struct zone_settings {
    watch_command frame;
    uint8_t select = 0;
    int index = TZ_NO_ROW;  // a row, or TZ_NO_ROW (sent as 0xFF)
    uint16_t start_rule = 0;
    uint16_t end_rule = 0;
};

bool has_zone_rules(int table_type) { return table_type >= TZ_TABLE_ZONE_RULES; }
bool takes_dst_dates(int table_type) { return table_type >= TZ_TABLE_DST_DATES; }

// The DST mode byte, when "dst=" left a mode to send. Automatic becomes the
// PC zone's dates where the watch takes them, else its current state.
void choose_dst_mode(int table_type, zone_settings& zone)
{
    if (opt_dst < DST_AUTOMATIC || opt_dst > DST_DAYLIGHT)
        return;
    if (opt_dst == DST_AUTOMATIC) {
        TIME_ZONE_INFORMATION tzi{};
        const uint32_t id = plat_get_time_zone_information(tzi);
        if (takes_dst_dates(table_type) && tzi.StandardDate.wMonth != 0 && tzi.DaylightDate.wMonth != 0) {
            opt_dst = DST_FROM_RULES;
            zone.start_rule = TzEncodeDstRule(tzi.DaylightDate, true);
            zone.end_rule = TzEncodeDstRule(tzi.StandardDate, false);
        } else {
            opt_dst = id == TIME_ZONE_ID_DAYLIGHT ? DST_DAYLIGHT : DST_STANDARD;
        }
    }
    zone.select |= SELECT_DST_MODE;
    zone.frame[EXTRA2_POS_DST_MODE] = static_cast<uint8_t>(opt_dst - DST_MODE_BIAS);
}

// The watch zone index and offset: the matched row; without one, the PC
// zone's offset and no row; then what the options say instead.
void choose_zone(int table_type, zone_settings& zone)
{
    char stdname[STDNAME_SIZE] = {};
    zone.index = TzMatchWatchZone(table_type, stdname);
    if (zone.index <= TZ_NO_WATCH_ZONE) {
        std::fprintf(stderr, "\nWindows TZ info does not match any in watch = %s\n", stdname);
        TIME_ZONE_INFORMATION tzi{};
        plat_get_time_zone_information(tzi);
        zone.frame[EXTRA2_POS_ZONE_OFFSET] = static_cast<uint8_t>(-tzi.Bias / MINUTES_PER_QUARTER_HOUR);
        zone.select |= SELECT_ZONE_OFFSET;
        zone.index = TZ_NO_ROW;
    }
    if (opt_tz_set)
        zone.index = opt_tz;
    if (opt_tzoff_set) {
        zone.frame[EXTRA2_POS_ZONE_OFFSET] = static_cast<uint8_t>(opt_tzoff);
        zone.select |= SELECT_ZONE_OFFSET;
    }
    if (zone.index >= TZ_NO_ROW) {
        zone.select |= SELECT_ZONE_INDEX;
        zone.frame[EXTRA2_POS_ZONE_INDEX] = static_cast<uint8_t>(zone.index);
    }
    // The zone's own row carries its DST rule.
    if (has_zone_rules(table_type) && zone.index > TZ_NO_ROW)
        zone.select &= static_cast<uint8_t>(~SELECT_DST_MODE);
}

// CMD_WRITE_DST with the PC zone's dates; the watch may answer with its
// DST_INFO_MAX, which then becomes the DST mode byte.
void send_dst_dates(zone_settings& zone, uint16_t& status)
{
    watch_command dst = make_command(CMD_WRITE_DST);
    put_u16(dst.data(), DST_POS_START_RULE, zone.start_rule);
    put_u16(dst.data(), DST_POS_END_RULE, zone.end_rule);
    for (std::size_t i = 0; i < DST_LETTERS.size(); ++i)
        dst[DST_POS_LETTERS + i] = DST_LETTERS[i];
    dst[POS_SELECT_MASK] = SELECT_DST_RULES;
    dst[POS_TAG] = TAG_DST;
    watch_reply reply{};
    if (exchange_done(status, dst, reply, 0, TAG_DST) && (reply[POS_SELECT_MASK] & DST_REPLY_HAS_INFO_MAX)) {
        std::fprintf(stderr, "\nDST_INFO_MAX %d", reply[DST_REPLY_POS_INFO_MAX]);
        zone.frame[EXTRA2_POS_DST_MODE] = reply[DST_REPLY_POS_INFO_MAX];
    }
}

// The zone index, offset and DST mode that fit the PC's zone, and the DST
// dates where the watch takes them.
void send_zone_settings(const firmware_id& fw, uint16_t& status)
{
    const int table_type = zone_table_type(fw);
    zone_settings zone;
    zone.frame = make_command(CMD_WRITE_EXTRA2);
    zone.frame[POS_TAG] = TAG_EXTRA2;
    choose_dst_mode(table_type, zone);
    choose_zone(table_type, zone);
    const bool dates_wanted = static_cast<int8_t>(zone.frame[EXTRA2_POS_DST_MODE]) == DST_FROM_RULES - DST_MODE_BIAS;
    if (takes_dst_dates(table_type) && zone.index == TZ_NO_ROW && dates_wanted)
        send_dst_dates(zone, status);
    if (zone.select == 0)
        return;
    zone.frame[POS_SELECT_MASK] = zone.select;
    watch_reply reply{};
    sync_exchange(status, zone.frame, reply, 0, TAG_EXTRA2);
    if (zone.select & SELECT_DST_MODE)
        std::fprintf(stderr, "\nDST %d", opt_dst);
    if (zone.select & SELECT_ZONE_INDEX)
        std::fprintf(stderr, "\nTZ_NDX %d", zone.index);
}

// extra3, and what it says of the firmware.
bool fetch_firmware(firmware_id& fw, uint16_t& status)
{
    watch_reply extra3{};
    if (!exchange_block(3, EXTRA3_RETRIES, extra3, status))
        return false;
    std::fputs("\n", stderr);
    fw = identify_firmware(extra3);
    std::fputs(fw.clock_8mhz ? "8 MHz\n" : "12 MHz\n", stderr);
    return true;
}

// What a step's measurement came to.
struct step_measurement {
    sampling_end sampling = sampling_end::complete;
    bool measured = false;  // the samples gave a reading: stats
    clock_statistics stats;
    // A reading from samples that all came: one to act on.
    bool complete() const { return measured && sampling == sampling_end::complete; }
};

// The step's clock samples, extra2 read while the watch answers, the summary
// line and the step's note in the record. An interrupted sampling is no
// measurement: nothing follows it.
step_measurement measure_step(const firmware_id& fw, setter_step step, uint16_t& status)
{
    step_measurement measurement;
    clock_sample_count = 0;
    measurement.sampling = take_clock_samples(STEP_SAMPLES, fw.subsec_offset, status);
    if (measurement.sampling == sampling_end::interrupted)
        return measurement;
    if (status == AP_SYNC_REPLY_WAITING) {
        plat_tone(STEP_TONE_HZ, SETTER_TONE_MS);
        watch_reply extra2{};
        send_and_fetch(status, make_command(CMD_READ_EXTRA2), extra2, POLL_EXCHANGE);
        std::fputs("0", stderr);
    }
    std::fputs("\n", stderr);
    measurement.measured = reduce_clock_samples(measurement.stats);
    if (measurement.measured)
        std::printf("average diff = %" PRId64 " ms.   std. dev. = %4.1f ms.   average delay = %" PRId64 " ms.\n",
                    measurement.stats.average_diff, measurement.stats.std_dev, measurement.stats.average_delay);
    else
        print_both(MSG_TOO_FEW_SAMPLES);
    std::fflush(stdout);
    note_setter_step(fw, static_cast<int>(step), measurement.measured ? &measurement.stats : nullptr);
    return measurement;
}

// The time from a complete measurement while the watch answers, or on the
// last step the zone settings to a watch that takes them, measured or not.
// sent counts what went out.
void act_on_step(const firmware_id& fw, setter_step step, const step_measurement& measurement, uint16_t& status,
                 int& sent)
{
    if (step == setter_step::zones) {
        if (fw.kind == FW_KIND_CC) {
            send_zone_settings(fw, status);
            sent = SETTER_STEPS;
        }
        return;
    }
    if (status != AP_SYNC_REPLY_WAITING || !measurement.complete())
        return;
    const int32_t correction =
        step == setter_step::corrected_set ? second_step_correction(fw, measurement.stats.average_diff) : 0;
    set_time(correction, measurement.stats.average_delay, status);
    sent = static_cast<int>(step) + 1;
}

// The steps in order, each ending the run when the watch stopped answering
// or it measured nothing complete. TOOL_DONE after the last; TOOL_NO_READING
// when a step's samples all came but failed the plausibility rule; else
// TOOL_COMM_ERROR, an interrupt included, which the caller tells apart.
int run_steps(const firmware_id& fw, uint16_t& status, int& sent)
{
    for (int n = 0; n < SETTER_STEPS; ++n) {
        if (run_interrupted())
            return TOOL_COMM_ERROR;
        const auto step = static_cast<setter_step>(n);
        const step_measurement measurement = measure_step(fw, step, status);
        if (measurement.sampling == sampling_end::interrupted || run_interrupted())
            return TOOL_COMM_ERROR;
        // Samples that all came from an answering watch and still gave no
        // reading failed the plausibility rule.
        const bool implausible = !measurement.measured && measurement.sampling == sampling_end::complete &&
                                 status == AP_SYNC_REPLY_WAITING;
        act_on_step(fw, step, measurement, status, sent);
        std::fputs("\n", stderr);
        if (status != AP_SYNC_REPLY_WAITING || !measurement.complete())
            return implausible ? TOOL_NO_READING : TOOL_COMM_ERROR;
        std::fputs(STEP_MESSAGES[n], stderr);
    }
    return TOOL_DONE;
}

}  // namespace

int32_t correction_constant(const firmware_id& fw) { return fw.clock_8mhz ? CORRECTION_8MHZ_MS : CORRECTION_12MHZ_MS; }

int32_t second_step_correction(const firmware_id& fw, int64_t average_diff)
{
    return correction_constant(fw) - static_cast<int32_t>(average_diff);
}

watch_command time_command(const SYSTEMTIME& reading, int32_t correction, int64_t average_delay)
{
    watch_command cmd = make_command(CMD_WRITE_EXTRA0);
    cmd[POS_SELECT_MASK] = SELECT_TIME;
    cmd[POS_TAG] = TAG_EXTRA0;
    cmd[TIME_POS_HOUR] = static_cast<uint8_t>(reading.wHour);
    cmd[TIME_POS_MINUTE] = static_cast<uint8_t>(reading.wMinute);
    cmd[TIME_POS_SECOND] = static_cast<uint8_t>(reading.wSecond);
    cmd[TIME_POS_DAY] = static_cast<uint8_t>(reading.wDay);
    put_u16(cmd.data(), TIME_POS_YEAR, reading.wYear);
    cmd[TIME_POS_MONTH] = static_cast<uint8_t>(reading.wMonth);
    int32_t ms = static_cast<int32_t>(reading.wMilliseconds + correction + average_delay / 2);
    if (ms < 0 || ms > MS_LAST) {
        std::fprintf(stderr, "\nms = %d\n", ms);
        ms = ms < 0 ? 0 : MS_LAST;
    }
    put_u16(cmd.data(), TIME_POS_SUBSEC, static_cast<uint16_t>(ms * int32_t{SUBSEC_PER_SECOND} / 1000));
    return cmd;
}

int zone_table_type(const firmware_id& fw)
{
    if (!(fw.flags & FW_FLAG_ZONE_TABLES))
        return TZ_TABLE_PLAIN;
    return fw.version >= FW_VERSION_DST_DATES ? TZ_TABLE_DST_DATES : TZ_TABLE_ZONE_RULES;
}

int time_setter(int argc, char** argv)
{
    print_banner(FRAME_TIME_SETTER, output_redirected);
    if (parse_options(argc, argv) > 0)
        return tempoff_mode();
    std::fputs(MSG_REMINDER, stderr);
    report_pc_clock();
    uint16_t status = 0;
    watch_reply first_read{};
    const link_result link = open_sync_link(FRAME_TIME_SETTER, first_read, status);
    if (link == link_result::interrupted)
        return interrupted_exit(UNDONE[0]);
    if (link != link_result::ok)
        return TOOL_NO_LINK;

    int sent = 0;
    firmware_id fw;
    const int code = fetch_firmware(fw, status) ? run_steps(fw, status, sent) : TOOL_COMM_ERROR;
    leave_sync_mode();
    if (run_interrupted()) {
        close_access_point();
        // A time that went out starts a new period in the record all the same.
        record_setting();
        return interrupted_exit(UNDONE[sent]);
    }
    if (code == TOOL_COMM_ERROR)
        print_both(MSG_COMM_ERROR);
    close_access_point();
    record_setting();
    return code;
}
