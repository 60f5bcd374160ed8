#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

#include "launch/game_location.h"

// What the file system tells about a file that sets it apart from others: the
// volume and the file ID, and the size and last-write time as a check on them.
// A 64-bit file index is held in the low half with a high half of zero.
struct FileIdentity {
    std::uint64_t VolumeSerial = 0;
    std::uint64_t FileIdLow = 0;
    std::uint64_t FileIdHigh = 0;
    std::uint64_t Size = 0;
    std::uint64_t LastWriteTime = 0;
};

// False for the values that file systems without file IDs give every file
// alike (an ID of 0 or all ones, a volume serial of 0), and for an identity
// that could not be read, which is left as it is default-made.
bool IsUsableIdentity(const FileIdentity& identity);

// Whether two paths name one file. `samePath` says that their full paths are
// equal by Windows' rule for file names; that alone settles it, as IDs that
// change between reads (some network and shared folders) must not let a
// renamed launcher find itself. Otherwise two usable identities decide, and
// count only when they agree in every field: an ID shared by chance, or
// answered for every file, then still has to match in size and time. Where
// either identity is missing or unusable, `sameFinalPath` is asked whether
// the system resolves both files to one final path: full paths alone see
// through neither a junction nor an 8.3 short name.
bool IsSameFile(const FileIdentity& a, const FileIdentity& b, bool samePath,
                const std::function<bool()>& sameFinalPath);

// The platform side: a test that a place holds the game, that is, something
// is there (a folder counts) and it is not the launcher's own file under any
// name. One attribute query per place, as an existence test alone would make;
// only a place holding a file the size of the launcher's, or a link, has its
// identity read, and the launcher's own identity is read only then.
GameExeTest GameExeTestFor(const std::filesystem::path& launcherExe);
