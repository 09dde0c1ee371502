// The product version from the module's own version resource.
#include <windows.h>

#include <vector>

#include "platform/module.h"
#include "platform/version_info.h"
#include "platform/win32/wide_path.h"

namespace mireo {

ProductVersionInfo ProductVersion() {
    const ProductVersionInfo none{};
    const std::wstring path = widepath::ModuleFileName(static_cast<HMODULE>(OwnModuleHandle()));
    if (path.empty()) return none;
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) return none;
    std::vector<unsigned char> data(size);
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return none;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || info == nullptr ||
        length < sizeof(VS_FIXEDFILEINFO) || info->dwSignature != 0xFEEF04BDu)
        return none;
    return ProductVersionInfo{static_cast<int>(HIWORD(info->dwProductVersionMS)),
                              static_cast<int>(LOWORD(info->dwProductVersionMS)),
                              static_cast<int>(LOWORD(info->dwProductVersionLS))};
}

}  // namespace mireo
