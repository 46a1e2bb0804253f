// Stands in for the user's program run for each call. Writes the
// RINGWARDEN_ variables of its environment, one "NAME=value" line each in
// UTF-8, to the file named by its last argument (whole: written aside, then
// renamed). "--sleep MS" first waits that long, so that a run ended early
// writes nothing.
#include <windows.h>

#include <shellapi.h>

#include <cwchar>
#include <string>

namespace {

std::string Utf8(const wchar_t* text, size_t length) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), size, nullptr,
                            nullptr);
    return out;
}

} // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2)
        return 2;
    if (argc >= 4 && wcscmp(argv[1], L"--sleep") == 0)
        Sleep(static_cast<DWORD>(_wtoi(argv[2])));
    std::string text;
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* p = block; *p; p += wcslen(p) + 1)
            if (_wcsnicmp(p, L"RINGWARDEN_", 11) == 0)
                text += Utf8(p, wcslen(p)) + "\n";
        FreeEnvironmentStringsW(block);
    }
    const std::wstring path = argv[argc - 1];
    const std::wstring aside = path + L".part";
    HANDLE file = CreateFileW(aside.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 3;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return MoveFileExW(aside.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}
