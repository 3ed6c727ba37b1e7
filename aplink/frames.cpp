// SPDX-License-Identifier: MIT
#include "aplink/frames.h"

#include <cstring>

#include "aplink/serial.h"
#include "platform/clock.h"
#include "platform/sleep.h"

uint8_t txFrame[AP_FRAME_SIZE] = {};
uint8_t rxFrame[AP_FRAME_SIZE] = {};
bool portOpen = false;
uint8_t lastStatus = AP_STATUS_ACK;
bool lastReplyWhole = true;

namespace {

constexpr int SLOT = 0;

// Drops what arrives until the line has been quiet for LINE_QUIET_MS (a
// hang-up ends it at once), then purges.
void PurgeWhenQuiet()
{
    const int64_t limit = plat_monotonic_ns() + int64_t{LINE_QUIET_LIMIT_MS} * 1000000;
    uint8_t sink[AP_FRAME_SIZE];
    while (SerialReadWithin(SLOT, sizeof sink, sink, LINE_QUIET_MS) > 0 && plat_monotonic_ns() < limit) {
    }
    SerialPurge(SLOT);
}

}  // namespace

void BuildRequestFrame(uint8_t code, int payload_len, const uint8_t* payload)
{
    if (payload_len < 0)
        payload_len = 0;
    if (payload_len > AP_MAX_PAYLOAD)
        payload_len = AP_MAX_PAYLOAD;
    txFrame[0] = AP_FRAME_START;
    txFrame[1] = code;
    txFrame[2] = static_cast<uint8_t>(payload_len + AP_HEADER_SIZE);
    if (payload_len > 0 && payload != nullptr)
        std::memcpy(txFrame + AP_HEADER_SIZE, payload, static_cast<size_t>(payload_len));
    std::memset(rxFrame, 0, sizeof rxFrame);
}

int Transact(uint16_t request_len, uint16_t reply_len, uint16_t pause_ms)
{
    SerialWrite(SLOT, request_len + AP_HEADER_SIZE, txFrame);
    if (pause_ms != 0)
        plat_sleep_ms(pause_ms);
    const int want = reply_len + AP_HEADER_SIZE;
    const int got = SerialRead(SLOT, want, rxFrame);
    uint8_t beyond = 0;
    lastReplyWhole = got == want && SerialReadWithin(SLOT, 1, &beyond, 0) == 0;
    if (lastReplyWhole)
        SerialPurge(SLOT);
    else
        PurgeWhenQuiet();
    return got;
}

bool RunCommand(uint8_t code, const uint8_t* payload, int payload_len)
{
    const auto cmd = find_ap_command(code);
    if (!cmd)
        return false;
    BuildRequestFrame(code, payload_len, payload);
    if (cmd->purge_first)
        SerialPurge(SLOT);
    Transact(static_cast<uint16_t>(txFrame[2] - AP_HEADER_SIZE), cmd->reply_payload, cmd->pause_ms);
    lastStatus = rxFrame[AP_STATUS_OFFSET];
    return lastStatus == AP_STATUS_ACK;
}
