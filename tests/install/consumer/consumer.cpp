// A program of someone else's, built against the installed library.
#include <qxap.h>

#include <cstdio>

int main()
{
    unsigned short status = 0;
    QX_CloseCOM();
    const bool ok = QX_GetStatus(status);  // no port open: refused, 7
    std::printf("%d %u\n", ok, status);
    return !ok && status == 7 ? 0 : 1;
}
