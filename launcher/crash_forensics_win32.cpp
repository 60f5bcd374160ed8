#include "launcher/crash_forensics_win32.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

constexpr int kMaxUnwindSteps = 256;

// How many bytes from `address` on are committed and readable, up to the end
// of their region.
std::size_t ReadableBytes(ULONG_PTR address)
{
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region) == 0) return 0;
    constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                                PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    if (region.State != MEM_COMMIT || (region.Protect & PAGE_GUARD) || !(region.Protect & kReadable)) return 0;
    return reinterpret_cast<ULONG_PTR>(region.BaseAddress) + region.RegionSize - address;
}

bool Readable(ULONG_PTR address, std::size_t size) { return address != 0 && ReadableBytes(address) >= size; }

const IMAGE_NT_HEADERS* ImageHeaders(ULONG_PTR base)
{
    if (!Readable(base, sizeof(IMAGE_DOS_HEADER))) return nullptr;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew <= 0) return nullptr;
    const ULONG_PTR ntAddress = base + static_cast<ULONG_PTR>(dos->e_lfanew);
    if (!Readable(ntAddress, sizeof(IMAGE_NT_HEADERS))) return nullptr;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(ntAddress);
    return nt->Signature == IMAGE_NT_SIGNATURE && nt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR_MAGIC ? nt
                                                                                                          : nullptr;
}

const IMAGE_DATA_DIRECTORY* Directory(const IMAGE_NT_HEADERS& nt, int entry)
{
    if (nt.OptionalHeader.NumberOfRvaAndSizes <= static_cast<DWORD>(entry)) return nullptr;
    const IMAGE_DATA_DIRECTORY& directory = nt.OptionalHeader.DataDirectory[entry];
    return directory.VirtualAddress != 0 && directory.Size != 0 ? &directory : nullptr;
}

// The image's RSDS record (its CodeView debug entry): "RSDS", the GUID, the
// age, then the PDB's path. Null when it has none.
const unsigned char* CodeViewRecord(ULONG_PTR base, std::size_t& size)
{
    constexpr std::size_t kPathOffset = 24;
    const IMAGE_NT_HEADERS* nt = ImageHeaders(base);
    const IMAGE_DATA_DIRECTORY* directory = nt ? Directory(*nt, IMAGE_DIRECTORY_ENTRY_DEBUG) : nullptr;
    if (!directory || !Readable(base + directory->VirtualAddress, directory->Size)) return nullptr;
    const auto* entries = reinterpret_cast<const IMAGE_DEBUG_DIRECTORY*>(base + directory->VirtualAddress);
    for (std::size_t i = 0; i < directory->Size / sizeof(IMAGE_DEBUG_DIRECTORY); ++i) {
        const IMAGE_DEBUG_DIRECTORY& entry = entries[i];
        if (entry.Type != IMAGE_DEBUG_TYPE_CODEVIEW || entry.AddressOfRawData == 0 || entry.SizeOfData < kPathOffset)
            continue;
        const ULONG_PTR record = base + entry.AddressOfRawData;
        if (!Readable(record, entry.SizeOfData) || std::memcmp(reinterpret_cast<const void*>(record), "RSDS", 4) != 0)
            continue;
        size = entry.SizeOfData;
        return reinterpret_cast<const unsigned char*>(record);
    }
    return nullptr;
}

// Copies narrow text into `out`, at most until the end of readable memory.
bool CopyName(const char* name, std::size_t readable, wchar_t (&out)[kModuleNameChars])
{
    std::size_t i = 0;
    for (; i < readable && name[i] && i + 1 < kModuleNameChars; ++i) out[i] = static_cast<unsigned char>(name[i]);
    out[i] = L'\0';
    return i > 0;
}

// The name a module gives itself in its export directory ("dxgi.dll").
bool ReadExportName(ULONG_PTR base, wchar_t (&out)[kModuleNameChars])
{
    const IMAGE_NT_HEADERS* nt = ImageHeaders(base);
    const IMAGE_DATA_DIRECTORY* directory = nt ? Directory(*nt, IMAGE_DIRECTORY_ENTRY_EXPORT) : nullptr;
    if (!directory || !Readable(base + directory->VirtualAddress, sizeof(IMAGE_EXPORT_DIRECTORY))) return false;
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory->VirtualAddress);
    if (exports->Name == 0) return false;
    const ULONG_PTR name = base + exports->Name;
    return CopyName(reinterpret_cast<const char*>(name), ReadableBytes(name), out);
}

// ASCII only: the runtime's case-blind compare follows the locale.
bool EndsWithPdb(const char* text, std::size_t length)
{
    if (length <= 4) return false;
    const char* end = text + length - 4;
    return end[0] == '.' && (end[1] | 0x20) == 'p' && (end[2] | 0x20) == 'd' && (end[3] | 0x20) == 'b';
}

