#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/launcher_sandbox.h"
#include "tests/e2e/wine_registry.h"

// Under Wine, every test starts from the same machine: the headless no3d
// adapter with 8 GiB of memory and a known processor name. On Windows the
// machine is what it is, and tests that need a known one skip.
class LauncherTest : public testing::Test {
protected:
    void SetUp() override { UseKnownMachine(true); }
    void TearDown() override;

    // The no3d renderer needs no display; without it Wine's default renderer
    // needs one (and reports adapter names from its card table).
    void UseKnownMachine(bool headless);

    // Sets a registry value for the rest of the test; under Wine only, so that
    // no test ever writes to a real Windows registry.
    void SetRegistry(HKEY root, const std::wstring& key, const std::wstring& name, std::optional<RegistryValue> value);
    void SetAdapterMemoryMiB(int mebibytes);
    // Redirects the user's local application-data folder, as Windows' own
    // folder redirection does.
    void SetLocalAppData(const std::filesystem::path& folder);

    static constexpr wchar_t kCpuName[] = L"Orvel Test CPU @ 3.00GHz";
    static std::wstring CpuLine();
    // The run's first lines with a configuration beside the launcher, then `rest`.
    static std::vector<std::wstring> OpeningLinesAnd(
        const LauncherSandbox& sandbox,
        std::initializer_list<std::wstring> rest);         // "CPU: <kCpuName>, Threads=<this machine's count>"
    static std::wstring AdapterLine(const wchar_t* vram);  // the no3d adapter with the given VRAM text

private:
    std::vector<std::unique_ptr<ScopedRegistryValue>> registry_;
};

// Skips a test that sets up its machine through Wine's own registry switches
// (the adapter, its memory, the processor name): on Windows that machine is
// the real one, and its HKLM is not the tests' to write.
#define REQUIRE_WINE(why)                                                                \
    do {                                                                                 \
        if (!RunningUnderWine()) GTEST_SKIP() << "needs Wine's registry switches: " why; \
    } while (0)

// The launcher's thread count: every active processor of every group, which is
// more than the test's own std::thread::hardware_concurrency() under a narrowed
// affinity (MinGW) or beyond 64 processors (Visual Studio 2022).
unsigned ExpectedThreads();
std::wstring Threads();

// A list of expected log lines, written inline.
std::vector<std::wstring> Lines(std::initializer_list<std::wstring> lines);
