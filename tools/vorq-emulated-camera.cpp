// Runs a program with emulated uvcvideo cameras in place of real ones.
//
//   vorq-emulated-camera [--profile FILE] DESCRIPTORS... -- COMMAND [ARGS...]
//
// DESCRIPTORS is the bytes of a camera's sysfs `descriptors`; a profile
// (key=value lines) beside it, DESCRIPTORS with ".profile" for ".bin", is
// read when present. The program sees the cameras under /sys and /dev as
// uvcvideo would show them. SIGUSR1 to this tool unplugs every camera,
// SIGUSR2 plugs them back in; the program finds this tool's id in
// VORQ_EMULATED_CAMERA_PID. Exits with the program's status.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <glib-unix.h>
#include <glib.h>

#include "EmulatedTestbed.h"

namespace {

struct Run {
    GMainLoop* loop = nullptr;
    GPid child = 0;
    int status = 1;
    vorq::emucam::EmulatedTestbed* testbed = nullptr;
};

void usage()
{
    std::fprintf(stderr, "usage: vorq-emulated-camera [--profile FILE] DESCRIPTORS... -- COMMAND [ARGS...]\n");
}

bool exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string besideThisProgram(const std::string& relative)
{
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return relative;
    self[n] = '\0';
    std::string dir(self);
    dir.erase(dir.rfind('/'));
    return dir + "/" + relative;
}

gboolean onUnplug(gpointer data)
{
    static_cast<Run*>(data)->testbed->unplugAll();
    std::fprintf(stderr, "vorq-emulated-camera: cameras unplugged\n");
    return G_SOURCE_CONTINUE;
}

gboolean onReplug(gpointer data)
{
    std::string error;
    if (!static_cast<Run*>(data)->testbed->replugAll(error))
        std::fprintf(stderr, "vorq-emulated-camera: %s\n", error.c_str());
    else
        std::fprintf(stderr, "vorq-emulated-camera: cameras plugged in\n");
    return G_SOURCE_CONTINUE;
}

gboolean onTerminate(gpointer data)
{
    auto* run = static_cast<Run*>(data);
    if (run->child > 0) kill(run->child, SIGTERM);
    return G_SOURCE_CONTINUE;
}

void onChildExit(GPid, gint status, gpointer data)
{
    auto* run = static_cast<Run*>(data);
    run->status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    g_main_loop_quit(run->loop);
}

} // namespace

int main(int argc, char** argv)
{
    // umockdev builds its tree through its own preload library: run this
    // tool under it first.
    if (!std::getenv("VORQ_EMUCAM_UNDER_UMOCKDEV")) {
        setenv("VORQ_EMUCAM_UNDER_UMOCKDEV", "1", 1);
        std::string preload = "libumockdev-preload.so.0";
        if (const char* old = std::getenv("LD_PRELOAD"); old && *old) preload += std::string(":") + old;
        std::string asan = "verify_asan_link_order=0";
        if (const char* old = std::getenv("ASAN_OPTIONS"); old && *old) asan = std::string(old) + ":" + asan;
        setenv("LD_PRELOAD", preload.c_str(), 1);
        setenv("ASAN_OPTIONS", asan.c_str(), 1);
        execv("/proc/self/exe", argv);
        std::perror("vorq-emulated-camera: cannot run under umockdev");
        return 127;
    }
    std::vector<std::pair<std::string, std::string>> cameras;
    int i = 1;
    std::string profile;
    for (; i < argc && std::string(argv[i]) != "--"; ++i) {
        const std::string arg = argv[i];
        if (arg == "--profile" && i + 1 < argc) {
            profile = argv[++i];
            continue;
        }
        if (arg.empty() || arg[0] == '-') {
            usage();
            return 2;
        }
        if (profile.empty()) {
            const std::string beside = arg.size() > 4 && arg.compare(arg.size() - 4, 4, ".bin") == 0
                                           ? arg.substr(0, arg.size() - 4) + ".profile"
                                           : arg + ".profile";
            if (exists(beside)) profile = beside;
        }
        cameras.emplace_back(arg, profile);
        profile.clear();
    }
    if (cameras.empty() || i + 1 >= argc) {
        usage();
        return 2;
    }

    vorq::emucam::EmulatedTestbed testbed;
    for (const auto& [descriptors, profileFile] : cameras) {
        std::string error;
        if (!testbed.addCamera(descriptors, profileFile, error)) {
            std::fprintf(stderr, "vorq-emulated-camera: %s\n", error.c_str());
            return 2;
        }
    }

    // Ours first: it must see mmap before umockdev's library passes it on.
    // (LD_PRELOAD already names umockdev's library, from the re-run above.)
    std::string preload = besideThisProgram("../lib/libemucam-preload.so");
    if (const char* old = std::getenv("LD_PRELOAD"); old && *old) preload += std::string(":") + old;
    gchar** env = g_get_environ();
    env = g_environ_setenv(env, "LD_PRELOAD", preload.c_str(), TRUE);
    env = g_environ_unsetenv(env, "VORQ_EMUCAM_UNDER_UMOCKDEV");
    env = g_environ_setenv(env, "UMOCKDEV_DIR", testbed.rootDir().c_str(), TRUE);
    env = g_environ_setenv(env, "VORQ_EMULATED_CAMERA_PID", std::to_string(getpid()).c_str(), TRUE);

    Run run;
    run.testbed = &testbed;
    run.loop = g_main_loop_new(nullptr, FALSE);
    GError* error = nullptr;
    const gboolean spawned = g_spawn_async(nullptr, argv + i + 1, env,
                                           static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD |
                                                                    G_SPAWN_CHILD_INHERITS_STDIN),
                                           nullptr, nullptr, &run.child, &error);
    g_strfreev(env);
    if (!spawned) {
        std::fprintf(stderr, "vorq-emulated-camera: %s\n", error ? error->message : "cannot start the command");
        g_clear_error(&error);
        g_main_loop_unref(run.loop);
        return 127;
    }
    g_child_watch_add(run.child, &onChildExit, &run);
    g_unix_signal_add(SIGUSR1, &onUnplug, &run);
    g_unix_signal_add(SIGUSR2, &onReplug, &run);
    g_unix_signal_add(SIGTERM, &onTerminate, &run);
    g_unix_signal_add(SIGINT, &onTerminate, &run);
    g_main_loop_run(run.loop);
    g_main_loop_unref(run.loop);
    return run.status;
}
