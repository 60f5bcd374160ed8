#pragma once

// What a crash report reads of the damaged process: where code lies, which
// module holds it and what it calls itself, and the launcher's own frames on
// the faulting thread. Everything here only reads memory it has first found
// committed and readable, asks nothing of the loader, whose lock another
// thread may hold, and touches no heap.
#include <windows.h>

#include <cstddef>

#include "launcher/crash_report.h"

constexpr std::size_t kModuleNameChars = 64;
constexpr std::size_t kBuildIdChars = 40;

// The launcher's own image, as its crash lines name it.
struct OwnImage {
    ULONG_PTR Base = 0;
    const wchar_t* Name = nullptr;
};

// Whether `address` lies in committed, executable memory: code that is
// still mapped.
bool IsCode(const void* address);

// The module and offset of `address`. A module other than the launcher is
// named by its export directory ("dxgi.dll"), else by its PDB's file name
// ("dxgi"), else by the key a symbol server files it under ("5F3A2B1C6000");
// `nameBuffer` holds that name.
CodeAddress Locate(ULONG_PTR address, const OwnImage& own, wchar_t (&nameBuffer)[kModuleNameChars]);

// The launcher's own return addresses on the faulting thread's stack, walked
// from the exception's context with the images' unwind data, as the system's
// own unwinder does: the filter's frames are not the crash's.
void CollectOwnFrames(const CONTEXT& fault, const OwnImage& own, CrashFacts& facts);

// The image's build ID (its CodeView GUID, as objdump -p prints it), or
// nothing when it has none.
void ReadBuildId(ULONG_PTR base, wchar_t (&out)[kBuildIdChars]);

// The bytes left below the caller's frame on the calling thread's stack.
std::size_t StackLeft();
