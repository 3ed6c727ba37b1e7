// SPDX-License-Identifier: MIT
// The serial ports of the device-setup class "Ports": the number from the
// device's "PortName" value, the device description as description. The
// device-setup library is loaded for the listing and let go after it.
#include "platform/port_list.h"

#include "platform/text.h"
#include "platform/win32/records.h"

#include <setupapi.h>

#include <cstring>
#include <memory>

namespace {

constexpr char SETUP_LIBRARY[] = "SETUPAPI.DLL";
constexpr char PORTS_CLASS[] = "Ports";
constexpr char PORT_NAME_VALUE[] = "PortName";
constexpr char PORT_NAME_PREFIX[] = "COM";
constexpr std::size_t TEXT_BUFFER_SIZE = 256;

using OpenDevRegKey = HKEY(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, DWORD, DWORD, DWORD, REGSAM);
using ClassGuidsFromName = BOOL(WINAPI*)(PCSTR, LPGUID, DWORD, PDWORD);
using GetClassDevs = HDEVINFO(WINAPI*)(const GUID*, PCSTR, HWND, DWORD);
using GetDeviceRegistryProperty = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, DWORD, PDWORD, PBYTE,
                                                DWORD, PDWORD);
using DestroyDeviceInfoList = BOOL(WINAPI*)(HDEVINFO);
using EnumDeviceInfo = BOOL(WINAPI*)(HDEVINFO, DWORD, PSP_DEVINFO_DATA);

struct setup_calls {
    OpenDevRegKey open_dev_reg_key;
    ClassGuidsFromName class_guids_from_name;
    GetClassDevs get_class_devs;
    GetDeviceRegistryProperty get_device_registry_property;
    DestroyDeviceInfoList destroy_device_info_list;
    EnumDeviceInfo enum_device_info;
};

template <class F>
bool look_up(HMODULE library, const char* name, F& call)
{
    // The loaded library's entry points have the types declared above.
    call = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return call != nullptr;
}

bool look_up_all(HMODULE library, setup_calls& c)
{
    return look_up(library, "SetupDiOpenDevRegKey", c.open_dev_reg_key) &&
           look_up(library, "SetupDiClassGuidsFromNameA", c.class_guids_from_name) &&
           look_up(library, "SetupDiGetClassDevsA", c.get_class_devs) &&
           look_up(library, "SetupDiGetDeviceRegistryPropertyA", c.get_device_registry_property) &&
           look_up(library, "SetupDiDestroyDeviceInfoList", c.destroy_device_info_list) &&
           look_up(library, "SetupDiEnumDeviceInfo", c.enum_device_info);
}

// Unloads the library and leaves error as the last error.
bool fail_with(HMODULE library, DWORD error)
{
    FreeLibrary(library);
    SetLastError(error);
    return false;
}

// The port number of a "PortName" value: "COM" in any case, then one or more
// decimal digits and nothing else.
bool port_number(const char* name, unsigned& number)
{
    const std::size_t prefix = sizeof PORT_NAME_PREFIX - 1;
    return starts_with_ignoring_case(name, PORT_NAME_PREFIX) && decimal_number(name + prefix, number);
}

// The device's port number from its hardware key; false when it is no COM port.
bool device_port(const setup_calls& c, HDEVINFO set, SP_DEVINFO_DATA& device, unsigned& number)
{
    const HKEY key = c.open_dev_reg_key(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (key == INVALID_HANDLE_VALUE)
        return false;
    char name[TEXT_BUFFER_SIZE] = {};
    DWORD type = 0;
    DWORD size = sizeof name - 1;  // room for a terminator the value may lack
    const bool read = RegQueryValueExA(key, PORT_NAME_VALUE, nullptr, &type,
                                       reinterpret_cast<BYTE*>(name), &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return read && type == REG_SZ && port_number(name, number);
}

std::string device_description(const setup_calls& c, HDEVINFO set, SP_DEVINFO_DATA& device)
{
    char text[TEXT_BUFFER_SIZE] = {};
    DWORD type = 0;
    if (!c.get_device_registry_property(set, &device, SPDRP_DEVICEDESC, &type,
                                        reinterpret_cast<BYTE*>(text), sizeof text - 1, nullptr) ||
        type != REG_SZ)
        return {};
    return text;
}

}  // namespace

bool plat_list_serial_ports(std::vector<unsigned>& numbers, std::vector<std::string>& descriptions)
{
    numbers.clear();
    descriptions.clear();
    const HMODULE library = LoadLibraryA(SETUP_LIBRARY);
    if (library == nullptr)
        return false;
    setup_calls c{};
    if (!look_up_all(library, c))
        return fail_with(library, ERROR_CALL_NOT_IMPLEMENTED);

    DWORD count = 0;
    c.class_guids_from_name(PORTS_CLASS, nullptr, 0, &count);
    if (count == 0)
        return fail_with(library, GetLastError());
    const std::unique_ptr<GUID[]> guids(new (std::nothrow) GUID[count]);
    if (!guids)
        return fail_with(library, ERROR_OUTOFMEMORY);
    if (!c.class_guids_from_name(PORTS_CLASS, guids.get(), count, &count))
        return fail_with(library, GetLastError());
    const HDEVINFO set = c.get_class_devs(&guids[0], nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return fail_with(library, GetLastError());

    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; c.enum_device_info(set, i, &device); ++i) {
        unsigned number = 0;
        if (!device_port(c, set, device, number))
            continue;
        numbers.push_back(number);
        descriptions.push_back(device_description(c, set, device));
    }
    c.destroy_device_info_list(set);
    FreeLibrary(library);
    return true;
}

bool plat_is_device_path(std::string_view) { return false; }
