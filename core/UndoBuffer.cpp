#include "core/UndoBuffer.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// Appends a region, cut at the end of the 64 KB memory.
void addRegion(const Machine& m, std::vector<UndoBuffer::Region>& out, u32 address, size_t length) {
    address &= 0xFFFF;
    length = std::min<size_t>(length, 0x10000 - address);
    UndoBuffer::Region r;
    r.address = address;
    r.bytes.assign(m.ram + address, m.ram + address + length);
    out.push_back(std::move(r));
}

void copyVic(const Machine& m, UndoBuffer::Item& step, bool withVic) {
    step.bank = m.bank;
    if (!withVic) return;
    step.hasVic = true;
    std::memcpy(step.vic, m.vic, sizeof step.vic);
}

// Moves the newest step of one stack to the other as the state it replaces.
template <class From, class To>
void replay(UndoBuffer& u, From& from, To& to) {
    if (from.empty()) return;
    ++u.serial;
    UndoBuffer::Item step = std::move(from.back());
    from.pop_back();
    to.push_back(u.snapshotOf(step));
    u.restore(step);
}

const std::string& emptyName() {
    static const std::string empty;
    return empty;
}

}  // namespace

void UndoBuffer::Clear() {
    settle();
    undo.clear();
    redo.clear();
    ++serial;
}

UndoBuffer::Item UndoBuffer::capture(Kind kind, const std::string& name) const {
    const Machine& m = *machine;
    Item step;
    step.name = name;
    switch (kind) {
    case KindText:
        addRegion(m, step.regions, m.screenAddr(), 1000);
        addRegion(m, step.regions, Machine::colorRamAddr, 1000);
        copyVic(m, step, false);
        break;
    case KindHires:
    case KindMulticolor:
        addRegion(m, step.regions, m.bitmapAddr(), 8192);
        addRegion(m, step.regions, m.screenAddr(), 1000);
        addRegion(m, step.regions, Machine::colorRamAddr, 1000);
        copyVic(m, step, false);
        break;
    case KindSprites:
        addRegion(m, step.regions, m.spritePointerAddr(), 8);
        for (int n = 0; n < 8; ++n) addRegion(m, step.regions, m.spriteDataAddr(n), 64);
        copyVic(m, step, true);
        break;
    case KindCharset:
        if (!m.charsetIsRom()) addRegion(m, step.regions, m.charsetAddr(), 2048);
        copyVic(m, step, false);
        break;
    case KindVic:
        copyVic(m, step, true);
        break;
    case KindAll:
        addRegion(m, step.regions, 0, 65536);
        copyVic(m, step, true);
        break;
    default:
        copyVic(m, step, false);
        break;
    }
    return step;
}

UndoBuffer::Item UndoBuffer::captureRange(int address, int length, const std::string& name, bool wrap) const {
    Item step;
    step.name = name;
    const size_t n = length < 0 ? 0 : size_t(length);
    addRegion(*machine, step.regions, u32(address) & 0xFFFF, n);
    const size_t rest = n - step.regions.back().bytes.size();
    if (wrap && rest > 0) addRegion(*machine, step.regions, 0, rest);
    copyVic(*machine, step, false);
    return step;
}

UndoBuffer::Item UndoBuffer::snapshotOf(const Item& step) const {
    const Machine& m = *machine;
    Item now;
    now.name = step.name;
    now.regions.reserve(step.regions.size());
    for (const Region& r : step.regions) addRegion(m, now.regions, r.address, r.bytes.size());
    copyVic(m, now, step.hasVic);
    return now;
}

void UndoBuffer::restore(const Item& step) {
    Machine& m = *machine;
    for (const Region& r : step.regions) {
        u32 address = r.address & 0xFFFF;
        size_t length = std::min<size_t>(r.bytes.size(), 0x10000 - address);
        if (length) std::memcpy(m.ram + address, r.bytes.data(), length);
    }
    if (step.hasVic) {
        std::memcpy(m.vic, step.vic, sizeof m.vic);
        m.bank = step.bank;
    }
}

void UndoBuffer::settle() {
    if (beforeChange) beforeChange();
}

void UndoBuffer::push(Item&& step) {
    undo.push_back(std::move(step));
    while (undo.size() > maxSteps) undo.pop_front();
    redo.clear();
    ++serial;
}

bool UndoBuffer::Store(Item step) {
    settle();
    if (step.isEmpty()) return false;
    push(std::move(step));
    return true;
}

void UndoBuffer::TakeUndo(Kind kind, const std::string& name) {
    Store(capture(kind, name));
}

void UndoBuffer::TakeUndoRange(int address, int length, const std::string& name) {
    settle();
    push(captureRange(address, length, name, false));
}

void UndoBuffer::TakeScreenUndo(const std::string& name) {
    switch (machine->gfxMode()) {
    case GfxMode::Bitmap: TakeUndo(KindHires, "hires " + name); break;
    case GfxMode::MulticolorBitmap: TakeUndo(KindMulticolor, "multicolor " + name); break;
    default: TakeUndo(KindText, "textmode " + name); break;
    }
}

void UndoBuffer::MakeUndo() {
    settle();
    replay(*this, undo, redo);
}

void UndoBuffer::MakeRedo() {
    settle();
    replay(*this, redo, undo);
}

void UndoBuffer::MergeLast() {
    if (undo.size() < 2) return;
    ++serial;
    Item newest = std::move(undo.back());
    undo.pop_back();
    Item& older = undo.back();
    // The older step's own bytes go last so they win where ranges overlap.
    std::vector<Region> regions = std::move(newest.regions);
    regions.reserve(regions.size() + older.regions.size());
    for (Region& r : older.regions) regions.push_back(std::move(r));
    older.regions = std::move(regions);
    if (!older.hasVic && newest.hasVic) {
        older.hasVic = true;
        std::memcpy(older.vic, newest.vic, sizeof older.vic);
        older.bank = newest.bank;
    }
}

const std::string& UndoBuffer::undoName() const {
    return undo.empty() ? emptyName() : undo.back().name;
}

const std::string& UndoBuffer::redoName() const {
    return redo.empty() ? emptyName() : redo.back().name;
}
