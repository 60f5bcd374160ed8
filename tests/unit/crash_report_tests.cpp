#include <gtest/gtest.h>

#include <string>

#include "launcher/crash_report.h"

TEST(CrashReport, LinesNameTheCodeTheModulesWithOffsetsAndTheBuild)
{
    struct Row {
        const char* what;
        CrashFacts facts;
        const wchar_t* fault;
        const wchar_t* frames;
    };
    CrashFacts inDriver;
    inDriver.ExceptionCode = 0xC0000005;
    inDriver.Fault = {L"dxgi.dll", 0x1A2B};
    inDriver.OwnFrames[0] = {L"OrvelLauncher.exe", 0x2905D};
    inDriver.OwnFrames[1] = {L"OrvelLauncher.exe", 0x20108};
    inDriver.OwnFrameCount = 2;
    CrashFacts nowhere;
    nowhere.ExceptionCode = 0x80000003;
    nowhere.Fault = {nullptr, 0x7FF612340000};
    CrashFacts deep = inDriver;
    deep.OwnFrameCount = kMaxOwnFrames + 5;  // more than are kept
    for (std::size_t i = 0; i < kMaxOwnFrames; ++i) deep.OwnFrames[i] = {L"OrvelLauncher.exe", 0x10 + i};
    const Row rows[] = {
        {"in a driver", inDriver, L"0xC0000005, adres: dxgi.dll+0x1A2B",
         L"OrvelLauncher.exe+0x2905D OrvelLauncher.exe+0x20108"},
        {"in no module, no frames", nowhere, L"0x80000003, adres: 0x7FF612340000", L"yok"},
    };
    for (Row r : rows) {
        SCOPED_TRACE(r.what);
        r.facts.Version = L"1.0.0.0";
        r.facts.BuildId = L"4a1a822f4d50703d8c91b31979585b0b";
        CrashLines lines;
        FormatCrashLines(r.facts, lines);
        EXPECT_EQ(std::wstring(lines.Fault), std::wstring(L"HATA: Orvel launcher çöktü. İstisna kodu: ") + r.fault);
        EXPECT_EQ(std::wstring(lines.Frames), std::wstring(L"HATA: Launcher çağrı zinciri: ") + r.frames);
        EXPECT_EQ(std::wstring(lines.Build),
                  L"HATA: Launcher sürümü: 1.0.0.0, derleme kimliği (build ID): 4a1a822f4d50703d8c91b31979585b0b");
    }
    // Too many frames for the count, and a module name that overruns the
    // line: cut, never overrun.
    std::wstring longName(2 * kCrashLineChars, L'm');
    deep.Fault.Module = longName.c_str();
    CrashLines lines;
    FormatCrashLines(deep, lines);
    EXPECT_EQ(std::wstring(lines.Fault).size(), kCrashLineChars - 1);
    EXPECT_NE(std::wstring(lines.Frames).find(L"OrvelLauncher.exe+0x1F"), std::wstring::npos);
}
