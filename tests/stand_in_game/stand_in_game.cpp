// A stand-in for the game: records beside itself what it was started with
// (command line, arguments, working folder, console), then exits. With a
// "stand_in_hold" file beside it, it stays running until "stand_in_release"
// appears, so that a test can see that the launcher did not wait for it. With
// "stand_in_load_dxgi" beside it, it loads dxgi.dll by the ordinary search.

#include <windows.h>

#include <string>

namespace {

std::wstring OwnFolder()
{
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path.substr(0, path.find_last_of(L'\\'));
}

// Percent-escapes what would break the one-value-per-line record.
std::wstring Escaped(const std::wstring& text)
{
    std::wstring out;
    for (const wchar_t c : text) {
        if (c == L'%')
            out += L"%25";
        else if (c == L'\r')
            out += L"%0D";
        else if (c == L'\n')
            out += L"%0A";
        else
            out += c;
    }
    return out;
}

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteAtomically(const std::wstring& path, const std::string& bytes)
{
    const std::wstring temporary = path + L".tmp";
    HANDLE file =
        CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::wstring ConsoleDescription()
{
    const HWND console = GetConsoleWindow();
    std::wstring text = L"console_window=" + std::wstring(console ? L"1" : L"0") + L"\n";
    wchar_t title[512] = {};
    GetConsoleTitleW(title, 512);
    text += L"console_title=" + Escaped(title) + L"\n";
    return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring folder = OwnFolder();
    wchar_t cwd[32768] = {};
    GetCurrentDirectoryW(32768, cwd);

    std::wstring record = L"command_line=" + Escaped(GetCommandLineW()) + L"\n";
    record += L"working_folder=" + Escaped(cwd) + L"\n";
    record += L"argc=" + std::to_wstring(argc - 1) + L"\n";
    for (int i = 1; i < argc; ++i) record += L"arg=" + Escaped(argv[i]) + L"\n";
    record += ConsoleDescription();
    record += L"end=1\n";  // lets a reader tell a whole record from one it caught early
    // A program that loads dxgi.dll the ordinary way picks up a proxy beside it.
    if (Exists(folder + L"\\stand_in_load_dxgi")) LoadLibraryW(L"dxgi.dll");
    WriteAtomically(folder + L"\\stand_in_record.txt", Utf8(record));

    if (Exists(folder + L"\\stand_in_hold")) {
        // Bounded, so that a failed test never leaves the stand-in behind.
        for (int i = 0; i < 6000 && !Exists(folder + L"\\stand_in_release"); ++i) Sleep(20);
        WriteAtomically(folder + L"\\stand_in_done", "released\n");
    }
    return 0;
}
