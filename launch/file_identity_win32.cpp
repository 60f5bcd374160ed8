
#include <windows.h>

#include <array>
#include <cstring>
#include <optional>

#include "common/extended_length_path.h"
#include "common/unique_handle.h"
#include "launch/file_identity.h"

namespace {

using UniqueFile = Unique<HANDLE, &CloseHandle>;

struct FileIdentity {
    ULONGLONG Volume = 0;
    std::array<unsigned char, 16> Id{};

    bool operator==(const FileIdentity& other) const { return Volume == other.Volume && Id == other.Id; }
};

std::optional<FileIdentity> ReadFileIdentity(const std::filesystem::path& path)
{
    // Attributes only, shared every way: a running image, or a game that
    // another program holds open, still answers.
    const HANDLE opened =
        CreateFileW(ExtendedLengthPath(path.lexically_normal().wstring()).c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return std::nullopt;
    const UniqueFile file{opened};

    FileIdentity identity;
    FILE_ID_INFO info{};
    if (GetFileInformationByHandleEx(file.get(), FileIdInfo, &info, sizeof(info))) {
        identity.Volume = info.VolumeSerialNumber;
        std::memcpy(identity.Id.data(), info.FileId.Identifier, identity.Id.size());
        // A file system without 128-bit IDs may answer with an ID of zero for
        // every file, which would make every file the launcher.
        if (identity.Id != decltype(identity.Id){}) return identity;
    }
    // File systems without 128-bit IDs (FAT, some network shares) answer the
    // older query; on NTFS both give the same 64-bit number.
    BY_HANDLE_FILE_INFORMATION legacy{};
    if (!GetFileInformationByHandle(file.get(), &legacy)) return std::nullopt;
    identity.Volume = legacy.dwVolumeSerialNumber;
    const ULONGLONG index = (ULONGLONG{legacy.nFileIndexHigh} << 32) | legacy.nFileIndexLow;
    std::memcpy(identity.Id.data(), &index, sizeof(index));
    return identity;
}

}  // namespace

SameFileTest SameFileAs(const std::filesystem::path& file)
{
    const std::optional<FileIdentity> target = ReadFileIdentity(file);
    return [target](const std::filesystem::path& path) {
        if (!target) return false;
        const std::optional<FileIdentity> identity = ReadFileIdentity(path);
        return identity && *identity == *target;
    };
}
