// Assembles one source file the way the assembler window does and writes the
// program (code start to final address) to a file, so a benchmark can time a
// whole run of ours beside the peer assemblers' processes. Files are read and
// written with plain stdio, as the peers do (no sync, no temporary file).
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "cpu/Assembler.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE OUTPUT\n", argv[0]);
        return 2;
    }
    std::FILE* in = std::fopen(argv[1], "rb");
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 2;
    }
    // Read whole into a buffer of the file's size, grown only if the file grew.
    std::string source;
    if (std::fseek(in, 0, SEEK_END) == 0 && std::ftell(in) > 0) source.resize(size_t(std::ftell(in)));
    std::rewind(in);
    if (source.empty()) source.resize(65536);  // a pipe, or a file that says nothing of its size
    size_t read = 0;
    for (size_t n; (n = std::fread(source.data() + read, 1, source.size() - read, in)) > 0;) {
        read += n;
        if (read < source.size()) continue;
        const int c = std::fgetc(in);
        if (c == EOF) break;
        source.resize(read * 2 + 4096);
        source[read++] = char(c);
    }
    source.resize(read);
    std::fclose(in);

    auto machine = std::make_unique<Machine>();
    Assembler as(*machine);
    const bool ok = as.assemble(source);
    for (const Assembler::Message& m : as.messages)
        if (m.isError) std::fprintf(stderr, "line %d: %s\n", m.line, m.text.c_str());
    if (!ok) return 1;

    const int start = as.codeStart < 0 ? as.finalAddr : as.codeStart;
    const size_t size = size_t(std::max(0, as.finalAddr - start));
    std::FILE* out = std::fopen(argv[2], "wb");
    const bool written = out && std::fwrite(machine->ram + start, 1, size, out) == size;
    return out && std::fclose(out) == 0 && written ? 0 : 1;
}
