#pragma once
// How an item's serialized bytes are kept in the store file: packed with Zstandard
// when that makes them smaller. A packed row starts with kPackedFormat (no serialized
// item starts with it), then the unpacked size as a varint, then one Zstandard frame
// without its magic number; any other row is the serialized item as it is, so rows
// written before packing still read.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/host_value.h"

namespace mireo {

inline constexpr std::uint8_t kPackedFormat = 3;

class CItemPacker {
public:
    CItemPacker();
    ~CItemPacker();
    CItemPacker(const CItemPacker&) = delete;
    CItemPacker& operator=(const CItemPacker&) = delete;

    // The row for `item` (serialized bytes): packed, or `item` itself when packing
    // saves nothing. The result stays valid until the next Pack.
    const Bytes& Pack(const Bytes& item);
    // The serialized item of a row, into `out`. False when a packed row is damaged
    // (bad stream, a size other than the one it declares).
    bool Unpack(const std::uint8_t* row, std::size_t size, Bytes& out);

private:
    struct Streams;
    std::unique_ptr<Streams> m_z;
    Bytes m_packed;
};

}  // namespace mireo
