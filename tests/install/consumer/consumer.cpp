// SPDX-License-Identifier: MIT
// A program of someone else's, built against the installed library.
#include <qxap.h>

#include <cstdio>
#include <cstring>

static_assert(QXAP_VERSION == QXAP_VERSION_MAJOR * 10000 + QXAP_VERSION_MINOR * 100 + QXAP_VERSION_PATCH);

int main()
{
    unsigned short status = 0;
    QX_CloseCOM();
    const bool ok = QX_GetStatus(status);  // no port open: refused, 7
    std::printf("%d %u\n", ok, status);
    // The installed header names the device path of a port number.
    char path[32];
    std::snprintf(path, sizeof path, QXAP_PORT_PATH_FORMAT, 7);
    return !ok && status == 7 && std::strcmp(path, "/dev/ttyACM7") == 0 ? 0 : 1;
}
