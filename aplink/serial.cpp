// SPDX-License-Identifier: MIT
#include "aplink/serial.h"

#include "platform/serial_port.h"

namespace {

plat_serial slots[SERIAL_SLOTS] = {PLAT_SERIAL_NONE};

plat_serial slot_handle(int port)
{
    return port >= 0 && port < SERIAL_SLOTS ? slots[port] : PLAT_SERIAL_NONE;
}

int bound_ms(int n) { return SERIAL_MS_PER_BYTE * n + SERIAL_MS_CONSTANT; }

}  // namespace

bool SerialOpen(int port, const char* path)
{
    if (port < 0 || port >= SERIAL_SLOTS || path == nullptr)
        return false;
    SerialClose(port);
    slots[port] = plat_serial_open(path);
    return slots[port] != PLAT_SERIAL_NONE;
}

void SerialClose(int port)
{
    const plat_serial h = slot_handle(port);
    if (h == PLAT_SERIAL_NONE)
        return;
    plat_serial_close(h);
    slots[port] = PLAT_SERIAL_NONE;
}

void SerialPurge(int port) { plat_serial_purge(slot_handle(port)); }

bool SerialWrite(int port, int n, const uint8_t* data)
{
    return plat_serial_write(slot_handle(port), data, n, bound_ms(n));
}

int SerialRead(int port, int n, uint8_t* buf) { return SerialReadWithin(port, n, buf, bound_ms(n)); }

int SerialReadWithin(int port, int n, uint8_t* buf, int timeout_ms)
{
    return plat_serial_read(slot_handle(port), buf, n, timeout_ms);
}
