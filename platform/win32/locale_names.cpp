// SPDX-License-Identifier: MIT
#include "platform/locale_names.h"

#include "platform/win32/records.h"

bool plat_month_name(int n, char* buf, std::size_t size)
{
    if (n < 0 || n > 11 || size == 0 || size > 0x7FFFFFFF)
        return false;
    return GetLocaleInfoA(LOCALE_USER_DEFAULT, static_cast<LCTYPE>(LOCALE_SMONTHNAME1 + n), buf,
                          static_cast<int>(size)) > 0;
}
