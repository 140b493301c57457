#include "UpdateImage.h"

#include <windows.h>

std::wstring DecodeAnsi(const std::string& bytes) {
    if (bytes.empty())
        return {};
    int n =
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), &out[0], n);
    return out;
}
