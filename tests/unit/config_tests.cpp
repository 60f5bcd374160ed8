#include <gtest/gtest.h>

#include <sstream>

#include "config/config_file.h"
#include "config/text_routines.h"
#include "log/logger.h"
#include "sample_config.h"
#include "tests/support/captured_log.h"
#include "tests/support/temp_folder.h"

namespace {

LauncherSettings SettingsFrom(const std::string& text)
{
    LauncherSettings settings;
    std::istringstream stream(text);
    ApplyConfigStream(stream, settings);
    return settings;
}

bool SameSettings(const LauncherSettings& a, const LauncherSettings& b)
{
    return a.GameExeName == b.GameExeName && a.GameArgs == b.GameArgs &&
           a.CpuThreadMinForDx12 == b.CpuThreadMinForDx12 && a.NvidiaMinRtxModel == b.NvidiaMinRtxModel &&
           a.AmdMinRxModel == b.AmdMinRxModel && a.MinVramGbForDx12 == b.MinVramGbForDx12 &&
           a.PreferDx12 == b.PreferDx12;
}

// The configuration file's messages and the resulting settings of one load.
struct LoadOutcome {
    std::vector<std::wstring> Log;
    LauncherSettings Settings;
};

LoadOutcome LoadFrom(const std::filesystem::path& path)
{
    LoadOutcome outcome;
    outcome.Log = CapturedLog([&](Logger& logger) { LoadConfig(path, outcome.Settings, logger); });
    return outcome;
}

}  // namespace

TEST(LauncherSettings, DefaultsAreTheSampleConfigurations)
{
    // The sample shows every key at its default, commented out: with the
    // comment marks taken away, it sets every field, and to its default.
    std::string uncommented;
    std::istringstream sample(kSampleConfig);
    std::size_t keys = 0;
    for (std::string line; std::getline(sample, line);) {
        if (line.rfind("# ", 0) != 0) continue;
        uncommented += line.substr(2) + "\n";
        ++keys;
    }
    EXPECT_EQ(keys, 7u);
    LauncherSettings changed{L"other.exe", L"-x", 1, 1, 1, 1, false};
    std::istringstream stream(uncommented);
    ApplyConfigStream(stream, changed);
    EXPECT_TRUE(SameSettings(changed, LauncherSettings{})) << uncommented;
}