// The file name of the module's PDB without ".pdb" ("dxgi"), as its symbols
// are found by.
bool ReadPdbName(ULONG_PTR base, wchar_t (&out)[kModuleNameChars])
{
    std::size_t size = 0;
    const unsigned char* record = CodeViewRecord(base, size);
    if (!record) return false;
    const char* path = reinterpret_cast<const char*>(record + 24);
    const std::size_t length = strnlen(path, size - 24);
    std::size_t start = length;
    while (start > 0 && path[start - 1] != '\\' && path[start - 1] != '/') --start;
    const std::size_t end = EndsWithPdb(path + start, length - start) ? length - 4 : length;
    return CopyName(path + start, end - start, out);
}

// The time stamp and image size in the form a symbol server files the image
// under ("5F3A2B1C6000"), for a module that names itself nowhere.
bool ReadSymbolKey(ULONG_PTR base, wchar_t (&out)[kModuleNameChars])
{
    const IMAGE_NT_HEADERS* nt = ImageHeaders(base);
    if (!nt) return false;
    std::size_t size = 0;
    auto hex = [&](std::uint32_t value, int width) {
        int digits = 8;
        while (digits > width && ((value >> (4 * (digits - 1))) & 0xF) == 0) --digits;
        for (int d = digits - 1; d >= 0; --d) out[size++] = L"0123456789ABCDEF"[(value >> (4 * d)) & 0xF];
    };
    hex(nt->FileHeader.TimeDateStamp, 8);
    hex(nt->OptionalHeader.SizeOfImage, 1);
    out[size] = L'\0';
    return true;
}

// The image that holds `address`: from its unwind data when it has some,
// else from the mapping.
ULONG_PTR ImageBaseOf(ULONG_PTR address)
{
    DWORD64 base = 0;
    if (RtlLookupFunctionEntry(address, &base, nullptr) && base != 0) return static_cast<ULONG_PTR>(base);
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region) == 0 || region.Type != MEM_IMAGE)
        return 0;
    return reinterpret_cast<ULONG_PTR>(region.AllocationBase);
}

}  // namespace

bool IsCode(const void* address)
{
    MEMORY_BASIC_INFORMATION region{};
    if (!address || VirtualQuery(address, &region, sizeof region) == 0 || region.State != MEM_COMMIT) return false;
    return (region.Protect & (PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY)) != 0;
}

CodeAddress Locate(ULONG_PTR address, const OwnImage& own, wchar_t (&nameBuffer)[kModuleNameChars])
{
    const ULONG_PTR base = ImageBaseOf(address);
    if (base == 0) return {nullptr, address};
    if (base == own.Base) return {own.Name, address - base};
    if (ReadExportName(base, nameBuffer) || ReadPdbName(base, nameBuffer) || ReadSymbolKey(base, nameBuffer))
        return {nameBuffer, address - base};
    return {nullptr, address};
}

void CollectOwnFrames(const CONTEXT& fault, const OwnImage& own, CrashFacts& facts)
{
#if defined(_M_X64) || defined(__x86_64__)
    CONTEXT context = fault;
    ULONG_PTR stackLow = 0;
    ULONG_PTR stackHigh = 0;
    GetCurrentThreadStackLimits(&stackLow, &stackHigh);
    for (int step = 0; step < kMaxUnwindSteps; ++step) {
        const DWORD64 rsp = context.Rsp;
        if (rsp < stackLow || rsp + sizeof(DWORD64) > stackHigh) break;
        DWORD64 imageBase = 0;
        const PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &imageBase, nullptr);
        if (step > 0 && function && imageBase == own.Base && facts.OwnFrameCount < kMaxOwnFrames) {
            facts.OwnFrames[facts.OwnFrameCount++] = {own.Name, context.Rip - imageBase};
        }
        if (function) {
            void* handlerData = nullptr;
            DWORD64 establisherFrame = 0;
            RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, context.Rip, function, &context, &handlerData,
                             &establisherFrame, nullptr);
        } else if (step == 0) {
            // The faulting function may be a leaf, which keeps its return
            // address on top of the stack.
            context.Rip = *reinterpret_cast<const DWORD64*>(rsp);
            context.Rsp = rsp + sizeof(DWORD64);
        } else {
            // Above a frame without unwind data the stack cannot be read
            // reliably: old return addresses in dead slots look like frames.
            break;
        }
        if (context.Rip == 0 || context.Rsp <= rsp) break;
    }
#else
    (void)fault;
    (void)own;
    (void)facts;
#endif
}

void ReadBuildId(ULONG_PTR base, wchar_t (&out)[kBuildIdChars])
{
    std::size_t size = 0;
    const unsigned char* record = CodeViewRecord(base, size);
    if (!record) return;
    GUID id;
    std::memcpy(&id, record + 4, sizeof id);
    std::swprintf(out, kBuildIdChars, L"%08lx%04x%04x%02x%02x%02x%02x%02x%02x%02x%02x",
                  static_cast<unsigned long>(id.Data1), id.Data2, id.Data3, id.Data4[0], id.Data4[1], id.Data4[2],
                  id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
}

std::size_t StackLeft()
{
    ULONG_PTR low = 0;
    ULONG_PTR high = 0;
    GetCurrentThreadStackLimits(&low, &high);
    const auto here = reinterpret_cast<ULONG_PTR>(&low);
    return here > low ? here - low : 0;
}
