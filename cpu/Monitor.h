#pragma once
#include <functional>
#include <string>

#include "core/EditKey.h"
#include "core/Machine.h"
#include "core/Types.h"

struct CPU6502;
class DiskDrive;
struct UndoBuffer;

// A machine-language monitor in the style of a C64 cartridge monitor: a 40x25
// screen of screen codes with a cursor, where Return executes the row under
// the cursor as a command and output is printed onto the same screen.
struct Monitor {
    // Kind of the last listing line, which Up and Down on the edge rows continue.
    enum class ListMode { Off = 0, Disassembly = 1, Memory = 2, Text = 3 };

    int col = 0;  // cursor column 0-39
    int row = 0;  // cursor row 0-24

    std::function<DiskDrive*(int device)> getDrive;  // null: no such drive
    std::function<void(u16 address)> go;
    std::function<void()> exit;
    std::function<void(const std::string& name)> hostLoad;
    std::function<void(const std::string& name, const Bytes& file)> hostSave;

    Machine& machine;
    CPU6502& cpu;
    u8* screen;  // the machine's monitor screen, row r column c at r * 40 + c

    ListMode listMode = ListMode::Off;
    bool listing = false;
    int nextAddr = 0;
    int endAddr = -1;
    int topAddr = 0;
    int pendFrom = -1;
    int pendTo = -1;

    // Memory the commands write is recorded here first, so each change undoes
    // on its own (null: no undo).
    UndoBuffer* undo = nullptr;

    Monitor(Machine& m, CPU6502& c);
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    // Screen, printing and keys.
    void clear();
    void print(const std::string& text);
    void putChar(char c);
    void scrollUp();
    void scrollDown();
    std::string rowText(int r) const;
    void typeChar(u8 code);
    void editKey(EditKey key, bool shift);
    void enter();
    void backRow();
    void pushRow();
    void smartUp();
    void smartDown();
    // The address a line of the current listing starts with; -1 when row r holds none.
    int listedAddress(int r) const;

    // Commands.
    bool executeRow();
    static int getHex(int digits, const std::string& text, size_t& pos);
    void disLine();
    void memLine();
    void asciiLine();
    void tick();
    static bool parseFileCmd(const std::string& row, std::string& name, int& device, int& from, int& to);
    void load(const std::string& name, int device, int from, int to);
    void save(const std::string& name, int device, int from, int to);
    void finishLoad(const Bytes& file, int from, int to);
    void hostLoadDone(const Bytes* file);
    // How much of the pending host file to read, the two address bytes included, when the file
    // loads at fileAddress: only what lands, up to TO or the end of memory.
    size_t hostLoadBytes(int fileAddress) const;
    void hostSaveDone(bool ok, int count);

private:
    void newLine();
    void advance();
    // The line bodies without their leading newline, printed at the cursor.
    void disBody();
    void memBody();
    void asciiBody();
    void listLine(ListMode mode);
    bool listModeValid() const { return listMode >= ListMode::Disassembly && listMode <= ListMode::Text; }
    void printNum(const char* fmt, int value);
    void syntaxErrorAtCursor();
    void recordUndo(int address, int length, const char* name);
    // Where a file command goes: true with drive null for the host files of device 6, else with a
    // mounted drive that takes the name; false, the error printed, when there is none.
    bool fileDevice(const std::string& name, int device, bool save, DiskDrive*& drive);
};
