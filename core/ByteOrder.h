#pragma once
#include "core/Types.h"

// Unsigned values stored in file headers, read from the bytes at p.
namespace ByteOrder {

inline u32 le16(const u8* p) { return u32(p[0]) | u32(p[1]) << 8; }
inline u32 le32(const u8* p) { return le16(p) | le16(p + 2) << 16; }
inline u32 be16(const u8* p) { return u32(p[0]) << 8 | p[1]; }
inline u32 be32(const u8* p) { return be16(p) << 16 | be16(p + 2); }

}  // namespace ByteOrder
