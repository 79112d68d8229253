#include "core/ScreenKeys.h"

#include "core/ScreenCodes.h"

namespace ScreenKeys {

const std::array<Key, 17> letters = {{
    {'A', Action::BrushDown},
    {'Z', Action::BrushUp},
    {'C', Action::CopyChar},
    {'V', Action::PasteChar},
    {'G', Action::ToggleGrid},
    {'D', Action::Tool, Editor::ToolDot},
    {'P', Action::Tool, Editor::ToolFreehand},
    {'L', Action::Tool, Editor::ToolLine},
    {'O', Action::Tool, Editor::ToolCircle},
    {'B', Action::Tool, Editor::ToolRect},
    {'F', Action::Tool, Editor::ToolFill},
    {'T', Action::Tool, Editor::ToolText},
    {'S', Action::Tool, Editor::ToolSelect},
    {'R', Action::ResetZoom},
    {'X', Action::FlipX},
    {'Y', Action::FlipY},
    {'I', Action::Invert},
}};

bool apply(Editor& ed, const Key& key) {
    const bool block = ed.tool == Editor::ToolSelect && ed.hasSelection;
    switch (key.action) {
    case Action::BrushDown:
        if (ed.brush <= 1) return false;
        --ed.brush;
        return true;
    case Action::BrushUp:
        if (ed.brush >= 4) return false;
        ++ed.brush;
        return true;
    case Action::CopyChar: ed.copyChar(); return true;
    case Action::PasteChar: ed.pasteChar(); return true;
    case Action::Tool:
        ed.tool = key.tool;
        if (key.tool == Editor::ToolText) ed.textUndoPending = true;
        return true;
    case Action::FlipX:
        if (block) ed.flipBlockX();
        return block;
    case Action::FlipY:
        if (block) ed.flipBlockY();
        return block;
    case Action::Invert:
        if (block) ed.invertBlock();
        return block;
    case Action::ToggleGrid:
    case Action::ResetZoom: break;
    }
    return false;
}

int reversedCode(char key, bool shift) {
    if (key >= 'A' && key <= 'Z') return (shift ? 0xC1 : 0x81) + (key - 'A');
    if (key >= '0' && key <= '9') return shift ? -1 : 0xB0 + (key - '0');
    return key == ' ' ? 0xA0 : -1;
}

std::vector<u8> typedCodes(std::string_view keys, bool ctrl, bool alt, bool shift, const std::vector<unsigned>& text) {
    std::vector<u8> out;
    if (ctrl && !alt) {
        for (char k : keys)
            if (int code = reversedCode(k, shift); code >= 0) out.push_back(u8(code));
    } else {
        for (unsigned c : text)
            if (int code = CharToScreenCode(c); code >= 0) out.push_back(u8(code));
    }
    return out;
}

}  // namespace ScreenKeys
