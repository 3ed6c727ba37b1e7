// SPDX-License-Identifier: MIT
// The access point's command set, one function per command.
#include <cstring>

#include "aplink/frames.h"
#include "aplink/qx_internal.h"
#include "aplink/qxap.h"
#include "aplink/serial.h"
#include "platform/bytes.h"
#include "platform/sleep.h"

static_assert(QXAP_VERSION_MAJOR == QXAP_PROJECT_VERSION_MAJOR && QXAP_VERSION_MINOR == QXAP_PROJECT_VERSION_MINOR &&
                  QXAP_VERSION_PATCH == QXAP_PROJECT_VERSION_PATCH,
              "qxap.h's version macros and the project version differ");

namespace {

constexpr int SLOT = 0;
constexpr unsigned short CLOSED_PORT_STATUS = 7;
constexpr int KEPL_CHUNK_GAP_MS = 5;

// Reply values start after the header.
uint32_t reply_u32() { return get_u32(rxFrame, AP_HEADER_SIZE); }
uint16_t reply_u16() { return get_u16(rxFrame, AP_HEADER_SIZE); }
uint8_t reply_u8() { return rxFrame[AP_HEADER_SIZE]; }

// A command with an all-zero payload of n bytes whose reply value is wanted.
bool zero_payload_command(uint8_t code, int n)
{
    const uint8_t zeros[4] = {};
    return RunCommand(code, zeros, n);
}

bool byte_and_word(uint8_t code, unsigned char a, unsigned short b)
{
    uint8_t p[3] = {a};
    put_u16(p, 1, b);
    return RunCommand(code, p, 3);
}

}  // namespace

bool QX_LastReplyWhole() { return lastReplyWhole; }

bool QX_OpenCOM(char* path, unsigned long, unsigned short, bool, bool)
{
    portOpen = SerialOpen(SLOT, path);
    lastStatus = portOpen ? AP_STATUS_ACK : 5;
    lastReplyWhole = true;
    return portOpen;
}

void QX_CloseCOM()
{
    SerialClose(SLOT);
    portOpen = false;
    lastStatus = AP_STATUS_ACK;
}

bool QX_Reset() { return zero_payload_command(AP_RESET, 1); }

bool QX_GetStatus(unsigned short& status)
{
    if (!portOpen) {
        status = CLOSED_PORT_STATUS;
        return false;
    }
    if (!zero_payload_command(AP_GET_STATUS, 1))
        return false;
    status = reply_u8();
    return true;
}

bool QX_ROV_Start() { return RunCommand(AP_ROV_START, nullptr, 0); }
bool QX_ROV_Stop() { return RunCommand(AP_ROV_STOP, nullptr, 0); }

bool QX_ROV_SetID(unsigned long id)
{
    if (!portOpen)
        return false;
    uint8_t p[4];
    put_u32(p, 0, static_cast<uint32_t>(id));
    return RunCommand(AP_ROV_SET_ID, p, 4);
}

bool QX_ROV_GetID(unsigned long& id)
{
    if (!portOpen || !zero_payload_command(AP_ROV_GET_ID, 4))
        return false;
    id = reply_u32();
    return true;
}

bool QX_ROV_SetHeartrate(unsigned short rate)
{
    if (!portOpen)
        return false;
    const uint8_t p = static_cast<uint8_t>(rate);
    return RunCommand(AP_ROV_SET_HEARTRATE, &p, 1);
}

bool QX_VAM_Start() { return RunCommand(AP_VAM_START, nullptr, 0); }
bool QX_VAM_Stop() { return RunCommand(AP_VAM_STOP, nullptr, 0); }

bool QX_VAM_GetData(unsigned long& data)
{
    if (!portOpen || !zero_payload_command(AP_VAM_GET_DATA, 4))
        return false;
    data = reply_u32();
    return true;
}

bool QX_KEPL_Start() { return RunCommand(AP_KEPL_START, nullptr, 0); }
bool QX_KEPL_Stop() { return RunCommand(AP_KEPL_STOP, nullptr, 0); }

bool QX_KEPL_GetStatus(unsigned long& status)
{
    if (!portOpen || !zero_payload_command(AP_KEPL_GET_STATUS, 1))
        return false;
    status = reply_u8();
    return true;
}

bool QX_KEPL_GetPacketStatus(unsigned long& status)
{
    if (!portOpen || !zero_payload_command(AP_KEPL_GET_PACKET_STATUS, 1))
        return false;
    status = reply_u8();
    return true;
}

bool QX_KEPL_Send_Data(unsigned char* data, int length, unsigned long& sent)
{
    if (!portOpen)
        return false;
    int offset = 0;
    int remaining = length < 0 ? 0 : length;
    while (remaining > AP_MAX_PAYLOAD) {
        if (!RunCommand(AP_KEPL_SEND_DATA, data + offset, AP_MAX_PAYLOAD))
            return false;
        remaining -= AP_MAX_PAYLOAD;
        offset += AP_MAX_PAYLOAD;
        plat_sleep_ms(KEPL_CHUNK_GAP_MS);
    }
    if (!RunCommand(AP_KEPL_SEND_DATA, remaining > 0 ? data + offset : nullptr, remaining))
        return false;
    sent = static_cast<unsigned long>(remaining);
    return true;
}

bool QX_SYNC_Start() { return RunCommand(AP_SYNC_START, nullptr, 0); }

bool QX_SYNC_SendCommand(unsigned char* command19)
{
    if (!portOpen)
        return false;
    return RunCommand(AP_SYNC_SEND_COMMAND, command19, AP_WATCH_FRAME_SIZE);
}

bool QX_SYNC_GetBufferStatus(unsigned short& status)
{
    if (!portOpen)
        return false;
    const bool ok = RunCommand(AP_SYNC_GET_BUFFER_STATUS, nullptr, 0);
    status = reply_u8();
    return ok;
}

bool QX_SYNC_ReadBuffer(unsigned char* reply19)
{
    if (!portOpen || !RunCommand(AP_SYNC_READ_BUFFER, nullptr, 0))
        return false;
    std::memcpy(reply19, rxFrame + AP_HEADER_SIZE, AP_WATCH_FRAME_SIZE);
    return true;
}

bool QX_Set0A(unsigned char a, unsigned short b) { return portOpen && byte_and_word(AP_SET_0A, a, b); }

bool QX_Get20(unsigned long& value)
{
    if (!portOpen || !zero_payload_command(AP_GET_20, 4))
        return false;
    value = reply_u32();
    return true;
}

bool QX_KEPL_Get49(unsigned long& value)
{
    if (!portOpen || !zero_payload_command(AP_KEPL_GET_49, 1))
        return false;
    value = reply_u8();
    return true;
}

bool QX_Set70(unsigned short value)
{
    if (!portOpen)
        return false;
    uint8_t p[2];
    put_u16(p, 0, value);
    return RunCommand(AP_SET_70, p, 2);
}

bool QX_Send71() { return portOpen && RunCommand(AP_SEND_71, nullptr, 0); }

bool QX_Set72(unsigned char a, unsigned short b) { return portOpen && byte_and_word(AP_SET_72, a, b); }

bool QX_Get73(unsigned short& value)
{
    value = 0;
    if (!portOpen || !zero_payload_command(AP_GET_73, 2))
        return false;
    value = reply_u16();
    return true;
}
