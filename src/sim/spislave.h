// A device on the SPI wire: selected, then one byte in for one byte out.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim {

class SpiSlave {
public:
    virtual ~SpiSlave() = default;
    virtual void Select() = 0;
    virtual uint8_t Exchange(uint8_t nMosi) = 0;
    virtual void Deselect() = 0;
};

}  // namespace sim
