#include "tests/e2e/launcher_test.h"

void LauncherTest::UseKnownMachine(bool headless)
{
    if (!RunningUnderWine()) return;
    SetRegistry(HKEY_CURRENT_USER, kWineDirect3DKey, L"renderer",
                headless ? std::optional<RegistryValue>(StringValue(L"no3d")) : std::nullopt);
    SetAdapterMemoryMiB(8192);
    SetRegistry(HKEY_LOCAL_MACHINE, kProcessorKey, L"ProcessorNameString", StringValue(kCpuName));
}

void LauncherTest::TearDown()
{
    // Last set, first restored, so that a value set twice comes back as it was.
    while (!registry_.empty()) registry_.pop_back();
}

void LauncherTest::SetRegistry(HKEY root, const std::wstring& key, const std::wstring& name,
                               std::optional<RegistryValue> value)
{
    if (!RunningUnderWine()) {
        ADD_FAILURE() << "a test set a registry value outside Wine";
        return;
    }
    registry_.push_back(std::make_unique<ScopedRegistryValue>(root, key, name, std::move(value)));
}

void LauncherTest::SetAdapterMemoryMiB(int mebibytes)
{
    SetRegistry(HKEY_CURRENT_USER, kWineDirect3DKey, L"VideoMemorySize", StringValue(std::to_wstring(mebibytes)));
}

void LauncherTest::SetLocalAppData(const std::filesystem::path& folder)
{
    SetRegistry(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                L"Local AppData", StringValue(folder.wstring(), REG_EXPAND_SZ));
}

std::wstring LauncherTest::CpuLine() { return L"CPU: " + std::wstring(kCpuName) + L", Threads=" + Threads(); }

std::vector<std::wstring> LauncherTest::OpeningLinesAnd(const LauncherSandbox& sandbox,
                                                        std::initializer_list<std::wstring> rest)
{
    std::vector<std::wstring> lines{
        L"=== Orvel launcher başladı ===",
        L"Config yükleniyor: " + (sandbox.LauncherFolder() / L"Orvel.config.ini").wstring(),
        L"Config yüklendi.",
    };
    lines.insert(lines.end(), rest);
    return lines;
}

std::wstring LauncherTest::AdapterLine(const wchar_t* vram)
{
    return L"Seçilen GPU: WineD3D DirectDraw Emulation, VRAM=" + std::wstring(vram) + L" GB";
}

unsigned ExpectedThreads() { return GetActiveProcessorCount(ALL_PROCESSOR_GROUPS); }

std::wstring Threads() { return std::to_wstring(ExpectedThreads()); }

std::vector<std::wstring> Lines(std::initializer_list<std::wstring> lines) { return lines; }
