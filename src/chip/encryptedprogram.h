// EncryptedProgrammer: programming an encrypted image through link mode 2.
// The key is learned first (zeros programmed in mode 2 read back as the
// key), the sectors erased, the image programmed in mode 2 with its plain
// parts in mode 1, and every byte read back against the image and the key.
#pragma once

#include "chiplink.h"
#include "flashpieces.h"

#include <cstdint>
#include <vector>

class FlashOps;

class EncryptedProgrammer {
public:
    EncryptedProgrammer(FlashOps& ops, ChipLink& link) : m_ops(ops), m_link(link) {}

    // The whole sectors that hold the range are erased on the way (after
    // the key is read).
    int Program(int32_t nStart, const uint8_t* pImage, int32_t nCount, bool bSwap, const ProgressFn& progress);
    // Whether an encrypted image is too small to hold its encrypted part.
    static bool PartMissing(const uint8_t* pImage, int32_t nCount);

private:
    // One run: the image (already in flash byte order), where it goes, and
    // the progress over both passes.
    struct Job {
        int32_t nStart;
        const uint8_t* pImage;
        int32_t nCount;
        int32_t nSecond;  // the second region's size when the image has one, else 0
        const ProgressFn& progress;
        int64_t nSpan;        // both passes, in bytes
        int64_t nProgrammed;  // bytes of both passes done
    };

    int ReadKey(Job& job, std::vector<uint8_t>& key);
    int KeyAndErase(Job& job, std::vector<uint8_t>& key, int64_t nFrom, int64_t nTo);
    static bool KeyLooksStored(int32_t nStart, const std::vector<uint8_t>& key);
    int ProgramImage(Job& job);
    int ProgramRange(Job& job, int32_t nFrom, int32_t nTo);
    int CheckReadBack(const Job& job, const std::vector<uint8_t>& key);

    FlashOps& m_ops;
    ChipLink& m_link;
};
