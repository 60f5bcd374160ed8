#include "tests/e2e/launcher_sandbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <sstream>

#include "common/unique_handle.h"
#include "launch/game_command_line.h"
#include "log/log_line.h"
#include "tests/e2e/wine_registry.h"
#include "tests/support/log_reading.h"

namespace {

constexpr DWORD kLauncherTimeoutMs = 60000;
constexpr int kGameRecordTimeoutSeconds = 30;

std::wstring Unescaped(const std::wstring& text)
{
    std::wstring out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'%' && i + 2 < text.size()) {
            out += static_cast<wchar_t>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

GameRecord ParseRecord(const std::wstring& text, const std::filesystem::path& folder)
{
    GameRecord record;
    record.Folder = folder;
    std::wistringstream lines(text);
    std::wstring line;
    while (std::getline(lines, line)) {
        const std::size_t equals = line.find(L'=');
        if (equals == std::wstring::npos) continue;
        const std::wstring key = line.substr(0, equals);
        const std::wstring value = Unescaped(line.substr(equals + 1));
        if (key == L"command_line")
            record.CommandLine = value;
        else if (key == L"working_folder")
            record.WorkingFolder = value;
        else if (key == L"arg")
            record.Args.push_back(value);
        else if (key.rfind(L"console_", 0) == 0)
            record.Console[key] = value;
    }
    return record;
}

std::uintmax_t SizeOrZero(const std::filesystem::path& file)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    return error ? 0 : size;
}

UniqueHandle KillOnCloseJob()
{
    UniqueHandle job{CreateJobObjectW(nullptr, nullptr)};
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!job || !SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits))) {
        ADD_FAILURE() << "cannot make a kill-on-close job, error " << GetLastError();
    }
    return job;
}

// An antivirus or the search indexer may hold a file for a moment after its
// writer has closed it.
void RemoveWithRetry(const std::filesystem::path& file)
{
    for (int i = 0; i < 100; ++i) {
        std::error_code error;
        std::filesystem::remove(file, error);
        if (!error) return;
        Sleep(50);
    }
    ADD_FAILURE() << "cannot remove " << EncodeUtf8(file.wstring());
}

// The test's own environment with `entries` ("NAME=value") put first, in
// place of any variable of the same name.
std::vector<wchar_t> EnvironmentBlock(const std::vector<std::wstring>& entries)
{
    std::vector<wchar_t> block;
    auto add = [&block](const std::wstring& entry) {
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    };
    for (const std::wstring& entry : entries) add(entry);
    wchar_t* const own = GetEnvironmentStringsW();
    for (const wchar_t* entry = own; *entry; entry += wcslen(entry) + 1) {
        const std::wstring text(entry);
        const std::wstring name = text.substr(0, text.find(L'=', 1) + 1);
        const bool replaced = std::any_of(entries.begin(), entries.end(), [&name](const std::wstring& e) {
            return CompareStringOrdinal(e.c_str(), static_cast<int>(std::min(e.size(), name.size())), name.c_str(),
                                        static_cast<int>(name.size()), TRUE) == CSTR_EQUAL;
        });
        if (!replaced) add(text);
    }
    FreeEnvironmentStringsW(own);
    block.push_back(L'\0');
    return block;
}

bool TokenIsElevated(HANDLE token)
{
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated != 0;
}

}  // namespace

UniqueHandle LimitedToken(bool& needed)
{
    needed = false;
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return {};
    const UniqueHandle own{opened};
    if (!TokenIsElevated(own.get())) return {};
    needed = true;
    TOKEN_LINKED_TOKEN linked{};
    DWORD size = 0;
    if (!GetTokenInformation(own.get(), TokenLinkedToken, &linked, sizeof linked, &size)) return {};
    const UniqueHandle limited{linked.LinkedToken};
    HANDLE primary = nullptr;
    if (!DuplicateTokenEx(limited.get(), TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary, &primary))
        return {};
    return UniqueHandle{primary};
}

