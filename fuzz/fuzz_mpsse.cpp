// libFuzzer target: the bench's MPSSE decoder playing arbitrary byte streams
// on the chip and flash models.
#include <mpsse.h>
#include <mpssedecoder.h>
#include <spinorflash.h>
#include <xqchip.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    sim::FlashIdentity id;
    id.nCapacity = 0x10;  // 64 KiB keeps each run small
    int64_t nNow = 0;
    sim::SpiNorFlash flash(id, [&nNow] { return nNow; });
    sim::XqChip chip(sim::ChipModel::XQ6030, &flash);
    sim::MpsseDecoder decoder(&chip, mpsse::kChipFt2232H);
    // Feed in two pieces so commands cut between USB writes are exercised.
    const size_t nCut = nSize / 2;
    decoder.Feed(pData, nCut);
    nNow += 1000;
    decoder.Feed(pData + nCut, nSize - nCut);
    decoder.Replies().clear();
    return 0;
}
