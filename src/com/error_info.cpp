#include "com/error_info.h"

#include "com/veltrane_idl.h"
#include "win32/com_objects.h"

namespace veltrane::com {

HRESULT Fail(HRESULT result, const wchar_t* description) noexcept {
    win32::ComPtr<ICreateErrorInfo> created;
    if (FAILED(::CreateErrorInfo(created.put()))) return result;
    created->SetGUID(IID_IPhone);
    created->SetSource(const_cast<LPOLESTR>(L"Veltrane.Phone"));
    created->SetDescription(const_cast<LPOLESTR>(description));
    win32::ComPtr<IErrorInfo> error;
    if (SUCCEEDED(created->QueryInterface(IID_IErrorInfo, error.putVoid()))) ::SetErrorInfo(0, error.get());
    return result;
}

}  // namespace veltrane::com
