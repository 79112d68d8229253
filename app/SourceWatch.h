#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Tells the code editor whether its text changed behind its back since it last drew it, without
// reading the text: comparing or copying a long source every frame costs more than the frame. The
// editor's own edits are taken in when it has drawn; every other writer calls replaced().
class SourceWatch {
public:
    // Any writer but the editor, after it changed the text.
    void replaced() { ++replacements; }
    // The text moved, changed its length or was replaced since shown().
    bool changedSinceShown(const std::string& text) const {
        return reinterpret_cast<std::uintptr_t>(text.data()) != where || text.size() != length || replacements != seen;
    }
    // The editor has drawn the text as it is now.
    void shown(const std::string& text) {
        where = reinterpret_cast<std::uintptr_t>(text.data());
        length = text.size();
        seen = replacements;
    }

private:
    std::uintptr_t where = 0;
    std::size_t length = 0;
    unsigned long replacements = 1, seen = 0;  // never shown: changed
};
