#pragma once

#include <filesystem>
#include <string>

// A fresh, empty folder under the system's temporary folder, removed with
// everything in it when the owner goes. ORVEL_TEST_ROOT, when set, names a
// folder below the temporary folder (or an absolute one) to use instead, so
// that the tests can run under a path like a player's, with blanks and
// letters beyond ASCII.
class TempFolder {
public:
    explicit TempFolder(const std::wstring& name = L"");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The bytes of a string literal, embedded NULs included.
template <std::size_t N>
std::string Bytes(const char (&literal)[N])
{
    return std::string(literal, N - 1);
}

// Writes the bytes exactly as given, replacing what the file held.
void WriteFileBytes(const std::filesystem::path& file, const std::string& bytes);
std::string ReadFileBytes(const std::filesystem::path& file);
