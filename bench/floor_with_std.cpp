// The floor plus the standard-library pieces the launcher is built on (file
// streams, file-system paths, regular expressions), used once each: what any
// launcher written this way pays before doing anything of its own.
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

int FloorMain(int argc, wchar_t** argv);

int wmain(int argc, wchar_t** argv)
{
    std::error_code error;
    if (std::filesystem::exists(L"Orvel.config.ini", error)) {
        std::ifstream config(L"Orvel.config.ini", std::ios::binary);
        for (std::string line; std::getline(config, line);) {
        }
    }
    const std::wregex pattern(LR"(rtx\s*(\d{3,4}))", std::regex::ECMAScript | std::regex::icase);
    std::wsmatch match;
    const std::wstring name = L"nvidia geforce rtx 3080";
    if (!std::regex_search(name, match, pattern)) return 4;
    return FloorMain(argc, argv);
}
