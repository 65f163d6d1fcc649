// UTF-8 to and from the system's 8-bit code page (on Windows, through
// UTF-16); elsewhere the bytes pass as they are.

#include "SystemCodePage.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tobrik::text {

#ifdef _WIN32

namespace {

std::wstring widen(const std::string& text, unsigned codePage) {
    if (text.empty())
        return {};
    const int length =
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

std::string narrow(const std::wstring& wide, unsigned codePage) {
    if (wide.empty())
        return {};
    const int length = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(),
                        length, nullptr, nullptr);
    return text;
}

} // namespace

std::wstring Utf8ToWide(const std::string& utf8) {
    return widen(utf8, CP_UTF8);
}
std::string WideToUtf8(const std::wstring& wide) {
    return narrow(wide, CP_UTF8);
}

std::string ToSystemCodePage(const std::string& utf8) {
    return narrow(Utf8ToWide(utf8), CP_ACP);
}

std::string FromSystemCodePage(const std::string& bytes) {
    return WideToUtf8(widen(bytes, CP_ACP));
}

#else

std::string ToSystemCodePage(const std::string& utf8) {
    return utf8;
}
std::string FromSystemCodePage(const std::string& bytes) {
    return bytes;
}

#endif

} // namespace tobrik::text
