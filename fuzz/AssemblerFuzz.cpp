// Assembler source: any text assembles, or names the line that failed.
#include "FuzzSupport.h"
#include "cpu/Assembler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Machine m;
    Assembler a(m);
    if (!a.assemble(std::string(reinterpret_cast<const char*>(data), size))) {
        bool reported = false;
        for (const Assembler::Message& msg : a.messages) reported |= msg.isError && msg.line > 0;
        if (!reported) abort();
    }
    return 0;
}
