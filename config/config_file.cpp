#include "config/config_file.h"

#include <fstream>
#include <system_error>

#include "config/text_routines.h"
#include "log/fill_in.h"
#include "log/log_messages.h"
#include "log/logger.h"

void LoadConfig(const std::filesystem::path& path, LauncherSettings& settings, Logger& logger)
{
    std::error_code error;
    const bool present = std::filesystem::exists(path, error);
    if (!present && !error) {
        logger.Log(kLogConfigMissing);
        return;
    }
    // An existence test that failed for another reason (access denied on a
    // folder of the path) is treated like a file that cannot be opened.
    std::ifstream file;
    if (!error) file.open(path, std::ios::in | std::ios::binary);
    if (!file.is_open()) {
        logger.Log(kLogConfigUnreadable);
        return;
    }
    logger.Log(kLogConfigLoading, path.wstring());
    ApplyConfigStream(file, settings);
    logger.Log(kLogConfigLoaded);
}

void ApplyConfigStream(std::istream& text, LauncherSettings& settings)
{
    std::string bytes;
    std::wstring line;
    while (std::getline(text, bytes)) {
        // Bytes map 1:1 to characters; the file is read as Latin-1 whatever the code page.
        line.resize(bytes.size());
        for (std::size_t i = 0; i < bytes.size(); ++i)
            line[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
        ApplyConfigLine(line, settings);
    }
}

void ApplyConfigLine(const std::wstring& line, LauncherSettings& settings)
{
    const std::wstring trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == L'#' || trimmed[0] == L';') return;
    const std::size_t equals = trimmed.find(L'=');
    if (equals == std::wstring::npos) return;
    const std::wstring key = Trim(trimmed.substr(0, equals));
    const std::wstring value = Trim(trimmed.substr(equals + 1));

    if (key == L"GameExeName")
        settings.GameExeName = value;
    else if (key == L"GameArgs")
        settings.GameArgs = value;
    else if (key == L"CpuThreadMinForDx12")
        TryParseInt(value, settings.CpuThreadMinForDx12);
    else if (key == L"NvidiaMinRtxModel")
        TryParseInt(value, settings.NvidiaMinRtxModel);
    else if (key == L"AmdMinRxModel")
        TryParseInt(value, settings.AmdMinRxModel);
    else if (key == L"MinVramGbForDx12")
        TryParseInt(value, settings.MinVramGbForDx12);
    else if (key == L"PreferDx12")
        TryParseBool(value, settings.PreferDx12);
}
