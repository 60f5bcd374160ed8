#pragma once

#include <cstddef>
#include <cstdint>

// The crash lines, formatted into fixed buffers: they are written from an
// exception filter, where the heap may be damaged.

// Fixed texts of the lines that a run leaves when it cannot end normally.
constexpr wchar_t kLogCrash[] = L"HATA: Orvel launcher çöktü. İstisna kodu: ";
constexpr wchar_t kLogCrashAddress[] = L", adres: ";
constexpr wchar_t kLogCrashFrames[] = L"HATA: Launcher çağrı zinciri: ";
constexpr wchar_t kLogCrashNoFrames[] = L"yok";
constexpr wchar_t kLogCrashVersion[] = L"HATA: Launcher sürümü: ";
constexpr wchar_t kLogCrashBuildId[] = L", derleme kimliği (build ID): ";

// An address in code, as a studio looks it up: the module's file name and the
// distance from the module's load address.
struct CodeAddress {
    const wchar_t* Module = nullptr;  // null: in no loaded module, and Offset is the address itself
    std::uint64_t Offset = 0;
};

constexpr std::size_t kMaxOwnFrames = 16;

struct CrashFacts {
    std::uint32_t ExceptionCode = 0;
    CodeAddress Fault;
    CodeAddress OwnFrames[kMaxOwnFrames];  // return addresses in the launcher, innermost first
    std::size_t OwnFrameCount = 0;
    const wchar_t* Version = L"";
    const wchar_t* BuildId = L"";
};

constexpr std::size_t kCrashLineChars = 640;

struct CrashLines {
    wchar_t Fault[kCrashLineChars];   // code and faulting address
    wchar_t Frames[kCrashLineChars];  // the launcher's own frames
    wchar_t Build[kCrashLineChars];   // version and build ID
};

// Each line is cut short, never overrun, when its buffer is full.
void FormatCrashLines(const CrashFacts& facts, CrashLines& lines) noexcept;