TEST(ConfigLine, EachExampleLineHasItsEffect)
{
    struct Row {
        const char* line;
        std::function<void(LauncherSettings&)> effect;  // applied to the defaults
    };
    const Row rows[] = {
        {"  GameArgs  =  -windowed -nosplash  ", [](auto& s) { s.GameArgs = L"-windowed -nosplash"; }},
        {"GameArgs=-mode=fast", [](auto& s) { s.GameArgs = L"-mode=fast"; }},
        {"GameExeName=", [](auto& s) { s.GameExeName = L""; }},
        {"GameExeName=\"My Game.exe\"", [](auto& s) { s.GameExeName = L"\"My Game.exe\""; }},
        {"gameexename=other.exe", [](auto&) {}},
        {"Game Exe Name=other.exe", [](auto&) {}},
        {"=other.exe", [](auto&) {}},
        {"[Launcher]", [](auto&) {}},
        {"GameExeName", [](auto&) {}},
        {"   # PreferDx12=false", [](auto&) {}},
        {"\t; PreferDx12=false", [](auto&) {}},
        {"PreferDx12 = TRUE", [](auto& s) { s.PreferDx12 = true; }},
        {"PreferDx12=No", [](auto& s) { s.PreferDx12 = false; }},
        {"PreferDx12=0", [](auto& s) { s.PreferDx12 = false; }},
        {"PreferDx12=off", [](auto&) {}},
        {"PreferDx12=true ; dx12", [](auto&) {}},
        {"CpuThreadMinForDx12=12abc", [](auto& s) { s.CpuThreadMinForDx12 = 12; }},
        {"CpuThreadMinForDx12=0x10", [](auto& s) { s.CpuThreadMinForDx12 = 0; }},
        {"CpuThreadMinForDx12=-4", [](auto& s) { s.CpuThreadMinForDx12 = -4; }},
        {"CpuThreadMinForDx12=+6", [](auto& s) { s.CpuThreadMinForDx12 = 6; }},
        {"CpuThreadMinForDx12=abc", [](auto&) {}},
        {"CpuThreadMinForDx12=", [](auto&) {}},
        {"CpuThreadMinForDx12=-", [](auto&) {}},
        {"NvidiaMinRtxModel=4080", [](auto& s) { s.NvidiaMinRtxModel = 4080; }},
        {"AmdMinRxModel=7700", [](auto& s) { s.AmdMinRxModel = 7700; }},
        {"MinVramGbForDx12=2147483647", [](auto& s) { s.MinVramGbForDx12 = 2147483647; }},
        {"MinVramGbForDx12=2147483648", [](auto&) {}},
        {"MinVramGbForDx12=-2147483648", [](auto& s) { s.MinVramGbForDx12 = -2147483647 - 1; }},
        {"MinVramGbForDx12=-2147483649", [](auto&) {}},
        {"MinVramGbForDx12=99999999999999999999999", [](auto&) {}},
        {"MinVramGbForDx12=\v7", [](auto& s) { s.MinVramGbForDx12 = 7; }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.line);
        LauncherSettings want;
        r.effect(want);
        EXPECT_TRUE(SameSettings(SettingsFrom(r.line), want));
    }
}

