// SPDX-License-Identifier: MIT
#include "platform/locale_names.h"

#include <clocale>
#include <cstring>
#include <langinfo.h>
#include <locale.h>

bool plat_month_name(int n, char* buf, std::size_t size)
{
    if (n < 0 || n > 11 || size == 0)
        return false;
    // A private locale object: the process's own LC_NUMERIC and the rest stay "C".
    locale_t loc = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr))
        loc = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr))
        return false;
    const char* name = nl_langinfo_l(static_cast<nl_item>(MON_1 + n), loc);
    const bool ok = name != nullptr && *name != '\0';
    if (ok) {
        std::strncpy(buf, name, size - 1);
        buf[size - 1] = '\0';
    }
    freelocale(loc);
    return ok;
}
