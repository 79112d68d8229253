#pragma once
#include <cstddef>
#include <initializer_list>
#include <set>
#include <vector>

#include "core/Types.h"

// The processor's breakpoints: an ordered set of addresses and, beside it, the
// table the run loop tests after each instruction, a byte per address (and one
// past the end, where pc lands after an instruction at $FFFD). Every change goes
// through here, so the two always agree and a run never builds the table.
class Breakpoints {
public:
    enum : u8 {
        Break = 1,  // a breakpoint
        Wrap = 2,   // an instruction here reads operands past $FFFF: the run takes it as a single step
    };

    Breakpoints() = default;
    Breakpoints(std::initializer_list<u16> addresses) : Breakpoints(std::set<u16>(addresses)) {}
    Breakpoints(const std::set<u16>& addresses) {
        for (u16 address : addresses) insert(address);
    }

    bool insert(u16 address) {
        runTable();
        table_[address] |= Break;
        return set_.insert(address).second;
    }
    size_t erase(u16 address) {
        if (!set_.erase(address)) return 0;
        table_[address] &= u8(~Break);
        return 1;
    }
    void clear() {
        for (u16 address : set_) table_[address] &= u8(~Break);
        set_.clear();
    }
    size_t count(u16 address) const { return set_.count(address); }
    bool empty() const { return set_.empty(); }
    size_t size() const { return set_.size(); }
    std::set<u16>::const_iterator begin() const { return set_.begin(); }
    std::set<u16>::const_iterator end() const { return set_.end(); }

    // 65537 bytes, made on first use.
    const u8* runTable() {
        if (table_.empty()) {
            table_.resize(0x10001);
            table_[0xFFFE] = table_[0xFFFF] = table_[0x10000] = Wrap;
        }
        return table_.data();
    }

private:
    std::set<u16> set_;
    std::vector<u8> table_;
};
