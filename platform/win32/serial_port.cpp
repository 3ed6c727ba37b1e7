// SPDX-License-Identifier: MIT
// Serial channel on a COM port: exclusive, overlapped I/O, the port's own
// timeouts ending a transfer and a completion wait 20 ms longer.
#include "platform/serial_port.h"

#include <algorithm>

#include "platform/win32/records.h"

struct plat_serial_port {
    HANDLE device;
    OVERLAPPED write_done;  // each with its own manual-reset event
    OVERLAPPED read_done;
    int read_timeout_ms;  // the read bound the port is set to now
};

namespace {

// One port is ever open; its completion records stay put while I/O is pending.
plat_serial_port port_slot{};
bool slot_used = false;

constexpr DWORD QUEUE_SIZE = 2048;
constexpr DWORD EVENT_MASK = EV_RXCHAR | EV_TXEMPTY | EV_BREAK | EV_ERR;
constexpr DWORD PURGE_ALL = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
// Between transactions only what came in goes: a write has had its bounded
// wait already, and what the driver still holds of it is on its way out.
constexpr DWORD PURGE_RECEIVED = PURGE_RXABORT | PURGE_RXCLEAR;
constexpr DWORD MS_PER_BYTE = 20;
constexpr DWORD MS_CONSTANT = 40;
// The completion wait gives the port's own timeout this much more.
constexpr DWORD WAIT_MARGIN_MS = 20;

constexpr COMMTIMEOUTS PORT_TIMEOUTS = {0, MS_PER_BYTE, MS_CONSTANT, MS_PER_BYTE, MS_CONSTANT};

bool is_standard_bound(int n, int timeout_ms)
{
    return timeout_ms == static_cast<int>(MS_PER_BYTE) * n + static_cast<int>(MS_CONSTANT);
}

// A read bound other than 20·n + 40 ms: the whole call within timeout_ms, or
// only what has arrived for 0.
void set_read_timeout(plat_serial_port& p, int n, int timeout_ms)
{
    if (p.read_timeout_ms == timeout_ms)
        return;
    COMMTIMEOUTS t = PORT_TIMEOUTS;
    if (!is_standard_bound(n, timeout_ms)) {
        t.ReadIntervalTimeout = timeout_ms == 0 ? MAXDWORD : 0;
        t.ReadTotalTimeoutMultiplier = 0;
        t.ReadTotalTimeoutConstant = static_cast<DWORD>(timeout_ms);
    }
    SetCommTimeouts(p.device, &t);
    // The port's table holds 20·n + 40 for every n.
    p.read_timeout_ms = is_standard_bound(n, timeout_ms) ? -1 : timeout_ms;
}

void release(plat_serial_port& p)
{
    CloseHandle(p.device);
    CloseHandle(p.read_done.hEvent);
    CloseHandle(p.write_done.hEvent);
    p = plat_serial_port{};
    slot_used = false;
}

// Finishes an overlapped transfer begun by started: waits at most wait_ms,
// then takes the result without waiting. A transfer still pending is
// cancelled and reaped, so it never writes into a buffer the caller has
// moved on from. Bytes transferred, or -1 on failure.
long long finish(HANDLE device, OVERLAPPED& ov, BOOL started, DWORD wait_ms)
{
    DWORD done = 0;
    if (started)
        return GetOverlappedResult(device, &ov, &done, FALSE) ? done : -1;
    if (GetLastError() != ERROR_IO_PENDING)
        return -1;
    WaitForSingleObject(ov.hEvent, wait_ms);
    if (GetOverlappedResult(device, &ov, &done, FALSE))
        return done;
    if (GetLastError() == ERROR_IO_INCOMPLETE) {
        CancelIoEx(device, &ov);
        GetOverlappedResult(device, &ov, &done, TRUE);
    }
    return -1;
}

DWORD wait_for(int timeout_ms) { return static_cast<DWORD>(timeout_ms) + WAIT_MARGIN_MS; }

plat_open_error last_open_error = plat_open_error::none;

// A port another program holds opens with "access denied" on Windows.
plat_open_error open_error_of(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return plat_open_error::missing;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return plat_open_error::busy;
    default:
        return plat_open_error::other;
    }
}

}  // namespace

