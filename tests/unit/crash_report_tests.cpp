#include <gtest/gtest.h>

#include <string>

#include "launcher/crash_report.h"
#include "log/fill_in.h"
#include "log/log_messages.h"

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
    CrashFacts lowCode;
    lowCode.ExceptionCode = 0x0000ABCD;
    lowCode.Fault = {L"x.dll", 0x10};
    CrashFacts deep = inDriver;
    deep.OwnFrameCount = kMaxOwnFrames + 5;  // more than are kept
    for (std::size_t i = 0; i < kMaxOwnFrames; ++i) deep.OwnFrames[i] = {L"OrvelLauncher.exe", 0x10 + i};
    const Row rows[] = {
        {"in a driver", inDriver, L"HATA: Orvel launcher çöktü. İstisna kodu: 0xC0000005, adres: dxgi.dll+0x1A2B",
         L"OrvelLauncher.exe+0x2905D OrvelLauncher.exe+0x20108"},
        {"in no module, no frames", nowhere,
         L"HATA: Orvel launcher çöktü. İstisna kodu: 0x80000003, adres: 0x7FF612340000", L"yok"},
        {"a code below 0x10000000", lowCode, L"HATA: Orvel launcher çöktü. İstisna kodu: 0x0000ABCD, adres: x.dll+0x10",
         L"yok"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        CrashValues values;
        FormatCrashValues(r.facts, values);
        EXPECT_EQ(FillIn(kLogCrash, values.Code, values.Fault), r.fault);
        EXPECT_EQ(std::wstring(values.Frames), r.frames);
    }
    // Too many frames for the count, and a module name that overruns the
    // value: cut, never overrun.
    std::wstring longName(2 * kCrashValueChars, L'm');
    deep.Fault.Module = longName.c_str();
    CrashValues values;
    FormatCrashValues(deep, values);
    EXPECT_EQ(std::wstring(values.Fault).size(), kCrashValueChars - 1);
    EXPECT_NE(std::wstring(values.Frames).find(L"OrvelLauncher.exe+0x1F"), std::wstring::npos);
}
