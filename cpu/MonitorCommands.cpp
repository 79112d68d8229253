#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/Hex.h"
#include "core/TextCase.h"
#include "core/UndoBuffer.h"
#include "cpu/CPU6502.h"
#include "cpu/Monitor.h"
#include "disk/DiskDrive.h"

namespace {

const char* const helpText =
    "VORLIX - MONITOR HELP\n\n"
    "A1111 CMD ADR   ASSEMBLE\n"
    "C1111 2222 3333 COPY START END TO\n"
    "F1111 2222 33   FILL START END VALUE\n"
    "M1111 2222      DUMP MEMORY FROM (TO)\n"
    "J1111 2222      DUMP AS TEXT FROM (TO)\n"
    "D1111 2222      DISASSEMBLE FROM (TO)\n"
    "L\"NAME\",8,1111,2222 LOAD (FROM TO)\n"
    "S\"NAME\",8,1111,2222 SAVE FROM TO\n"
    "  DEVICE 6 = PC FILE, 8-11 = DISKS\n"
    "G1111           EXECUTE FROM\n"
    "X               EXIT\n.";

// A disassembly row's byte field ends before column 15; the instruction text follows.
constexpr size_t ByteFieldEnd = 15;
// A memory row's hex bytes end before column 31, where its characters begin.
constexpr size_t MemFieldEnd = 31;

bool isHexDigit(char c) { return HexDigit(c) >= 0; }

// Up to `most` hex bytes from pos, before column `limit`: apart or run together in pairs ("A9 01" or
// "A901"), a lone digit a byte of its own. In a code row a run of three or more digits that is not pairs
// (ADC, BCC) or one that runs into other characters is the instruction text and ends the bytes.
int readBytes(const std::string& text, size_t& pos, size_t limit, int most, bool code, u8* bytes) {
    int n = 0;
    while (n < most) {
        while (pos < text.size() && text[pos] == ' ') ++pos;
        size_t end = pos;
        while (end < text.size() && isHexDigit(text[end])) ++end;
        const size_t digits = end - pos;
        if (pos >= limit || digits == 0) break;
        if (code && ((digits > 1 && digits % 2) || (end < text.size() && text[end] != ' '))) break;
        while (pos < end && pos < limit && n < most) bytes[n++] = u8(Monitor::getHex(2, text, pos));
    }
    return n;
}

std::string trim(const std::string& s) {
    size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos) return "";
    size_t b = s.find_last_not_of(' ');
    return s.substr(a, b - a + 1);
}

// A file name at all: something after an optional leading "@:". What else a name may hold
// is for the drive it goes to.
bool validFileName(const std::string& name) { return !withoutReplacePrefix(name).empty(); }

// The end of a listing command: a number, "-" for $FFFF, or none (-1).
int listEnd(const std::string& text, size_t pos) {
    int end = Monitor::getHex(4, text, pos);
    if (end >= 0) return end;
    return pos < text.size() && text[pos] == '-' ? 0xFFFF : -1;
}

}  // namespace

int Monitor::getHex(int digits, const std::string& text, size_t& pos) {
    while (pos < text.size() && text[pos] == ' ') ++pos;
    if (pos >= text.size() || !isHexDigit(text[pos])) return -1;
    int v = 0;
    for (int n = 0; n < digits && pos < text.size() && isHexDigit(text[pos]); ++n, ++pos) {
        v = v * 16 + HexDigit(text[pos]);
    }
    return v;
}

void Monitor::printNum(const char* fmt, int value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, value);
    print(buf);
}

void Monitor::syntaxErrorAtCursor() {
    putChar('?');
    print("\n.");
}

void Monitor::recordUndo(int address, int length, const char* name) {
    if (!undo || length <= 0) return;
    // The commands' writes that run past $FFFF continue at $0000, and so does their step.
    undo->Store(undo->captureRange(address, length, name, true));
}

void Monitor::disBody() {
    u16 a = u16(nextAddr);
    print(".>" + cpu.disassemble(a));
    nextAddr = a;
    col = 7;
    listMode = ListMode::Disassembly;
}

void Monitor::memBody() {
    printNum(".:%04X ", nextAddr);
    for (int i = 0; i < 8; ++i) printNum("%02X ", machine.ram[(nextAddr + i) & 0xFFFF]);
    for (int i = 0; i < 8; ++i) screen[row * 40 + 31 + i] = machine.ram[(nextAddr + i) & 0xFFFF];
    nextAddr = (nextAddr + 8) & 0xFFFF;
    col = 7;
    listMode = ListMode::Memory;
}

void Monitor::asciiBody() {
    printNum(".,%04X ", nextAddr);
    for (int i = 0; i < 32; ++i) screen[row * 40 + 7 + i] = machine.ram[(nextAddr + i) & 0xFFFF];
    nextAddr = (nextAddr + 32) & 0xFFFF;
    col = 7;
    listMode = ListMode::Text;
}

void Monitor::disLine() {
    putChar('\n');
    disBody();
}