bool CanRunUnelevated()
{
    bool needed = false;
    const UniqueHandle token = LimitedToken(needed);
    return !needed || token;
}

namespace {
}  // namespace

namespace {

// Where the runs really happened, in the launcher's own words: scripts/test
// reads this line to see that the runs took place below ORVEL_TEST_ROOT.
void ShowFirstConfigPath(const std::vector<std::wstring>& log)
{
    static std::atomic<bool> shown{false};
    const auto config = std::find_if(
        log.begin(), log.end(), [](const std::wstring& line) { return line.rfind(L"Config yükleniyor: ", 0) == 0; });
    if (config == log.end() || shown.exchange(true)) return;
    std::printf("first run's log: %s\n", EncodeUtf8(*config).c_str());
    std::fflush(stdout);
}

}  // namespace

std::string LogText(const RunResult& run)
{
    std::string text = "log of the run:\n";
    for (const std::wstring& line : run.Log) text += EncodeUtf8(line) + "\n";
    return text;
}

std::filesystem::path TestProgramFolder()
{
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return std::filesystem::path(path).parent_path();
}

LauncherSandbox::LauncherSandbox(const std::filesystem::path& launcherSubfolder, const std::wstring& launcherName)
    : job_(KillOnCloseJob()), launcherFolder_(Root() / launcherSubfolder), launcherName_(launcherName)
{
    std::filesystem::create_directories(launcherFolder_);
    const std::wstring source = (TestProgramFolder() / L"OrvelLauncher.exe").wstring();
    if (!CopyFileW(source.c_str(), LauncherExe().c_str(), FALSE)) {
        ADD_FAILURE() << "cannot copy the launcher, error " << GetLastError();
    }
}

LauncherSandbox::~LauncherSandbox()
{
    EndEveryProcess();
    RemoveGameRecords();
    std::error_code ignored;
    std::filesystem::remove_all(Root(), ignored);
}

JOBOBJECT_BASIC_ACCOUNTING_INFORMATION LauncherSandbox::JobAccounting() const
{
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    if (!QueryInformationJobObject(job_.get(), JobObjectBasicAccountingInformation, &accounting, sizeof(accounting),
                                   nullptr)) {
        ADD_FAILURE() << "cannot read the job's accounting, error " << GetLastError();
    }
    return accounting;
}

unsigned LauncherSandbox::ProcessesStarted() const { return JobAccounting().TotalProcesses; }

void LauncherSandbox::EndEveryProcess() const
{
    if (!job_) return;
    TerminateJobObject(job_.get(), 99);
    // The files of a process that is being ended stay open until it is gone.
    for (int i = 0; i < 500 && JobAccounting().ActiveProcesses > 0; ++i) Sleep(20);
}

void LauncherSandbox::RemoveGameRecords() const
{
    for (const auto& folder : gameFolders_) RemoveWithRetry(folder / L"stand_in_record.txt");
}

void LauncherSandbox::WriteConfig(const std::string& text) const
{
    WriteFileBytes(launcherFolder_ / L"Orvel.config.ini", text);
}

std::filesystem::path LauncherSandbox::PlaceGame(const std::filesystem::path& folder, const std::wstring& name)
{
    const std::filesystem::path game = (launcherFolder_ / folder / name).lexically_normal();
    const std::filesystem::path target = game.parent_path();
    std::filesystem::create_directories(target);
    const std::wstring source = (TestProgramFolder() / L"stand_in_game.exe").wstring();
    if (!CopyFileW(source.c_str(), game.c_str(), FALSE)) {
        ADD_FAILURE() << "cannot copy the stand-in game, error " << GetLastError();
    }
    gameFolders_.push_back(target);
    return game;
}

