// SPDX-License-Identifier: MIT
#include "watchlink/exchange.h"

#include "aplink/ap_commands.h"
#include "aplink/qx_internal.h"
#include "aplink/qxap.h"
#include "platform/clock.h"
#include "platform/sleep.h"

namespace {
// A watch answers once per command; more than this many waiting replies
// means the access point says "waiting" without end.
constexpr int MAX_STALE_REPLIES = 16;

// One poll of the buffer status; one that came short or out of step says
// nothing about the buffer.
bool poll_once(uint16_t& status)
{
    const bool ok = QX_SYNC_GetBufferStatus(status);
    if (QX_LastReplyWhole())
        return ok;
    status = 0;
    return false;
}

}  // namespace

watch_command make_command(uint8_t code)
{
    watch_command c{};
    c[POS_CODE] = code;
    return c;
}

bool poll_for_reply(uint16_t& status, poll_plan plan, file_time* last_empty)
{
    bool ok = false;
    for (int i = 0; i < plan.polls; ++i) {
        plat_sleep_ms(plan.sleep_ms);
        ok = poll_once(status);
        if ((ok && status == AP_SYNC_REPLY_WAITING) || link_slipped())
            break;
        if (last_empty)
            *last_empty = plat_utc_now();
    }
    return ok;
}

bool read_reply(watch_reply& reply)
{
    watch_reply got = reply;
    if (!QX_SYNC_ReadBuffer(got.data()) || !QX_LastReplyWhole())
        return false;
    reply = got;
    return true;
}

bool link_slipped() { return !QX_LastReplyWhole(); }

bool send_and_fetch(uint16_t& status, const watch_command& command, watch_reply& reply, poll_plan plan)
{
    discard_stale_replies();
    watch_command c = command;
    QX_SYNC_SendCommand(c.data());
    if (!poll_for_reply(status, plan) || status != AP_SYNC_REPLY_WAITING)
        return false;
    return read_reply(reply);
}

void discard_stale_replies()
{
    for (int i = 0; i < MAX_STALE_REPLIES; ++i) {
        uint16_t waiting = 0;
        watch_reply stale{};
        if (!poll_once(waiting) || waiting != AP_SYNC_REPLY_WAITING || !read_reply(stale))
            return;
    }
}

bool sync_exchange(uint16_t& status, const watch_command& command, watch_reply& reply, int retries,
                   uint8_t expected_tag)
{
    discard_stale_replies();
    for (;;) {
        watch_command c = command;
        QX_SYNC_SendCommand(c.data());
        bool ok = poll_for_reply(status, POLL_EXCHANGE);
        if (ok && status == AP_SYNC_REPLY_WAITING) {
            // A reply to another command is no answer, on the last attempt too.
            ok = read_reply(reply) && (expected_tag == 0 || reply[POS_TAG] == expected_tag);
            if (ok)
                return true;
        }
        if (retries <= 0)
            return ok;
        --retries;
    }
}

bool exchange_done(uint16_t& status, const watch_command& command, watch_reply& reply, int retries,
                   uint8_t expected_tag)
{
    return sync_exchange(status, command, reply, retries, expected_tag) && status == AP_SYNC_REPLY_WAITING;
}

watch_command send_block_write(const watch_command& write, uint8_t read_code, unsigned settle_ms)
{
    watch_command frame = write;
    QX_SYNC_SendCommand(frame.data());
    plat_sleep_ms(settle_ms);
    frame[POS_CODE] = read_code;
    return frame;
}
