#include "launcher/run_sequence.h"

#include <filesystem>
#include <new>
#include <string>

#include "config/config_file.h"
#include "config/launcher_settings.h"
#include "decision/render_api.h"
#include "decision/render_api_decision.h"
#include "hardware/cpu_detection.h"
#include "hardware/gpu_dxgi.h"
#include "launch/file_identity.h"
#include "launch/game_command_line.h"
#include "launch/game_location.h"
#include "launch/process_launch.h"
#include "launcher/command_line.h"
#include "launcher/console.h"
#include "launcher/own_path.h"
#include "launcher/run_trace.h"
#include "launcher/user_log.h"
#include "log/log_messages.h"
#include "log/logger.h"

namespace {

int RunFromTheBanner(int argc, const wchar_t* const* argv, const std::filesystem::path& ownExe, Logger& logger)
{
    const std::filesystem::path launcherFolder = ownExe.parent_path();
    logger.Log(kLogBanner);

    LauncherSettings settings;
    LoadConfig(launcherFolder / L"Orvel.config.ini", settings, logger);

    const CommandLineScan commandLine = ScanCommandLine(argc, argv, logger);
    const GpuInfo gpu = DetectGpu(logger, &RunTrace::KeepCrashTraceFirst);
    const CpuInfo cpu = DetectCpu(logger);

    const RenderApi api = commandLine.ForceDx11   ? RenderApi::DX11
                          : commandLine.ForceDx12 ? RenderApi::DX12
                                                  : DecideRenderApi(gpu, cpu.Threads, settings, logger);
    logger.Log(kLogDecision, SwitchText(api));

    const GameExeLocation game = FindGameExe(launcherFolder, settings, GameExeTestFor(ownExe));
    if (!game.Found) {
        logger.Log(kLogGameNotFound, game.Path.wstring());
        return 1;
    }
    const std::filesystem::path& gameExe = game.Path;

    const std::wstring argumentText = JoinArgs(BuildGameArgList(settings, api, commandLine.PassThroughArgs), L" ");
    logger.Log(kLogStarting, GameCommandLine(gameExe, argumentText));
    RunTrace::KeepCrashTraceFirst();
    const int exitCode = LaunchGame(gameExe, argumentText, gameExe.parent_path(), logger);
    logger.Log(kLogExited, std::to_wstring(exitCode));
    return exitCode;
}

}  // namespace

int RunLauncher(int argc, const wchar_t* const* argv)
{
    PrepareConsole();
    const std::filesystem::path ownExe = OwnExecutablePath();

    Logger logger(ownExe.parent_path() / L"OrvelLauncher.log", &UserLogFile);
    const RunTrace trace(logger, ownExe);
    try {
        return RunFromTheBanner(argc, argv, ownExe, logger);
    } catch (const std::bad_alloc&) {
        // Ends the run as a refused start does; writing the lines so far and
        // this one needs no memory.
        logger.WriteNow(kLogOutOfMemory);
        return 2;
    } catch (...) {
        // Nothing in the run throws anything else; a module called into may.
        // No game was started.
        logger.WriteNow(kLogUnexpectedException);
        return 2;
    }
}
