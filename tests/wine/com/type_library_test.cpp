// The type library as VB6's object browser and Delphi's import read it:
// registered, loaded by its identifier, every method with its parameters
// and help string, and compared with the exports of include/veltrane.h.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "com/com_client.h"
#include "harness/test_host.h"

namespace veltrane::wine {
namespace {

struct Method {
    std::wstring name;
    std::vector<std::wstring> parameters;  // [out, retval] ones too
    std::wstring help;
};

std::map<std::wstring, Method> Methods(ITypeLib* library, const wchar_t* iid) {
    IID id{};
    ::IIDFromString(iid, &id);
    Ref<ITypeInfo> info;
    std::map<std::wstring, Method> methods;
    if (FAILED(library->GetTypeInfoOfGuid(id, reinterpret_cast<ITypeInfo**>(info.out())))) return methods;
    TYPEATTR* attributes = nullptr;
    info->GetTypeAttr(&attributes);
    const WORD count = attributes->cFuncs;
    info->ReleaseTypeAttr(attributes);
    for (WORD i = 0; i < count; ++i) {
        FUNCDESC* function = nullptr;
        info->GetFuncDesc(i, &function);
        BSTR names[16] = {};
        UINT found = 0;
        info->GetNames(function->memid, names, 16, &found);
        BSTR help = nullptr;
        info->GetDocumentation(function->memid, nullptr, &help, nullptr, nullptr);
        Method method{names[0], {}, help != nullptr ? help : L""};
        for (UINT n = 1; n < found; ++n) method.parameters.push_back(names[n]);
        for (UINT n = 0; n < found; ++n) ::SysFreeString(names[n]);
        ::SysFreeString(help);
        // IUnknown's and IDispatch's methods are restricted: hosts hide them.
        if (!(function->wFuncFlags & FUNCFLAG_FRESTRICTED)) methods[method.name] = method;
        info->ReleaseFuncDesc(function);
    }
    return methods;
}

// Each export of the header and its number of parameters.
std::map<std::string, std::size_t> HeaderExports() {
    std::ifstream file(std::string("Z:") + VELTRANE_HEADER);
    std::stringstream text;
    text << file.rdbuf();
    const std::string header = text.str();
    std::map<std::string, std::size_t> exports;
    const std::regex prototype(R"(\nvoid __stdcall ([A-Z_]+)\(([^)]*)\);)");
    for (std::sregex_iterator it(header.begin(), header.end(), prototype), end; it != end; ++it) {
        const std::string parameters = (*it)[2];
        exports[(*it)[1]] = parameters == "void" ? 0 : std::count(parameters.begin(), parameters.end(), ',') + 1;
    }
    return exports;
}

TEST(TypeLibrary, EveryExportHasItsMethodWithItsParametersAndHelp) {
    Apartment apartment;
    MachineRegistration registration;
    ASSERT_EQ(registration.result(), S_OK);
    GUID libid{};
    ::IIDFromString(L"{B76838BE-2587-410E-A3EF-E5D25D671CE4}", &libid);
    Ref<ITypeLib> library;
    ASSERT_EQ(::LoadRegTypeLib(libid, 1, 0, LOCALE_NEUTRAL, reinterpret_cast<ITypeLib**>(library.out())), S_OK);
    std::map<std::wstring, Method> methods = Methods(library.get(), L"{DB72B45C-97C9-433A-971F-DC99001C05FF}");

    // The export each method does; DLL_START's callback becomes the events.
    const std::map<std::string, std::pair<std::wstring, std::size_t>> exported = {
        {"DLL_START", {L"Start", 1}},        {"DLL_FINISH", {L"Finish", 0}},
        {"CERTIFICATION_NO", {L"RegisterPhone", 0}}, {"CERTIFICATION_OTHER", {L"ForgetPhone", 0}},
        {"CERTIFICATION_PC", {L"CertifyPC", 0}},    {"PC_LOGIN", {L"Login", 0}},
        {"PC_LOGOUT", {L"Logout", 0}},       {"DIAL", {L"Dial", 0}},
        {"PICK_UP", {L"PickUp", 0}},         {"HANG_UP", {L"HangUp", 0}},
        {"RE_DIAL", {L"Redial", 0}},         {"SMS_INSTANT", {L"SendSms", 0}},
        {"SMS_BOOKED", {L"BookSms", 0}},     {"CALL_RECORD", {L"RecordCall", 0}},
        {"WEB_REQUEST", {L"OpenWebPage", 0}},
    };
    const std::map<std::string, std::size_t> header = HeaderExports();
    ASSERT_EQ(header.size(), 15u);
    for (const auto& [name, parameters] : header) {
        const auto mapped = exported.find(name);
        ASSERT_NE(mapped, exported.end()) << name << " has no method";
        const auto method = methods.find(mapped->second.first);
        ASSERT_NE(method, methods.end()) << ToAnsi(mapped->second.first) << " is missing";
        EXPECT_EQ(method->second.parameters.size() + mapped->second.second, parameters) << name;
        EXPECT_FALSE(method->second.help.empty()) << name;
        methods.erase(method);
    }
    // Beyond the exports: Stop, WaitEvent and Version, and nothing else.
    ASSERT_EQ(methods.size(), 3u);
    EXPECT_EQ(methods[L"Stop"].parameters.size(), 0u);
    EXPECT_EQ(methods[L"WaitEvent"].parameters, (std::vector<std::wstring>{L"TimeoutMs"}));
    EXPECT_EQ(methods[L"Version"].parameters.size(), 0u);
    for (const auto& [name, method] : methods) EXPECT_FALSE(method.help.empty()) << ToAnsi(name);

    std::map<std::wstring, Method> events = Methods(library.get(), L"{521E5418-4860-4502-88EC-5ACA76F92B7A}");
    EXPECT_EQ(events[L"HostEvent"].parameters, (std::vector<std::wstring>{L"Text"}));
    EXPECT_EQ(events[L"CallState"].parameters,
              (std::vector<std::wstring>{L"Phone", L"OtherParty", L"State", L"Direction"}));
    for (const auto& [name, event] : events) EXPECT_FALSE(event.help.empty()) << ToAnsi(name);
}

}  // namespace
}  // namespace veltrane::wine
