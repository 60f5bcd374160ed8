#include <gtest/gtest.h>

#include "hardware/cpu_identification.h"
#include "hardware/gpu_model.h"
#include "hardware/gpu_selection.h"
#include "tests/support/captured_log.h"

namespace {

constexpr std::uint64_t kGiB = 1ull << 30;

RegistryValueRead Utf16Read(const std::wstring& text, std::uint32_t type = 1, bool withNul = true)
{
    RegistryValueRead read;
    read.Type = type;
    for (const wchar_t c : text) {
        read.Data.push_back(static_cast<unsigned char>(c & 0xFF));
        read.Data.push_back(static_cast<unsigned char>((c >> 8) & 0xFF));
    }
    if (withNul) read.Data.insert(read.Data.end(), {0, 0});
    return read;
}

}  // namespace

TEST(ChooseAdapter, MostDedicatedMemoryWinsAndSoftwareNeverDoes)
{
    struct Row {
        const char* name;
        std::vector<AdapterDescription> adapters;
        std::wstring wantName;
        double wantGb;
    };
    const Row rows[] = {
        {"discrete first", {{L"Discrete", 8 * kGiB, false}, {L"Integrated", 512ull << 20, false}}, L"Discrete", 8.0},
        {"discrete last", {{L"Integrated", 512ull << 20, false}, {L"Discrete", 8 * kGiB, false}}, L"Discrete", 8.0},
        {"tie goes to the later", {{L"First", 4 * kGiB, false}, {L"Second", 4 * kGiB, false}}, L"Second", 4.0},
        {"zero bytes still chosen", {{L"Tiny", 0, false}}, L"Tiny", 0.0},
        {"software flag", {{L"Fast Software", 64 * kGiB, true}, {L"Real", kGiB, false}}, L"Real", 1.0},
        {"microsoft basic in any case",
         {{L"MICROSOFT Basic Render Driver", 16 * kGiB, false}, {L"Real", kGiB, false}},
         L"Real",
         1.0},
        {"only unusable adapters",
         {{L"Microsoft Basic Display Adapter", 0, false}, {L"Soft", kGiB, true}},
         L"Unknown GPU",
         0.0},
        {"no adapters", {}, L"Unknown GPU", 0.0},
        {"unrounded memory", {{L"Odd", 4293918720ull, false}}, L"Odd", 3.9990234375},
        {"non-ASCII name kept", {{L"Ünïcødé GPU \u2192", kGiB, false}}, L"Ünïcødé GPU \u2192", 1.0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const GpuInfo gpu = ChooseAdapter(r.adapters);
        EXPECT_EQ(gpu.Name, r.wantName);
        EXPECT_EQ(gpu.VramGb, r.wantGb);
    }
}

TEST(ChooseAdapter, SelectionLinePrintsMemoryWithSixDecimals)
{
    EXPECT_EQ(CapturedLog([](Logger& logger) {
                  LogGpuSelection(logger, {L"NVIDIA GeForce RTX 3060", 8.0});
                  LogGpuSelection(logger, {L"Odd", 3.9990234375});
                  LogGpuSelection(logger, GpuInfo{});
              }),
              (std::vector<std::wstring>{L"Seçilen GPU: NVIDIA GeForce RTX 3060, VRAM=8.000000 GB",
                                         L"Seçilen GPU: Odd, VRAM=3.999023 GB",
                                         L"Seçilen GPU: Unknown GPU, VRAM=0.000000 GB"}));
}

TEST(GpuModel, FamiliesAndModelNumbersFromAdapterNames)
{
    struct Row {
        const wchar_t* name;
        bool nvidia;
        std::int32_t nvidiaModel;
        bool amd;
        std::int32_t amdModel;
    };
    const Row rows[] = {
        {L"NVIDIA GeForce RTX 3070", true, 3070, false, 0},
        {L"NVIDIA GeForce RTX 4090 Laptop GPU", true, 4090, false, 0},
        {L"NVIDIA GeForce RTX2060", true, 2060, false, 0},
        {L"nvidia geforce rtx\t 2080 ti", true, 2080, false, 0},
        {L"NVIDIA GeForce GTX 1080", false, 0, false, 0},
        {L"NVIDIA RTX A4000", true, 0, false, 0},
        {L"NVIDIA GeForce RTX 2080 Ti", true, 2080, false, 0},
        {L"NVIDIA RTX 12345", true, 1234, false, 0},
        {L"NVIDIA RTX 12 then RTX 3080", true, 3080, false, 0},
        {L"AMD Radeon RX 6800 XT", false, 0, true, 6800},
        {L"AMD Radeon RX\t 7900 XTX", false, 0, true, 7900},
        {L"AMD RADEON RX 580 SERIES", false, 0, true, 580},
        {L"AMD Radeon RX Vega 56", false, 0, true, 0},
        {L"Radeon RX 6800/6800 XT / 6900 XT", false, 0, true, 6800},
        {L"AMD Radeon(TM) Graphics", false, 0, false, 0},
        {L"AMD Radeon Pro WX 7100", false, 0, false, 0},
        {L"Unknown GPU", false, 0, false, 0},
        {L"", false, 0, false, 0},
        // "rx" need not be a word of its own.
        {L"Radeon Marx Edition", false, 0, true, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(r.name)));
        std::int32_t model = -1;
        EXPECT_EQ(DetectNvidiaRtx(r.name, model), r.nvidia);
        EXPECT_EQ(model, r.nvidiaModel);
        model = -1;
        EXPECT_EQ(DetectAmdRx(r.name, model), r.amd);
        EXPECT_EQ(model, r.amdModel);
    }
}

