#include "native/serial_ports.h"

#include <algorithm>
#include <windows.h>

#include "native/wide_text.h"
#include "portsetup/port_probe.h"

namespace quillon {

std::string DeviceLocation(const std::string& name)
{
    // The device namespace reaches COM10 and above, which the plain name does not.
    if (name.empty() || name.find('\\') != std::string::npos || name.find('/') != std::string::npos)
        return name;
    return "\\\\.\\" + name;
}

bool DeviceExists(const std::string& name)
{
    // Busy ports exist too: only an absent one reports that it is not found.
    const HANDLE handle = ::CreateFileW(WideText(DeviceLocation(name)).c_str(), 0, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        ::CloseHandle(handle);
        return true;
    }
    const DWORD error = ::GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

std::vector<std::string> SerialPortNames()
{
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ,
                        &key) != ERROR_SUCCESS)
        return names;
    for (DWORD index = 0;; ++index) {
        wchar_t value[256];
        DWORD valueLength = 256;
        wchar_t data[256];
        DWORD dataBytes = sizeof data;
        DWORD type = 0;
        const LONG result = ::RegEnumValueW(key, index, value, &valueLength, nullptr, &type,
                                            reinterpret_cast<BYTE*>(data), &dataBytes);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;
        const std::size_t length = std::min<std::size_t>(dataBytes / sizeof(wchar_t), 255);
        std::wstring name(data, length);
        while (!name.empty() && name.back() == L'\0')
            name.pop_back();
        if (!name.empty())
            names.push_back(Utf8Text(name));
    }
    ::RegCloseKey(key);
    std::sort(names.begin(), names.end(), NaturalLess);
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

} // namespace quillon