void Monitor::memLine() {
    putChar('\n');
    memBody();
}

void Monitor::asciiLine() {
    putChar('\n');
    asciiBody();
}

void Monitor::tick() {
    if (!listing) return;
    if (!listModeValid()) {
        listing = false;
        return;
    }
    int before = nextAddr;
    putChar('\n');
    listLine(listMode);
    if (nextAddr < before || nextAddr > endAddr) listing = false;
}

bool Monitor::executeRow() {
    std::string text = rowText(row);
    if (text[0] != '.') {
        syntaxErrorAtCursor();
        return true;
    }
    size_t pos = 2;
    // Reprints the command row in place: the line's newline lands on it again.
    auto reprint = [this](int address, void (Monitor::*line)()) {
        nextAddr = address;
        endAddr = -1;
        --row;
        (this->*line)();
    };
    switch (text[1]) {
    case ' ': print("\n."); return true;
    case '?':
        clear();
        print(helpText);
        return true;
    case ',': {
        int a = getHex(4, text, pos);
        if (a < 0) {
            print("?\n.");
            return true;
        }
        recordUndo(a, 32, "monitor text");
        for (int i = 0; i < 32; ++i) machine.ram[(a + i) & 0xFFFF] = screen[row * 40 + 7 + i];
        reprint(a, &Monitor::asciiLine);
        printNum("\n.,%04X ", nextAddr);
        return true;
    }
    case ':':
    case '>': {
        bool code = text[1] == '>';
        int a = getHex(4, text, pos);
        if (a < 0) {
            print("?\n.");
            return true;
        }
        u8 bytes[8];
        const int n = readBytes(text, pos, code ? ByteFieldEnd : MemFieldEnd, code ? 3 : 8, code, bytes);
        if (n == 0) {
            print("\n.");
            return true;
        }
        recordUndo(a, n, code ? "monitor code bytes" : "monitor bytes");
        for (int i = 0; i < n; ++i) machine.ram[(a + i) & 0xFFFF] = bytes[i];
        reprint(a, code ? &Monitor::disLine : &Monitor::memLine);
        printNum(code ? "\n.>%04X " : "\n.:%04X ", nextAddr);
        return true;
    }
    case 'A': {
        int a = getHex(4, text, pos);
        if (a < 0) return false;
        std::string rest = text.substr(pos);
        int len = cpu.assemble(u16(a), rest, false, nullptr);
        if (len == 0) {
            print("?\n.");
            return true;
        }
        recordUndo(a, len, "monitor assemble");
        cpu.assemble(u16(a), rest, true, nullptr);
        u16 next = u16(a);
        col = 0;
        print(".A" + cpu.disassemble(next));
        printNum("\n.A%04X ", next);
        col = 7;
        listMode = ListMode::Disassembly;
        nextAddr = next;
        return true;
    }
    case 'C':
    case 'F': {
        bool fill = text[1] == 'F';
        int s = getHex(4, text, pos);
        int e = getHex(4, text, pos);
        int third = getHex(fill ? 2 : 4, text, pos);
        if (s < 0 || e < 0 || third < 0 || e < s) return false;
        if (fill) {
            recordUndo(s, e - s, "monitor fill");
            std::memset(machine.ram + s, third, size_t(e - s));
            printNum("\n%04X BYTES FILLED\n.", e - s);
        } else {
            // Cut at the end of memory; the report says what really moved.
            int n = std::min(e - s, 0x10000 - third);
            recordUndo(third, n, "monitor copy");
            std::memmove(machine.ram + third, machine.ram + s, size_t(n));
            printNum("\n%04X BYTES COPIED\n.", n);
        }
        return true;
    }
    case 'M':
    case 'J':
    case 'D': {
        int s = getHex(4, text, pos);
        if (s < 0) return false;
        int end = listEnd(text, pos);
        topAddr = nextAddr = s;
        endAddr = end;
        if (text[1] == 'M') memLine();
        else if (text[1] == 'J') asciiLine();
        else disLine();
        bool wrapped = nextAddr < s;
        listing = end >= 0 && !wrapped && nextAddr < end;
        return true;
    }
    case 'G': {
        int a = getHex(4, text, pos);
        if (a < 0) return false;
        if (go) go(u16(a));
        print("\n.");
        return true;
    }
    case 'L':
    case 'S': {
        std::string name;
        int device = 0, from = -1, to = -1;
        if (!parseFileCmd(text, name, device, from, to)) {
            syntaxErrorAtCursor();
            return true;
        }
        if (text[1] == 'L') {
            load(name, device, from, to);
        } else if (from < 0 || to < 0 || to <= from) {
            print("?\n.");
        } else {
            save(name, device, from, to);
        }
        return true;
    }
    case 'X':
        if (exit) exit();
        return true;
    default: syntaxErrorAtCursor(); return true;
    }
}

