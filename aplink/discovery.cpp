// SPDX-License-Identifier: MIT
#include "aplink/discovery.h"

#include "aplink/qxap.h"
#include "platform/port_list.h"

bool ListSerialPorts(std::vector<unsigned>& numbers, std::vector<std::string>& descriptions)
{
    return plat_list_serial_ports(numbers, descriptions);
}

bool QX_GetCOM(unsigned char& port)
{
    std::vector<unsigned> numbers;
    std::vector<std::string> descriptions;
    if (!ListSerialPorts(numbers, descriptions))
        return false;
    for (std::size_t i = 0; i < numbers.size() && i < descriptions.size(); ++i) {
        // A number beyond one byte would be reported truncated and name
        // another port; such a port is passed over.
        if (numbers[i] > 0xFF)
            continue;
        if (descriptions[i] == AP_DEVICE_DESCRIPTION) {
            port = static_cast<unsigned char>(numbers[i]);
            return true;
        }
    }
    return false;
}