plat_open_error plat_serial_open_error() { return last_open_error; }

plat_serial plat_serial_open(const char* path)
{
    last_open_error = plat_open_error::other;
    if (path == nullptr)
        return PLAT_SERIAL_NONE;
    if (slot_used) {
        last_open_error = plat_open_error::busy;
        return PLAT_SERIAL_NONE;
    }
    plat_serial_port& p = port_slot;
    p = plat_serial_port{};
    p.device = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (p.device == INVALID_HANDLE_VALUE) {
        last_open_error = open_error_of(GetLastError());
        return PLAT_SERIAL_NONE;
    }
    slot_used = true;
    p.read_done.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    p.write_done.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    p.read_timeout_ms = -1;

    SetCommMask(p.device, EVENT_MASK);
    SetupComm(p.device, QUEUE_SIZE, QUEUE_SIZE);
    PurgeComm(p.device, PURGE_ALL);
    COMMTIMEOUTS t = PORT_TIMEOUTS;
    SetCommTimeouts(p.device, &t);

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(p.device, &dcb);
    dcb.BaudRate = CBR_115200;
    dcb.fBinary = 1;
    dcb.fParity = 0;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = 0;
    dcb.fTXContinueOnXoff = 1;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = 0;
    dcb.XonLim = 0;
    dcb.XoffLim = 0;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 0x00;
    dcb.XoffChar = 0x01;
    dcb.ErrorChar = 0x00;
    dcb.EofChar = 0x00;
    dcb.EvtChar = 0x00;
    if (!SetCommState(p.device, &dcb)) {
        release(p);
        return PLAT_SERIAL_NONE;
    }
    last_open_error = plat_open_error::none;
    return &p;
}

bool plat_serial_write(plat_serial h, const uint8_t* data, int n, int timeout_ms)
{
    if (h == PLAT_SERIAL_NONE || n < 0)
        return false;
    ResetEvent(h->write_done.hEvent);
    const BOOL started = WriteFile(h->device, data, static_cast<DWORD>(n), nullptr, &h->write_done);
    return finish(h->device, h->write_done, started, wait_for(timeout_ms)) == n;
}

int plat_serial_read(plat_serial h, uint8_t* buf, int n, int timeout_ms)
{
    if (h == PLAT_SERIAL_NONE || n <= 0)
        return 0;
    // Only what has arrived: asked of the driver's queue, so that no read is
    // left pending (Wine pends even a read that may not wait).
    if (timeout_ms == 0) {
        DWORD errors = 0;
        COMSTAT queue{};
        if (!ClearCommError(h->device, &errors, &queue) || queue.cbInQue == 0)
            return 0;
        n = std::min(n, static_cast<int>(queue.cbInQue));
    }
    set_read_timeout(*h, n, timeout_ms);
    ResetEvent(h->read_done.hEvent);
    const BOOL started = ReadFile(h->device, buf, static_cast<DWORD>(n), nullptr, &h->read_done);
    const long long got = finish(h->device, h->read_done, started, wait_for(timeout_ms));
    return got > 0 ? static_cast<int>(got) : 0;
}

void plat_serial_purge(plat_serial h)
{
    if (h != PLAT_SERIAL_NONE)
        PurgeComm(h->device, PURGE_RECEIVED);
}

void plat_serial_close(plat_serial h)
{
    if (h == PLAT_SERIAL_NONE)
        return;
    SetCommMask(h->device, 0);
    EscapeCommFunction(h->device, CLRDTR);
    PurgeComm(h->device, PURGE_ALL);
    release(*h);
}
