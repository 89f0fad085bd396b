#include "console/win32/veltrane_library.h"

#include <cstring>
#include <functional>
#include <map>

#include "winsupport/bstr.h"
#include "winsupport/code_page.h"

namespace veltrane::tools::win32 {

using winsupport::MakeBstr;
using winsupport::Narrow;
using winsupport::UniqueBstr;
using winsupport::Widen;

namespace {

// The export's own type, from veltrane.h.
template <typename Function>
Function As(FARPROC address) {
    static_assert(sizeof(Function) == sizeof(FARPROC));
    Function function;
    std::memcpy(&function, &address, sizeof function);
    return function;
}

using Arguments = std::vector<const UniqueBstr*>;
using Caller = std::function<void(FARPROC, const Arguments&, VELTRANE_CALLBACK)>;

const std::map<std::string_view, Caller>& Callers() {
    static const std::map<std::string_view, Caller> callers = {
        {"DLL_START", [](FARPROC f, const Arguments& a, VELTRANE_CALLBACK cb) {
             As<decltype(&DLL_START)>(f)(a[0]->get(), a[1]->get(), cb);
         }},
        {"DLL_FINISH", [](FARPROC f, const Arguments&, VELTRANE_CALLBACK) { As<decltype(&DLL_FINISH)>(f)(); }},
        {"CERTIFICATION_NO", [](FARPROC f, const Arguments& a, VELTRANE_CALLBACK) {
             As<decltype(&CERTIFICATION_NO)>(f)(a[0]->get());
         }},
        {"CERTIFICATION_OTHER",
         [](FARPROC f, const Arguments&, VELTRANE_CALLBACK) { As<decltype(&CERTIFICATION_OTHER)>(f)(); }},
        {"CERTIFICATION_PC", [](FARPROC f, const Arguments& a, VELTRANE_CALLBACK) {
             As<decltype(&CERTIFICATION_PC)>(f)(a[0]->get(), a[1]->get());
         }},
        {"PC_LOGIN", [](FARPROC f, const Arguments& a, VELTRANE_CALLBACK) {
             As<decltype(&PC_LOGIN)>(f)(a[0]->get(), a[1]->get(), a[2]->get());
         }},
        {"PC_LOGOUT", [](FARPROC f, const Arguments&, VELTRANE_CALLBACK) { As<decltype(&PC_LOGOUT)>(f)(); }},
        {"DIAL", [](FARPROC f, const Arguments& a, VELTRANE_CALLBACK) { As<decltype(&DIAL)>(f)(a[0]->get()); }},
        {"PICK_UP", [](FARPROC f, const Arguments& a, VELTRANE_CALLBACK) { As<decltype(&PICK_UP)>(f)(a[0]->get()); }},
        {"HANG_UP", [](FARPROC f, const Arguments& a, VELTRANE_CALLBACK) { As<decltype(&HANG_UP)>(f)(a[0]->get()); }},
        {"RE_DIAL", [](FARPROC f, const Arguments&, VELTRANE_CALLBACK) { As<decltype(&RE_DIAL)>(f)(); }},
        {"SMS_INSTANT", [](FARPROC f, const Arguments& a, VELTRANE_CALLBACK) {
             As<decltype(&SMS_INSTANT)>(f)(a[0]->get(), a[1]->get());
         }},
        {"SMS_BOOKED", [](FARPROC f, const Arguments& a, VELTRANE_CALLBACK) {
             As<decltype(&SMS_BOOKED)>(f)(a[0]->get(), a[1]->get(), a[2]->get());
         }},
        {"CALL_RECORD", [](FARPROC f, const Arguments& a, VELTRANE_CALLBACK) {
             As<decltype(&CALL_RECORD)>(f)(a[0]->get());
         }},
        {"WEB_REQUEST", [](FARPROC f, const Arguments& a, VELTRANE_CALLBACK) {
             As<decltype(&WEB_REQUEST)>(f)(a[0]->get(), a[1]->get(), a[2]->get(), a[3]->get());
         }},
    };
    return callers;
}

std::string LastErrorText(DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = text ? Narrow(text, CP_UTF8) : std::string();
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    return "error " + std::to_string(code) + (message.empty() ? "" : " (" + message + ")");
}

}  // namespace

bool VeltraneLibrary::load(const std::wstring& path, std::string& error) {
    module_ = LoadLibraryW(path.c_str());
    if (module_ == nullptr) {
        error = "cannot load " + Narrow(path, CP_UTF8) + ": " + LastErrorText(GetLastError());
        return false;
    }
    return true;
}

FARPROC VeltraneLibrary::find(const ExportInfo& info) const {
    const std::string name(info.name);
    if (FARPROC address = GetProcAddress(module_, name.c_str())) return address;
    // A 32-bit build linked without a .def file keeps the __stdcall decoration.
    const std::size_t argumentBytes = (info.arity + (info.name == "DLL_START" ? 1 : 0)) * sizeof(void*);
    const std::string decorated = name + "@" + std::to_string(argumentBytes);
    if (FARPROC address = GetProcAddress(module_, decorated.c_str())) return address;
    return GetProcAddress(module_, ("_" + decorated).c_str());
}

bool VeltraneLibrary::call(const ExportInfo& info, const std::vector<std::string>& args, VELTRANE_CALLBACK callback,
                           std::string& error) const {
    const FARPROC address = find(info);
    if (address == nullptr) {
        error = std::string(info.name) + " is not exported by this veltrane.dll";
        return false;
    }
    std::vector<UniqueBstr> owned;
    owned.reserve(args.size());  // never moved: `arguments` points into it
    Arguments arguments;
    for (const std::string& arg : args) {
        owned.push_back(MakeBstr(Widen(arg, CP_UTF8)));
        arguments.push_back(&owned.back());
    }
    Callers().at(info.name)(address, arguments, callback);
    return true;
}

std::vector<std::string> VeltraneLibrary::missingExports() const {
    std::vector<std::string> missing;
    for (const ExportInfo& info : VeltraneExports())
        if (find(info) == nullptr) missing.emplace_back(info.name);
    return missing;
}

}  // namespace veltrane::tools::win32
