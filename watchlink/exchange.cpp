#include "watchlink/exchange.h"

#include "aplink/ap_commands.h"
#include "aplink/qx_internal.h"
#include "aplink/qxap.h"
#include "platform/sleep.h"

namespace {
// A watch answers once per command; more than this many waiting replies
// means the access point says "waiting" without end.
constexpr int MAX_STALE_REPLIES = 16;
}  // namespace

watch_command make_command(uint8_t code)
{
    watch_command c{};
    c[POS_CODE] = code;
    return c;
}

bool poll_for_reply(uint16_t& status, poll_plan plan)
{
    bool ok = false;
    for (int i = 0; i < plan.polls; ++i) {
        plat_sleep_ms(plan.sleep_ms);
        ok = QX_SYNC_GetBufferStatus(status);
        if (ok && status == AP_SYNC_REPLY_WAITING)
            break;
    }
    return ok;
}

bool read_reply(watch_reply& reply) { return QX_SYNC_ReadBuffer(reply.data()); }

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
        if (!QX_SYNC_GetBufferStatus(waiting) || waiting != AP_SYNC_REPLY_WAITING || !read_reply(stale))
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
            ok = read_reply(reply);
            if (ok && status == AP_SYNC_REPLY_WAITING && (expected_tag == 0 || reply[POS_TAG] == expected_tag))
                return true;
        }
        if (retries <= 0)
            return ok;
        --retries;
    }
}
