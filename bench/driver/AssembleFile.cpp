// Assembles one source file the way the assembler window does and writes the
// program (code start to final address) to a file, so a benchmark can time a
// whole run of ours beside the peer assemblers' processes.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "cpu/Assembler.h"
#include "platform/Platform.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE OUTPUT\n", argv[0]);
        return 2;
    }
    Bytes source;
    if (!Platform::readFile(argv[1], source)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 2;
    }
    auto machine = std::make_unique<Machine>();
    Assembler as(*machine);
    const bool ok = as.assemble(std::string_view(reinterpret_cast<const char*>(source.data()), source.size()));
    for (const Assembler::Message& m : as.messages)
        if (m.isError) std::fprintf(stderr, "line %d: %s\n", m.line, m.text.c_str());
    if (!ok) return 1;
    const int start = as.codeStart < 0 ? as.finalAddr : as.codeStart;
    const Bytes program(machine->ram + start, machine->ram + std::max(start, as.finalAddr));
    return Platform::writeFile(argv[2], program) ? 0 : 1;
}
