#include "host/host_support.h"

#include <iphlpapi.h>

#include <algorithm>
#include <cstdio>

namespace veltrane::wine {

std::string FirstAdapterMac() {
    ULONG size = 0;
    if (::GetAdaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW) return {};
    std::vector<unsigned char> buffer(size);
    auto* adapters = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
    if (::GetAdaptersInfo(adapters, &size) != NO_ERROR) return {};
    std::string mac;
    for (UINT i = 0; i < adapters->AddressLength; ++i) {
        char part[4];
        std::snprintf(part, sizeof part, i == 0 ? "%02X" : "-%02X", adapters->Address[i]);
        mac += part;
    }
    return mac;
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Logged(const std::wstring& basePath, const std::string& line) {
    const std::vector<std::string> lines = LogLines(basePath);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

FileWriteLock::FileWriteLock(const std::wstring& path)
    : file_(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)) {}

FileWriteLock::~FileWriteLock() {
    if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
}

}  // namespace veltrane::wine
