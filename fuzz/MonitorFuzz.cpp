// Monitor command lines: each input line typed on a cleared screen and entered, a listing it
// starts run to its end; disk commands reach a D64 on device 8 and a directory on device 10,
// host loads get the input's own bytes.
#include <cstdio>
#include <filesystem>

#include "FuzzSupport.h"
#include "core/UndoBuffer.h"
#include "cpu/CPU6502.h"
#include "cpu/Monitor.h"
#include "disk/DiskDrive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string dir = [] {
        std::string d = "/tmp/vorlix-fuzz-monitor-" + std::to_string(getpid());
        std::filesystem::create_directories(d + "/host");
        return d;
    }();
    static const Bytes blank = DiskDrive::blankD64("FUZZ", "FZ");
    static Machine m;
    static CPU6502 cpu{m};
    static UndoBuffer undo{m};
    static DiskDrive drives[3];
    static Monitor* mon = [] {
        auto* mo = new Monitor(m, cpu);
        mo->undo = &undo;
        mo->getDrive = [](int d) { return d >= 8 && d <= 10 ? &drives[d - 8] : nullptr; };
        mo->go = [](u16) {};
        mo->exit = [] {};
        mo->hostSave = [](const std::string&, const Bytes&) {};
        return mo;
    }();
    const Bytes input(data, data + size);
    mon->hostLoad = [&input](const std::string&) { mon->hostLoadDone(&input); };

    const std::string image = dir + "/disk.d64";
    FILE* f = std::fopen(image.c_str(), "wb");
    if (!f || std::fwrite(blank.data(), 1, blank.size(), f) != blank.size() || std::fclose(f) != 0) abort();
    drives[0].mountD64(image);
    drives[2].mountDirectory(dir + "/host");
    undo.Clear();

    std::string text(reinterpret_cast<const char*>(data), size);
    for (size_t start = 0, lines = 0; start <= text.size() && lines < 8; ++lines) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        mon->clear();
        mon->print(text.substr(start, std::min<size_t>(end - start, 80)));
        mon->enter();
        for (int i = 0; i < 300 && mon->listing; ++i) mon->tick();
        mon->listing = false;
        start = end + 1;
    }
    for (DiskDrive& d : drives) d.unmount();
    std::filesystem::remove_all(dir + "/host");
    std::filesystem::create_directories(dir + "/host");
    return 0;
}