TEST(CpuIdentification, RegistryReadsBecomeNamesOrFailures)
{
    struct Row {
        const char* name;
        RegistryValueRead read;
        std::optional<std::wstring> want;
    };
    RegistryValueRead missing;
    missing.Status = 2;  // ERROR_FILE_NOT_FOUND
    RegistryValueRead tooLong = Utf16Read(std::wstring(256, L'x'));
    tooLong.Status = 234;  // ERROR_MORE_DATA, with the type still REG_SZ
    RegistryValueRead oddBytes = Utf16Read(L"Name", 1, false);
    oddBytes.Data.push_back('x');
    const Row rows[] = {
        {"plain", Utf16Read(L"AMD Ryzen 7 5800X 8-Core Processor"), L"AMD Ryzen 7 5800X 8-Core Processor"},
        {"padded with blanks", Utf16Read(L"  \tIntel(R) Core(TM) i7 \r\n"), L"Intel(R) Core(TM) i7"},
        {"blank", Utf16Read(L"   "), L""},
        {"no terminating NUL", Utf16Read(L"Name", 1, false), L"Name"},
        {"an odd byte count drops the last byte", oddBytes, L"Name"},
        {"non-ASCII", Utf16Read(L"Intel\u00AE Core\u2122 i9"), L"Intel\u00AE Core\u2122 i9"},
        {"stops at the first NUL", Utf16Read(std::wstring(L"Name\0junk", 9)), L"Name"},
        {"255 units fill the buffer", Utf16Read(std::wstring(255, L'x')), std::wstring(255, L'x')},
        {"REG_EXPAND_SZ", Utf16Read(L"Name", 2), std::nullopt},
        {"REG_BINARY", Utf16Read(L"Name", 3), std::nullopt},
        {"missing value", missing, std::nullopt},
        {"longer than the buffer", tooLong, std::nullopt},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(ProcessorNameFrom(r.read), r.want);
    }
}

TEST(CpuIdentification, ThreadCountFallsBackToTheSystemThenOne)
{
    EXPECT_EQ(ThreadCountFrom(16, 4), 16u);
    EXPECT_EQ(ThreadCountFrom(0, 4), 4u);
    EXPECT_EQ(ThreadCountFrom(0, 0), 1u);
    EXPECT_EQ(CapturedLog([](Logger& logger) {
                  LogCpu(logger, {L"", 1});
                  LogCpu(logger, {L"Unknown CPU", 8});
              }),
              (std::vector<std::wstring>{L"CPU: , Threads=1", L"CPU: Unknown CPU, Threads=8"}));
}
