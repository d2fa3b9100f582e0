// Stands in for the game in the launcher's end-to-end tests on Windows: writes its working folder and
// its arguments, one per line in UTF-8, to the file named by VORLANTH_RECORD, then ends.
#include <windows.h>

#include <shellapi.h>

#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    return out;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wchar_t record[MAX_PATH];
    if (GetEnvironmentVariableW(L"VORLANTH_RECORD", record, MAX_PATH) == 0) return 2;
    wchar_t folder[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, folder);
    std::string text = Utf8(folder) + "\n";
    int count = 0;
    if (wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            text += Utf8(args[i]) + "\n";
        LocalFree(args);
    }
    // Written beside and then moved, so that a reader never sees half a record.
    const std::wstring partial = std::wstring(record) + L".partial";
    const HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return MoveFileExW(partial.c_str(), record, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
