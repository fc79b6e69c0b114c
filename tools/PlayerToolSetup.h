#pragma once
// For the tools that start the whole player in their private install folder (kobal_playershot,
// kobal_playerstats): a config.ini that already names the area, so the first start scans it.
#include <cstdlib>
#include <fstream>
#include <string>

namespace kobal::tools {

inline void writeAreaSetup(int area) {
    const char* home = std::getenv("KOBAL_HOME");
    if (!home) return;
    std::ofstream config(std::string(home) + "/config.ini", std::ios::trunc);
    config << "[SETUP]\nAREA_NUM=" << area << "\n";
}

} // namespace kobal::tools