HANDLE LauncherSandbox::Start(const std::vector<std::wstring>& args, const RunOptions& options) const
{
    std::wstring commandLine = QuoteIfNeeded(LauncherExe().wstring());
    for (const std::wstring& arg : args) commandLine += L" " + QuoteArgument(arg);
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');

    const std::wstring workingFolder = options.WorkingFolder.value_or(Root()).wstring();

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    // Suspended until it is in its job, so that not even its first instruction
    // runs outside it.
    std::vector<wchar_t> environment;
    if (!options.Environment.empty()) environment = EnvironmentBlock(options.Environment);
    const DWORD flags = options.CreationFlags | CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT;
    void* const block = environment.empty() ? nullptr : environment.data();
    bool limitedTokenNeeded = false;
    const UniqueHandle token = options.Unelevated ? LimitedToken(limitedTokenNeeded) : UniqueHandle{};
    if (limitedTokenNeeded && !token) ADD_FAILURE() << "no limited token to run the launcher unelevated with";
    const BOOL started = token ? CreateProcessAsUserW(token.get(), nullptr, writable.data(), nullptr, nullptr, FALSE,
                                                      flags, block, workingFolder.c_str(), &startup, &process)
                               : CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, flags, block,
                                                workingFolder.c_str(), &startup, &process);
    if (!started) {
        ADD_FAILURE() << "cannot start the launcher, error " << GetLastError();
        return nullptr;
    }
    if (options.AffinityMask) {
        EXPECT_TRUE(SetProcessAffinityMask(process.hProcess, options.AffinityMask)) << GetLastError();
    }
    EXPECT_TRUE(AssignProcessToJobObject(job_.get(), process.hProcess)) << GetLastError();
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    return process.hProcess;
}

RunResult LauncherSandbox::Run(const std::vector<std::wstring>& args, const RunOptions& options) const
{
    RunResult result = RunOnce(args, options);
    // Wine now and then fails a process creation with an internal error
    // (ERROR_INTERNAL_ERROR, 1359), which Windows does not give for these
    // starts. The launcher reported it correctly; the run is repeated once.
    const std::wstring wineHiccup = L"CreateProcessW başarısız. Hata: 1359";
    if (result.ExitCode == 2 && RunningUnderWine() &&
        std::find(result.Log.begin(), result.Log.end(), wineHiccup) != result.Log.end()) {
        std::printf("Wine failed to create the game process (1359); running the launcher again\n");
        result = RunOnce(args, options);
    }
    return result;
}

RunResult LauncherSandbox::RunOnce(const std::vector<std::wstring>& args, const RunOptions& options) const
{
    RemoveGameRecords();
    const std::uintmax_t logSizeBefore = SizeOrZero(LogFile());

    RunResult result;
    const UniqueHandle launcher{Start(args, options)};
    if (!launcher) return result;
    if (WaitForSingleObject(launcher.get(), kLauncherTimeoutMs) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the launcher did not end within " << kLauncherTimeoutMs / 1000 << " s";
        TerminateJobObject(job_.get(), 99);
        return result;
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(launcher.get(), &exitCode);
    result.ExitCode = static_cast<int>(exitCode);

    const std::string log = ReadFileBytes(LogFile());
    result.Log = LogMessagesFrom(log.size() > logSizeBefore ? log.substr(logSizeBefore) : std::string());
    ShowFirstConfigPath(result.Log);
    if (result.ExitCode == 0) result.Game = WaitForGameRecord();
    return result;
}

std::optional<GameRecord> LauncherSandbox::WaitForGameRecord() const
{
    for (int i = 0; i < kGameRecordTimeoutSeconds * 50; ++i) {
        for (const auto& folder : gameFolders_) {
            const auto record = folder / L"stand_in_record.txt";
            if (GetFileAttributesW(record.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
            // The stand-in may still hold the file for a moment after renaming
            // it into place; read again until the record is whole.
            const std::wstring text = DecodeUtf8(ReadFileBytes(record));
            if (text.find(L"\nend=1\n") != std::wstring::npos) return ParseRecord(text, folder);
        }
        Sleep(20);
    }
    ADD_FAILURE() << "no stand-in game recorded its start";
    return std::nullopt;
}