bool Monitor::parseFileCmd(const std::string& row, std::string& name, int& device, int& from, int& to) {
    if (row.size() < 3) return false;
    size_t pos = 2;
    while (pos < row.size() && row[pos] == ' ') ++pos;
    if (pos >= row.size() || row[pos] != '"') return false;
    size_t close = row.find('"', pos + 1);
    if (close == std::string::npos || close + 1 >= row.size()) return false;
    std::string n = row.substr(pos + 1, close - pos - 1);
    pos = close + 1;
    while (pos < row.size() && row[pos] == ' ') ++pos;
    if (pos >= row.size() || row[pos] != ',') return false;

    std::vector<std::string> fields;
    size_t start = pos + 1;
    for (;;) {
        size_t comma = row.find(',', start);
        fields.push_back(trim(row.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (fields[0].empty()) return false;
    int dev = 0;
    for (char c : fields[0]) {
        if (c < '0' || c > '9') break;
        dev = dev * 10 + (c - '0');
        // Device numbers are small; a long number is a typing error, never wrapped.
        if (dev > 99) return false;
    }
    if (dev < 1) return false;
    int addr[2] = {-1, -1};
    for (int i = 0; i < 2 && i + 1 < int(fields.size()); ++i) {
        const std::string& f = fields[i + 1];
        if (f.empty()) continue;
        size_t p = 0;
        addr[i] = getHex(4, f, p);
        // More than four digits is no 16-bit address.
        if (addr[i] < 0 || (p < f.size() && isHexDigit(f[p]))) return false;
    }
    if (!validFileName(n)) return false;
    name = n;
    device = dev;
    from = addr[0];
    to = addr[1];
    return true;
}

bool Monitor::fileDevice(const std::string& name, int device, bool save, DiskDrive*& drive) {
    drive = nullptr;
    if (device == 6 && (save ? bool(hostSave) : bool(hostLoad))) return true;
    if (device != 6 && getDrive) drive = getDrive(device);
    if (!drive || drive->mode == DiskDrive::NoDisk) {
        drive = nullptr;
        print("\nDEVICE NOT PRESENT ERROR\n.");
        return false;
    }
    if (!drive->acceptsName(name, save)) {
        syntaxErrorAtCursor();
        return false;
    }
    return true;
}

void Monitor::load(const std::string& name, int device, int from, int to) {
    DiskDrive* d = nullptr;
    if (!fileDevice(name, device, false, d)) return;
    if (!d) {
        pendFrom = from;
        pendTo = to;
        print("\nSEARCHING FOR " + name);
        hostLoad(name);
        return;
    }
    Bytes file;
    // Read for the address the bytes go to and only what lands, up to TO or the end of memory.
    if (d->readFile(name, file, from, to >= 0 ? to : 0x10000)) {
        finishLoad(file, from, to);
    } else {
        print("\nERROR: " + UpperCase(d->error) + "\n.");
    }
}

void Monitor::finishLoad(const Bytes& file, int from, int to) {
    if (file.size() < 2) {
        print("\nFILE ERROR\n.");
        return;
    }
    int start = from >= 0 ? from : file[0] | file[1] << 8;
    int avail = int(file.size()) - 2;
    int count = to < 0 ? avail : std::max(0, std::min(to - start, avail));
    count = std::min(count, 0x10000 - start);
    recordUndo(start, count, "monitor load");
    std::memcpy(machine.ram + start, file.data() + 2, size_t(count));
    char buf[80];
    std::snprintf(buf, sizeof buf, "\n$%04X BYTES READ FROM $%04X TO $%04X\n.", count, start, start + count);
    print(buf);
}

void Monitor::save(const std::string& name, int device, int from, int to) {
    Bytes file(size_t(2 + to - from));
    file[0] = u8(from & 0xFF);
    file[1] = u8(from >> 8);
    std::copy(machine.ram + from, machine.ram + to, file.begin() + 2);
    DiskDrive* d = nullptr;
    if (!fileDevice(name, device, true, d)) return;
    if (!d) {
        print("\nSAVING " + name);
        hostSave(name, file);
        return;
    }
    if (d->writeFile(name, file)) {
        char buf[80];
        std::snprintf(buf, sizeof buf, "\n$%04X BYTES SAVED FROM $%04X TO $%04X\n.", to - from, from, to);
        print(buf);
    } else {
        print("\nERROR: " + UpperCase(d->error) + "\n.");
    }
}

void Monitor::hostLoadDone(const Bytes* file) {
    if (!file) print("\nFILE NOT FOUND ERROR\n.");
    else finishLoad(*file, pendFrom, pendTo);
    pendFrom = pendTo = -1;
}

size_t Monitor::hostLoadBytes(int fileAddress) const {
    const int start = pendFrom >= 0 ? pendFrom : fileAddress;
    return 2 + size_t(std::max(0, (pendTo >= 0 ? pendTo : 0x10000) - start));
}

void Monitor::hostSaveDone(bool ok, int count) {
    if (!ok) print("\nFILE ERROR\n.");
    else printNum("\n$%04X BYTES SAVED\n.", count);
    pendFrom = pendTo = -1;
}
