// Veltrane.Phone with nothing in the registry: an application manifest
// names the assembly whose manifest (shipped beside veltrane.dll) lists the
// class, its ProgIDs and the type library.
#include <gtest/gtest.h>

#include <string>

#include "com/com_client.h"
#include "harness/test_host.h"
#include "veltrane.h"

namespace veltrane::wine {
namespace {

const char kApplication[] = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <assemblyIdentity type="win32" name="Veltrane.Host" version="1.0.0.0" processorArchitecture="amd64"/>
  <dependency>
    <dependentAssembly>
      <assemblyIdentity type="win32" name="Veltrane.Phone" version=")" VELTRANE_VERSION_STRING R"(.0" processorArchitecture="amd64"/>
    </dependentAssembly>
  </dependency>
</assembly>
)";

TEST(RegistrationFree, AnApplicationManifestAloneMakesTheObject) {
    Apartment apartment;
    CLSID clsid{};
    ASSERT_NE(::CLSIDFromProgID(L"Veltrane.Phone", &clsid), S_OK) << "registered: this test proves nothing";

    // The application's folder: its manifest, and the DLL with its own.
    TempFolder folder;
    WriteFileBytes(folder.path() + L"host.manifest", kApplication);
    for (const wchar_t* file : {L"veltrane.dll", L"Veltrane.Phone.manifest"})
        ASSERT_TRUE(::CopyFileW((ProgramFolder() + file).c_str(), (folder.path() + file).c_str(), FALSE));
    const std::wstring manifest = folder.path() + L"host.manifest";
    ACTCTXW context{};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_ASSEMBLY_DIRECTORY_VALID;
    context.lpSource = manifest.c_str();
    context.lpAssemblyDirectory = folder.path().c_str();
    HANDLE made = ::CreateActCtxW(&context);
    ASSERT_NE(made, INVALID_HANDLE_VALUE) << "CreateActCtx: " << ::GetLastError();
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(::ActivateActCtx(made, &cookie));

    Ref<IDispatch> object;
    const HRESULT created = CreateByProgId(L"Veltrane.Phone", object);
    EXPECT_EQ(created, S_OK);
    if (SUCCEEDED(created)) {
        Automation phone(std::move(object));
        EXPECT_EQ(phone.get(L"Version").value.text(), Widen(VELTRANE_VERSION_STRING));
        EventSink sink;
        EXPECT_EQ(sink.connect(phone.object()), S_OK);
        sink.disconnect();
    }
    ::DeactivateActCtx(0, cookie);
    ::ReleaseActCtx(made);
}

}  // namespace
}  // namespace veltrane::wine
