#pragma once
#include <string>
#include <vector>

#include "core/Types.h"
#include "import/RowDecoder.h"

// Decodes a PNG row by row straight into 8-bit RGBA pixels, so a 16-bit picture
// never exists in full at 16 bits. On failure, error holds the reason.
bool decodePngRows(const Bytes& bytes, std::vector<u32>& pixels, int& w, int& h, std::string& error);