TEST(ConfigText, LinesApplyInOrderAndTheLastUsableOneWins)
{
    struct Row {
        const char* name;
        std::string text;
        std::int32_t threads;
        std::wstring exe;
    };
    const Row rows[] = {
        {"LF", "CpuThreadMinForDx12=6\nGameExeName=a.exe\n", 6, L"a.exe"},
        {"CR LF", "CpuThreadMinForDx12=6\r\nGameExeName=a.exe\r\n", 6, L"a.exe"},
        {"no final LF", "CpuThreadMinForDx12=6\nGameExeName=a.exe", 6, L"a.exe"},
        {"CR alone does not end a line", "GameExeName=a.exe\rCpuThreadMinForDx12=6\n", 8,
         L"a.exe\rCpuThreadMinForDx12=6"},
        {"unparsable after parsable", "CpuThreadMinForDx12=6\nCpuThreadMinForDx12=x\n", 6, L"veldmoor.exe"},
        {"repeated name", "GameExeName=a.exe\nGameExeName=b.exe\n", 8, L"b.exe"},
        {"section headers are ignored", "[Launcher]\nCpuThreadMinForDx12=6\n[Other]\n", 6, L"veldmoor.exe"},
        {"UTF-8 BOM spoils the first line only",
         "\xEF\xBB\xBF"
         "CpuThreadMinForDx12=6\nGameExeName=a.exe\n",
         8, L"a.exe"},
        {"UTF-16 matches nothing", Bytes("G\0a\0m\0e\0E\0x\0e\0N\0a\0m\0e\0=\0a\0\n\0"), 8, L"veldmoor.exe"},
        {"NUL bytes inside a value", Bytes("GameExeName=a\0b.exe\n"), 8, std::wstring(L"a\0b.exe", 7)},
        {"UTF-8 letters arrive byte by byte", "GameExeName=\xC3\xB6.exe\n", 8, L"\u00C3\u00B6.exe"},
        {"Latin-1 bytes are their own characters", "GameExeName=\xF6\xFF.exe\n", 8, L"\u00F6\u00FF.exe"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const LauncherSettings s = SettingsFrom(r.text);
        EXPECT_EQ(s.CpuThreadMinForDx12, r.threads);
        EXPECT_EQ(s.GameExeName, r.exe);
    }
}

TEST(ConfigText, HugeInputIsReadToTheEnd)
{
    std::string text(8 * 1024 * 1024, 'x');
    text += "\n";
    for (int i = 0; i < 100000; ++i) text += "AmdMinRxModel=" + std::to_string(i) + "\n";
    EXPECT_EQ(SettingsFrom(text).AmdMinRxModel, 99999);
}

TEST(Trim, RemovesOnlySpaceTabCrLf)
{
    struct Row {
        std::wstring text;
        std::wstring want;
    };
    const Row rows[] = {
        {L"  a b \t", L"a b"},
        {L" \t\r\n", L""},
        {L"", L""},
        {L"\u00A0a\u00A0", L"\u00A0a\u00A0"},
        {L"\va\f", L"\va\f"},
        {L"\r\nkey = value\r", L"key = value"},
    };
    for (const Row& r : rows) EXPECT_EQ(Trim(r.text), r.want);
}

TEST(TryParse, RefusalLeavesTheTargetUntouched)
{
    struct IntRow {
        const wchar_t* text;
        bool accepted;
        std::int32_t want;
    };
    const IntRow ints[] = {
        {L"42", true, 42},        {L" \t-17x", true, -17},    {L"007", true, 7},
        {L"-0", true, 0},         {L"+", false, 99},          {L"- 1", false, 99},
        {L"x1", false, 99},       {L"2147483648", false, 99}, {L"-2147483648", true, -2147483647 - 1},
        {L"\v\f12", true, 12},    {L"\u008564", true, 64},    {L"\u00A0-7", true, -7},
        {L"\u300064", false, 99},  // white space beyond what a single-byte file holds is not skipped
        {L"\u0661", false, 99},    // a digit of another script is not a decimal digit here
    };
    for (const IntRow& r : ints) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(r.text)));
        std::int32_t target = 99;
        EXPECT_EQ(TryParseInt(r.text, target), r.accepted);
        EXPECT_EQ(target, r.want);
    }

    struct BoolRow {
        const wchar_t* text;
        bool accepted;
        bool want;
    };
    const BoolRow bools[] = {
        {L"YES", true, true},    {L" True ", true, true}, {L"1", true, true}, {L"nO", true, false},
        {L"FALSE", true, false}, {L"off", false, true},   {L"", false, true}, {L"yes!", false, true},
    };
    for (const BoolRow& r : bools) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(r.text)));
        bool target = true;
        EXPECT_EQ(TryParseBool(r.text, target), r.accepted);
        EXPECT_EQ(target, r.want);
    }
}

TEST(LoadConfig, MissingFileKeepsDefaultsWithOneLine)
{
    const TempFolder folder;
    const LoadOutcome outcome = LoadFrom(folder.Path() / L"Orvel.config.ini");
    EXPECT_EQ(outcome.Log, std::vector<std::wstring>{L"Config bulunamadı, varsayılanlar kullanılacak."});
    EXPECT_TRUE(SameSettings(outcome.Settings, LauncherSettings{}));
}

TEST(LoadConfig, ReadableFileIsAnnouncedWithItsPathAndClosed)
{
    struct Row {
        const char* name;
        std::string text;
        std::int32_t threads;
    };
    const Row rows[] = {
        {"empty", "", 8},
        {"comments and blanks only", "# a\n\n   ; b\r\n\t\n", 8},
        {"a setting", "CpuThreadMinForDx12=4\n", 4},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const TempFolder folder;
        const auto path = folder.Path() / L"Orvel.config.ini";
        WriteFileBytes(path, r.text);
        const LoadOutcome outcome = LoadFrom(path);
        EXPECT_EQ(outcome.Log,
                  (std::vector<std::wstring>{L"Config yükleniyor: " + path.wstring(), L"Config yüklendi."}));
        EXPECT_EQ(outcome.Settings.CpuThreadMinForDx12, r.threads);
    }
}
