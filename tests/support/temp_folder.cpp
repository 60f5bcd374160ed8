#include "tests/support/temp_folder.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

namespace {

std::wstring UniqueName()
{
    static std::atomic<unsigned> counter{0};
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return L"orvel-test-" + std::to_wstring(ticks) + L"-" + std::to_wstring(counter++);
}

// ORVEL_TEST_ROOT below the system's temporary folder (or in its place when
// absolute), or that folder itself.
std::filesystem::path ChosenRoot()
{
    std::filesystem::path root = std::filesystem::temp_directory_path();
#ifdef _WIN32
    std::wstring chosen(32768, L'\0');
    chosen.resize(GetEnvironmentVariableW(L"ORVEL_TEST_ROOT", chosen.data(), static_cast<DWORD>(chosen.size())));
#else
    const char* set = std::getenv("ORVEL_TEST_ROOT");
    const std::string chosen = set ? set : "";
#endif
    if (!chosen.empty()) {
        root = (root / chosen).make_preferred();
        std::filesystem::create_directories(root);
    }
    return root;
}

// The root in its long form: Windows may give %TEMP% as an 8.3 name
// (C:\Users\RUNNER~1\...), and the paths that the tests expect must be spelt
// as the launcher sees its own.
std::filesystem::path TemporaryRoot()
{
    const std::filesystem::path root = ChosenRoot();
#ifdef _WIN32
    std::wstring longName(32768, L'\0');
    const DWORD length = GetLongPathNameW(root.c_str(), longName.data(), static_cast<DWORD>(longName.size()));
    if (length > 0 && length < longName.size()) {
        longName.resize(length);
        return longName;
    }
#endif
    return root;
}

}  // namespace

TempFolder::TempFolder(const std::wstring& name) : path_(TemporaryRoot() / (UniqueName() + name))
{
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void WriteFileBytes(const std::filesystem::path& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFileBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}
