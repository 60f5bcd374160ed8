#pragma once

#include <windows.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/open_existing.h"
#include "tests/support/temp_folder.h"

// What the stand-in game recorded about its start.
struct GameRecord {
    std::wstring CommandLine;
    std::wstring WorkingFolder;
    std::vector<std::wstring> Args;
    std::map<std::wstring, std::wstring> Console;  // console_window, console_title
    std::filesystem::path Folder;                  // where the started stand-in lives
};

struct RunOptions {
    DWORD CreationFlags = 0;
    std::vector<std::wstring> Environment;               // "NAME=value" entries added to the test's own
    std::optional<std::filesystem::path> WorkingFolder;  // the sandbox root by default
    DWORD_PTR AffinityMask = 0;                          // set before the launcher's first instruction; 0 leaves it
    bool Unelevated = false;  // with the test's limited token, where it runs elevated (Wine's default)
};

struct RunResult {
    int ExitCode = -1;               // -1: the launcher did not end in time and was stopped
    std::vector<std::wstring> Log;   // the messages this run appended
    std::optional<GameRecord> Game;  // present when a stand-in recorded its start
};

// The run's log lines, for failure messages.
std::string LogText(const RunResult& run);

// A temporary game install: the real OrvelLauncher.exe copied into a folder
// of its own, with stand-in games and configuration files placed around it.
class LauncherSandbox {
public:
    explicit LauncherSandbox(const std::filesystem::path& launcherSubfolder = L"Launcher",
                             const std::wstring& launcherName = L"OrvelLauncher.exe");
    ~LauncherSandbox();

    const std::filesystem::path& Root() const { return root_.Path(); }
    const std::filesystem::path& LauncherFolder() const { return launcherFolder_; }
    std::filesystem::path LauncherExe() const { return launcherFolder_ / launcherName_; }
    std::filesystem::path LogFile() const { return launcherFolder_ / L"OrvelLauncher.log"; }

    void WriteConfig(const std::string& text) const;
    // Copies the stand-in game to `folder` (relative to the launcher's folder,
    // or absolute) under `name`, and returns its full path.
    std::filesystem::path PlaceGame(const std::filesystem::path& folder = L".",
                                    const std::wstring& name = L"veldmoor.exe");

    RunResult Run(const std::vector<std::wstring>& args = {}, const RunOptions& options = {}) const;

    // Starts the launcher without waiting; for tests that run several at once.
    HANDLE Start(const std::vector<std::wstring>& args, const RunOptions& options = {}) const;

    // How many processes have run in the sandbox's job so far: the launchers
    // started here and every process that they started.
    unsigned ProcessesStarted() const;

private:
    RunResult RunOnce(const std::vector<std::wstring>& args, const RunOptions& options) const;
    std::optional<GameRecord> WaitForGameRecord() const;
    void RemoveGameRecords() const;
    void EndEveryProcess() const;
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION JobAccounting() const;

    TempFolder root_;
    // Every launcher started here, and every game it starts, runs in this job,
    // which ends them all when it closes: a row that timed out or failed
    // half-way leaves nothing running behind it.
    UniqueHandle job_;
    std::filesystem::path launcherFolder_;
    std::wstring launcherName_;
    std::vector<std::filesystem::path> gameFolders_;
};

// The folder of the running test program, where the build put the launcher
// and the stand-in game.
std::filesystem::path TestProgramFolder();

// The test's limited token when it runs elevated (`needed`); null when it
// does not, or has none (an administrator with UAC off).
UniqueHandle LimitedToken(bool& needed);
bool CanRunUnelevated();
