#include "ProgramOptions.h"

#include <cstring>

ProgramOptions::Action ProgramOptions::parse(int argc, const char* const* argv)
{
    for (int i = 1; i < argc && argv[i]; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--") == 0) break;
        if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) return Action::ShowHelp;
        if (std::strcmp(arg, "-v") == 0 || std::strcmp(arg, "--version") == 0) return Action::ShowVersion;
    }
    return Action::Run;
}

std::string ProgramOptions::helpText(const std::string& programName)
{
    return "Usage: " + programName +
           " [options]\n"
           "\n"
           "Controls TELDORA USB conference cameras: live picture, snapshots, MP4\n"
           "recordings with the camera's sound, pan, tilt and zoom, picture and audio\n"
           "settings, speaker and microphone levels, and firmware upgrades.\n"
           "\n"
           "Options:\n"
           "  -h, --help       show this help and exit\n"
           "  -v, --version    show the version and exit\n"
           "Qt's standard options (-platform, -style, ...) are accepted as well.\n"
           "\n"
           "Environment:\n"
           "  VORQ_SIM=1       add the built-in simulated camera (VORQ_SIM=<dir>: its\n"
           "                   state in <dir>)\n"
           "  VORQ_SIM_SOCKET  add the cameras of an external simulated device\n"
           "\n"
           "Snapshots are proposed in the pictures folder and recordings in the videos\n"
           "folder (a TELDORA subfolder each); what you change in the camera's settings\n"
           "is kept per camera in ~/.config/teldora-vision-desk/cameras.conf.\n";
}

std::string ProgramOptions::versionText() { return "TELDORA Vision Desk " VORQ_VERSION "\n"; }
