#pragma once
// What this program needs from Dear ImGui that the 1.86 release lacks, in one place.
#include <imgui.h>

namespace Compat {

// A separator with a caption, as later releases draw it.
void SeparatorText(const char* label);

}  // namespace Compat
