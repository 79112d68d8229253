#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/Machine.h"
#include "core/Types.h"

// Undo and redo history of the machine as named steps of saved memory ranges
// and, for some steps, the VIC registers and bank.
struct UndoBuffer {
    struct Region {
        u32 address = 0;  // 0-$FFFF
        Bytes bytes;      // address .. address + size - 1
    };

    struct Item {
        std::string name;
        std::vector<Region> regions;  // restored in this order
        bool hasVic = false;
        u8 vic[VicReg::count] = {};
        u16 bank = 0;  // recorded always, restored only with hasVic

        // A step that restores nothing is never stored.
        bool isEmpty() const { return regions.empty() && !hasVic; }
    };

    // What TakeUndo and capture record; any other value records nothing.
    enum Kind : int {
        KindText = 1,        // screen and colour RAM
        KindHires = 2,       // bitmap, screen and colour RAM
        KindMulticolor = 3,  // the same ranges as KindHires
        KindSprites = 4,     // sprite pointers, the eight sprites' blocks, VIC registers
        KindCharset = 5,     // the character set; nothing while the VIC sees the ROM
        KindVic = 6,         // VIC registers
        KindAll = 7,         // all memory and the VIC registers
    };

    static constexpr size_t maxSteps = 256;

    Machine* machine;
    std::deque<Item> undo;  // oldest first; a deque so dropping the oldest moves nothing
    std::vector<Item> redo;  // its last step is the next to redo
    // Changes with every change to either stack, so an operation that spans
    // frames can tell that an undo or redo happened underneath it.
    u32 serial = 0;

    // Set by the editor drawing on this machine: called before a step is
    // stored, undone or redone and before the history is cleared, so whatever
    // the editor shows over its backup (a floating paste, a rubber band, a
    // stroke) is settled before memory changes underneath it.
    std::function<void()> beforeChange;

    explicit UndoBuffer(Machine& m) : machine(&m) {}

    void Clear();

    // Builds a step of the given kind without storing it.
    Item capture(Kind kind, const std::string& name) const;
    // A step of one range of memory, no VIC copy: cut at the end of memory, or with wrap continued
    // at $0000 as far as it runs past it. A negative length gives an empty region.
    Item captureRange(int address, int length, const std::string& name, bool wrap) const;
    // The same ranges (and VIC copy when step has one) filled with the current state.
    Item snapshotOf(const Item& step) const;
    void restore(const Item& step);

    // Stores a step taken earlier (e.g. by capture, before an operation that
    // may fail): an empty step is dropped and leaves the redo stack; any other
    // is appended under the step limit and empties the redo stack.
    // Returns whether it was stored.
    bool Store(Item step);

    void TakeUndo(Kind kind, const std::string& name);
    void TakeUndoRange(int address, int length, const std::string& name);
    void TakeScreenUndo(const std::string& name);
    void MakeUndo();
    void MakeRedo();
    void MergeLast();

    // Display names of the newest steps; "" when the stack is empty.
    const std::string& undoName() const;
    const std::string& redoName() const;

private:
    void settle();
    void push(Item&& step);
};
