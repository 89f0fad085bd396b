#include "win32/ie_browser.h"

#include <exdisp.h>

#include <cstring>

#include "win32/com_objects.h"
#include "winsupport/bstr.h"
#include "winsupport/code_page.h"

namespace veltrane::win32 {

using winsupport::AnsiToWide;
using winsupport::MakeBstr;
using winsupport::UniqueBstr;

namespace {

constexpr long kHeight = 730;
constexpr long kWidth = 830;
constexpr wchar_t kFormHeader[] = L"Content-Type: application/x-www-form-urlencoded\r\n";

// The body's bytes as a byte array, without a terminating NUL.
bool SetPostData(VARIANT& variant, const std::string& body) {
    UniqueSafeArray bytes(::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(body.size())));
    if (!bytes) return false;
    if (!body.empty()) {
        void* data = nullptr;
        if (FAILED(::SafeArrayAccessData(bytes.get(), &data))) return false;
        std::memcpy(data, body.data(), body.size());
        ::SafeArrayUnaccessData(bytes.get());
    }
    V_VT(&variant) = VT_ARRAY | VT_UI1;
    V_ARRAY(&variant) = bytes.release();  // the variant owns it now
    return true;
}

// The browser the system reports as running, if there is one.
ComPtr<IWebBrowser2> RunningBrowser() {
    ComPtr<IUnknown> running;
    ComPtr<IWebBrowser2> browser;
    if (SUCCEEDED(::GetActiveObject(CLSID_InternetExplorer, nullptr, running.put())))
        running->QueryInterface(IID_IWebBrowser2, browser.putVoid());
    return browser;
}

bool SetUpAndPost(IWebBrowser2& browser, const std::string& url, const std::string& body) {
    if (FAILED(browser.put_StatusBar(VARIANT_FALSE))) return false;
    if (FAILED(browser.put_MenuBar(VARIANT_FALSE))) return false;
    if (FAILED(browser.put_ToolBar(FALSE))) return false;
    if (FAILED(browser.put_Height(kHeight))) return false;
    if (FAILED(browser.put_Width(kWidth))) return false;

    const UniqueBstr address = MakeBstr(AnsiToWide(url));
    UniqueVariant flags;        // none
    UniqueVariant targetFrame;  // none
    UniqueVariant postData;
    UniqueVariant headers;
    if (!address || !SetPostData(*postData.get(), body)) return false;
    V_VT(headers.get()) = VT_BSTR;
    V_BSTR(headers.get()) = ::SysAllocString(kFormHeader);
    if (V_BSTR(headers.get()) == nullptr) return false;
    if (FAILED(browser.Navigate(address.get(), flags.get(), targetFrame.get(), postData.get(), headers.get())))
        return false;
    return SUCCEEDED(browser.put_Visible(VARIANT_TRUE));
}

// Quit where the browser allows it, else close its window.
void Close(IWebBrowser2& browser) {
    if (SUCCEEDED(browser.Quit())) return;
    SHANDLE_PTR window = 0;
    if (SUCCEEDED(browser.get_HWND(&window)) && window != 0)
        ::PostMessageW(reinterpret_cast<HWND>(window), WM_CLOSE, 0, 0);
}
}  // namespace

bool IeBrowser::post(const std::string& url, const std::string& body) {
    try {
        ComPtr<IWebBrowser2> browser = RunningBrowser();
        const bool started = !browser;
        if (started &&
            FAILED(::CoCreateInstance(CLSID_InternetExplorer, nullptr, CLSCTX_LOCAL_SERVER, IID_IWebBrowser2,
                                      browser.putVoid())))
            return false;
        if (!browser) return false;
        if (SetUpAndPost(*browser.get(), url, body)) return true;
        // A browser that was running already is the user's: it stays.
        if (started) Close(*browser.get());
        return false;
    } catch (...) {
        return false;
    }
}

}  // namespace veltrane::win32
