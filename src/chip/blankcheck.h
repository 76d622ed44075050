// Whether a stretch of flash already holds only 0xFF, so that its erase
// would change nothing: the fast profile leaves such 64 KiB blocks unerased.
#pragma once

#include <cstdint>

class FlashOps;

// Reads [nAddress, nAddress + nLength) and sets *pBlank to whether every
// byte is 0xFF. The first 256 bytes are read alone, the rest in one read
// only when they are blank, so flash that holds data costs one short read. Returns the read's code; *pBlank is false on failure.
int CheckBlank(FlashOps& flash, uint32_t nAddress, int32_t nLength, bool* pBlank);
