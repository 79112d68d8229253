// Dropped files: the extension from the first byte, the rest written to a file and dropped.
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include "FuzzSupport.h"
#include "app/FileActions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const extensions[] = {"koa", "hir", "iph", "raw", "hed", "dd", "mbm", "pmg", "p64", "rp",
                                             "ocp", "sar", "pi", "mil", "cdu", "a64", "vid", "ism", "fpt", "drp",
                                             "che", "cwg", "hil", "hlf", "drl", "mci", "prg", "vpr", "s", "asm",
                                             "d64", "png", "bmp", "gif", "ttf", "bin", "KOA", ""};
    constexpr size_t count = sizeof extensions / sizeof extensions[0];
    if (size < 1) return 0;
    static const std::string dir = [] {
        std::string d = "/tmp/vorlix-fuzz-drop-" + std::to_string(getpid());
        mkdir(d.c_str(), 0700);
        return d;
    }();
    const std::string ext = extensions[data[0] % count];
    const std::string path = dir + "/dropped" + (ext.empty() ? "" : "." + ext);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(data + 1, 1, size - 1, f) != size - 1 || std::fclose(f) != 0) abort();

    App& app = Fuzz::app();
    app.newProject();
    Actions::openDropped(app, path);
    Fuzz::render(app.machine);
    for (DiskDrive& d : app.drives) d.unmount();
    std::remove(path.c_str());
    return 0;
}
