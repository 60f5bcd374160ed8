#include <windows.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "common/extended_length_path.h"
#include "common/unique_handle.h"
#include "launch/file_identity.h"

namespace {

namespace fs = std::filesystem;
using UniqueFile = Unique<HANDLE, &CloseHandle>;

std::wstring SystemPath(const fs::path& path) { return ExtendedLengthPath(path.lexically_normal().wstring()); }

std::uint64_t Join(DWORD high, DWORD low) { return (std::uint64_t{high} << 32) | low; }

// What the one attribute query tells about a place.
struct Entry {
    bool IsFolder = false;
    // The attributes are the link's own, not its target's: its size says
    // nothing, and whether its target exists is yet to be seen.
    bool IsLink = false;
    std::uint64_t Size = 0;
};

// Nothing when the query fails, for whatever reason: not found, or access
// denied on a folder of the path, say.
std::optional<Entry> LookAt(const fs::path& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(SystemPath(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    Entry entry;
    entry.IsFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.IsLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entry.Size = Join(data.nFileSizeHigh, data.nFileSizeLow);
    return entry;
}

// The path the system resolves an open file to, through junctions, links and
// 8.3 short names; empty when the file system will not say.
std::wstring FinalPath(HANDLE file)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(length);
    }
}

// Attributes only, shared every way: a running image, or a game that another
// program holds open, still answers. Links are followed; folders open too.
UniqueFile OpenForAttributes(const fs::path& path)
{
    const HANDLE opened = CreateFileW(SystemPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    return UniqueFile{opened == INVALID_HANDLE_VALUE ? nullptr : opened};
}

// A file's identity and, read only where that identity cannot tell files
// apart, its final path.
struct Identified {
    FileIdentity Identity;
    std::optional<std::wstring> FinalPath;
};

FileIdentity ReadFileIdentity(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) return FileIdentity{};
    FileIdentity identity;
    identity.VolumeSerial = info.dwVolumeSerialNumber;
    identity.FileIdLow = Join(info.nFileIndexHigh, info.nFileIndexLow);
    identity.Size = Join(info.nFileSizeHigh, info.nFileSizeLow);
    identity.LastWriteTime = Join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime);

    // The 64-bit index is not unique on ReFS; the 128-bit ID is, where the
    // file system has one (it answers 0 where it has not).
    FILE_ID_INFO ids{};
    if (GetFileInformationByHandleEx(file, FileIdInfo, &ids, sizeof(ids))) {
        FileIdentity wide = identity;
        wide.VolumeSerial = ids.VolumeSerialNumber;
        std::memcpy(&wide.FileIdLow, ids.FileId.Identifier, sizeof(wide.FileIdLow));
        std::memcpy(&wide.FileIdHigh, ids.FileId.Identifier + sizeof(wide.FileIdLow), sizeof(wide.FileIdHigh));
        if (IsUsableIdentity(wide)) return wide;
    }
    return identity;
}

// Nothing when the path cannot be opened; a default-made identity, which is
// no identity, when the file system will not say.
std::optional<Identified> Identify(const fs::path& path)
{
    const UniqueFile file = OpenForAttributes(path);
    if (!file) return std::nullopt;
    Identified identified{ReadFileIdentity(file.get()), std::nullopt};
    if (!IsUsableIdentity(identified.Identity)) identified.FinalPath = FinalPath(file.get());
    return identified;
}

// The final path of a file identified before, read now if it was not then:
// only where the other file's identity is the unusable one.
const std::wstring& FinalPathOf(Identified& identified, const fs::path& path)
{
    if (!identified.FinalPath) {
        const UniqueFile file = OpenForAttributes(path);
        identified.FinalPath = file ? FinalPath(file.get()) : std::wstring();
    }
    return *identified.FinalPath;
}

// Absolute, with "." and ".." gone, "/" made "\" and trailing dots and blanks
// dropped, as the file system itself will read the path.
std::wstring FullPath(const fs::path& path)
{
    const std::wstring normal = path.lexically_normal().wstring();
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFullPathNameW(normal.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) return normal;
        if (length < full.size()) {
            full.resize(length);
            return full;
        }
        full.resize(length);
    }
}

// Case-insensitive by the system's own upper-case table, which is how NTFS and
// FAT match names, not by any locale's rules.
bool IsSamePath(const fs::path& a, const fs::path& b)
{
    const std::wstring x = FullPath(a);
    const std::wstring y = FullPath(b);
    return CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(), static_cast<int>(y.size()), TRUE) ==
           CSTR_EQUAL;
}

// The launcher's own file, each fact read once and only when a place needs it.
struct LauncherFile {
    fs::path Exe;
    std::optional<std::optional<Entry>> Look;
    std::optional<Identified> Own;
};

const std::optional<Entry>& OwnEntry(LauncherFile& launcher)
{
    if (!launcher.Look) launcher.Look = LookAt(launcher.Exe);
    return *launcher.Look;
}

Identified& OwnIdentity(LauncherFile& launcher)
{
    if (!launcher.Own) launcher.Own = Identify(launcher.Exe).value_or(Identified{FileIdentity{}, std::wstring()});
    return *launcher.Own;
}

bool IsSameFinalPath(const std::wstring& a, const std::wstring& b)
{
    return !a.empty() && CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

GameExeTest GameExeTestFor(const fs::path& launcherExe)
{
    const auto launcher = std::make_shared<LauncherFile>(LauncherFile{launcherExe, {}, {}});
    return [launcher](const fs::path& path) {
        const std::optional<Entry> entry = LookAt(path);
        if (!entry) return false;
        if (!entry->IsLink) {
            // The launcher is a file; a folder bearing the game's name counts as
            // found (its start then fails).
            if (entry->IsFolder) return true;
            const std::optional<Entry>& own = OwnEntry(*launcher);
            if (own && !own->IsLink && own->Size != entry->Size) return true;
        }
        std::optional<Identified> found = Identify(path);
        // A link whose target is gone holds nothing.
        if (entry->IsLink && !found) return false;
        if (!found) found = Identified{FileIdentity{}, std::wstring()};
        Identified& own = OwnIdentity(*launcher);
        return !IsSameFile(own.Identity, found->Identity, IsSamePath(launcher->Exe, path),
                           [&] { return IsSameFinalPath(FinalPathOf(own, launcher->Exe), FinalPathOf(*found, path)); });
    };
}
