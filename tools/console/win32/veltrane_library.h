// veltrane.dll loaded at run time; its exports are looked up by name, so
// the console works with whatever part of the interface a build provides.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "console/script_runner.h"
#include "veltrane.h"

namespace veltrane::tools::win32 {

class VeltraneLibrary {
public:
    bool load(const std::wstring& path, std::string& error);
    // Calls an export with UTF-8 arguments, each handed over as a BSTR that
    // lives for the duration of the call; DLL_START also gets `callback`.
    bool call(const ExportInfo& info, const std::vector<std::string>& args, VELTRANE_CALLBACK callback,
              std::string& error) const;
    // Names of the exports that the loaded library lacks.
    std::vector<std::string> missingExports() const;

private:
    FARPROC find(const ExportInfo& info) const;

    // Never freed: once started, the library runs threads of its own and
    // ends the process itself in DLL_FINISH; unloading it under those
    // threads would crash them.
    HMODULE module_ = nullptr;
};

}  // namespace veltrane::tools::win32
