#include "storage/data_folder.h"

#include "product/product.h"

#include <cstdlib>
#include <string>

namespace kv {

std::filesystem::path userDataFolder()
{
#ifdef _WIN32
    // Wide, so a profile folder named outside the ANSI code page works.
    if (const wchar_t* appData = ::_wgetenv(L"APPDATA"); appData != nullptr && appData[0] != L'\0')
        return std::filesystem::path(appData) / L"Orvendale" / std::wstring(AppTitle.begin(), AppTitle.end());
    return {};
#else
    // The XDG rule: a relative XDG_DATA_HOME is to be ignored.
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/')
        return std::filesystem::path(xdg) / "keystead-vault";
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0')
        return std::filesystem::path(home) / ".local" / "share" / "keystead-vault";
    return {};
#endif
}

} // namespace kv
