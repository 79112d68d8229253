#pragma once
// The window layout file, "imgui.ini" in the configuration directory: the GUI
// library's own text, which the library trusts. A damaged file could crash or
// hang it at every start, so the text is checked here first, read line by line
// the way the library reads it.
#include <cstddef>
#include <string>

namespace LayoutFile {

// The program writes a few kilobytes; a larger file is not one it wrote.
constexpr size_t kMaxSize = 1 << 20;
constexpr const char* kName = "imgui.ini";
// Where a damaged file is kept, beside the layout file.
constexpr const char* kDamagedName = "imgui.ini.damaged";

// What the library may read: its window and docking sections, each as the library would take it.
// mainDockSpace is the id of the program's dock space, the one dock space a layout may hold;
// lockedWindow is the window whose node takes no tabs.
struct Checked {
    bool sound = false;
    std::string text;   // when sound: the sections to give the library
    std::string fault;  // when not: what is wrong, for the user
};
Checked check(const std::string& text, unsigned mainDockSpace, const std::string& lockedWindow);

// The layout file as found at start.
struct Loaded {
    std::string text;     // sound sections to give the library; empty: the default layout
    bool keep = false;    // the file could not be read: it is never written over
    std::string message;  // for standard error, empty when there is nothing to say
};
Loaded load(unsigned mainDockSpace, const std::string& lockedWindow);

}  // namespace LayoutFile
