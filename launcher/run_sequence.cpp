#include "launcher/run_sequence.h"

#include <filesystem>
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
#include "log/logger.h"

int RunLauncher(int argc, const wchar_t* const* argv)
{
    PrepareConsole();
    const std::filesystem::path ownExe = OwnExecutablePath();
    const std::filesystem::path launcherFolder = ownExe.parent_path();

    Logger logger(launcherFolder / L"OrvelLauncher.log");
    logger.Log(L"=== Orvel launcher başladı ===");

    LauncherSettings settings;
    LoadConfig(launcherFolder / L"Orvel.config.ini", settings, logger);

    const CommandLineScan commandLine = ScanCommandLine(argc, argv, logger);
    const GpuInfo gpu = DetectGpu(logger);
    const CpuInfo cpu = DetectCpu(logger);

    const RenderApi api = commandLine.ForceDx11   ? RenderApi::DX11
                          : commandLine.ForceDx12 ? RenderApi::DX12
                                                  : DecideRenderApi(gpu, cpu.Threads, settings, logger);
    logger.Log(L"Karar: " + SwitchText(api));

    const GameExeLocation game = FindGameExe(launcherFolder, settings, GameExeTestFor(ownExe));
    if (!game.Found) {
        logger.Log(L"HATA: Oyun exe bulunamadı: " + game.Path.wstring());
        return 1;
    }
    const std::filesystem::path& gameExe = game.Path;

    const std::wstring argumentText = JoinArgs(BuildGameArgList(settings, api, commandLine.PassThroughArgs), L" ");
    logger.Log(L"Çalıştırılıyor: " + GameCommandLine(gameExe, argumentText));
    const int exitCode = LaunchGame(gameExe, argumentText, gameExe.parent_path(), logger);
    logger.Log(L"Orvel launcher çıktı (rc=" + std::to_wstring(exitCode) + L")");
    return exitCode;
}
