#pragma once
#include <cstdint>
#include <vector>

using u8 = std::uint8_t;
using u16 = std::uint16_t;
using u32 = std::uint32_t;
using i32 = std::int32_t;
using Bytes = std::vector<std::uint8_t>;
