#include "launch/file_identity.h"

bool IsUsableIdentity(const FileIdentity& identity)
{
    constexpr std::uint64_t kAllOnes = ~std::uint64_t{0};
    if (identity.VolumeSerial == 0) return false;
    if (identity.FileIdHigh == 0) return identity.FileIdLow != 0 && identity.FileIdLow != kAllOnes;
    return identity.FileIdHigh != kAllOnes || identity.FileIdLow != kAllOnes;
}

bool IsSameFile(const FileIdentity& a, const FileIdentity& b, bool samePath, const std::function<bool()>& sameFinalPath)
{
    if (samePath) return true;
    if (!IsUsableIdentity(a) || !IsUsableIdentity(b)) return sameFinalPath();
    return a.VolumeSerial == b.VolumeSerial && a.FileIdLow == b.FileIdLow && a.FileIdHigh == b.FileIdHigh &&
           a.Size == b.Size && a.LastWriteTime == b.LastWriteTime;
}
