#pragma once

#include <cstddef>
#include <cstdint>

// The values of the crash lines (log/log_messages.h), formatted into fixed
// buffers: they are written from an exception filter, where the heap may be
// damaged.

// The frames' value when none of the launcher's own code was on the way.
constexpr wchar_t kNoOwnFrames[] = L"yok";

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
};

constexpr std::size_t kCrashValueChars = 512;

struct CrashValues {
    wchar_t Code[kCrashValueChars];    // "0xC0000005"
    wchar_t Fault[kCrashValueChars];   // the faulting address, "dxgi.dll+0x1A2B"
    wchar_t Frames[kCrashValueChars];  // the launcher's own frames, blank-separated, or kNoOwnFrames
};

// Each value is cut short, never overrun, when its buffer is full.
void FormatCrashValues(const CrashFacts& facts, CrashValues& values) noexcept;
