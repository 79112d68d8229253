#pragma once
// The docking section of a layout as the program writes it: the screen on the left, two stacks on the right.
// Shared by the layout file's tests and its fuzz seeds.
#include <string>

inline const std::string kSavedDocking =
    "[Docking][Data]\n"
    "DockSpace     ID=0x079D3A04 Window=0x1BBC0F80 Pos=61,59 Size=1339,822 Split=X\n"
    "  DockNode    ID=0x00000001 Parent=0x079D3A04 SizeRef=935,822 CentralNode=1 Selected=0xDD2D1825\n"
    "  DockNode    ID=0x00000002 Parent=0x079D3A04 SizeRef=402,822 Split=Y\n"
    "    DockNode  ID=0x00000003 Parent=0x00000002 SizeRef=402,410 Selected=0x2B614047\n"
    "    DockNode  ID=0x00000004 Parent=0x00000002 SizeRef=402,410 Selected=0x18D772F2\n";
