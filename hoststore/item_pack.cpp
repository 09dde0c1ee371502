#include "hoststore/item_pack.h"

#include <zlib.h>

#include <new>

namespace mireo {

namespace {
// Items are a few hundred bytes to a few KB: a 4 KB window sees all of most of them,
// and a small hash table keeps the reset between two items cheap (the table is
// cleared on every reset). Level 1 costs about a third of the default level and packs
// these items nearly as well.
constexpr int kLevel = 1;
constexpr int kWindowBits = 12;
constexpr int kMemLevel = 4;
// Shorter items are kept as they are: the stream's own overhead eats the gain.
constexpr std::size_t kMinPackSize = 96;
// Deflate cannot shrink data by more than about 1032 to 1: a declared size beyond that
// is damage, and is refused before anything is allocated for it.
constexpr std::uint64_t kMaxRatio = 1032;

std::size_t PutVar(std::uint8_t* out, std::uint64_t v) {
    std::size_t n = 0;
    while (v >= 0x80) {
        out[n++] = static_cast<std::uint8_t>(v | 0x80);
        v >>= 7;
    }
    out[n++] = static_cast<std::uint8_t>(v);
    return n;
}
}  // namespace

struct CItemPacker::Streams {
    z_stream def{};
    z_stream inf{};
    bool defReady = false;
    bool infReady = false;
    ~Streams() {
        if (defReady) deflateEnd(&def);
        if (infReady) inflateEnd(&inf);
    }
};

CItemPacker::CItemPacker() : m_z(std::make_unique<Streams>()) {}
CItemPacker::~CItemPacker() = default;

const Bytes& CItemPacker::Pack(const Bytes& item) {
    if (item.size() < kMinPackSize) return item;
    z_stream& z = m_z->def;
    if (!m_z->defReady) {
        if (deflateInit2(&z, kLevel, Z_DEFLATED, -kWindowBits, kMemLevel, Z_DEFAULT_STRATEGY) != Z_OK) return item;
        m_z->defReady = true;
    } else if (deflateReset(&z) != Z_OK) {
        return item;
    }
    // Packing pays only when it saves more than the header: the output may not reach
    // the item's own size.
    m_packed.resize(item.size());
    std::size_t head = 0;
    m_packed[head++] = kPackedFormat;
    head += PutVar(m_packed.data() + head, item.size());
    z.next_in = const_cast<Bytef*>(item.data());
    z.avail_in = static_cast<uInt>(item.size());
    z.next_out = m_packed.data() + head;
    z.avail_out = static_cast<uInt>(item.size() - head);
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) return item;  // it did not fit: no gain
    m_packed.resize(item.size() - z.avail_out);
    return m_packed;
}

bool CItemPacker::Unpack(const std::uint8_t* row, std::size_t size, Bytes& out) {
    if (size == 0 || row[0] != kPackedFormat) {
        out.assign(row, row + size);
        return true;
    }
    std::size_t pos = 1;
    std::uint64_t raw = 0;
    for (int shift = 0;; shift += 7) {
        if (pos >= size || shift > 56) return false;
        const std::uint8_t b = row[pos++];
        raw |= static_cast<std::uint64_t>(b & 0x7F) << shift;
        if (!(b & 0x80)) break;
    }
    const std::uint64_t body = size - pos;
    if (raw == 0 || raw > body * kMaxRatio + 64) return false;
    z_stream& z = m_z->inf;
    if (!m_z->infReady) {
        if (inflateInit2(&z, -15) != Z_OK) return false;
        m_z->infReady = true;
    } else if (inflateReset(&z) != Z_OK) {
        return false;
    }
    try {
        out.resize(static_cast<std::size_t>(raw));
    } catch (const std::bad_alloc&) {
        return false;
    }
    z.next_in = const_cast<Bytef*>(row + pos);
    z.avail_in = static_cast<uInt>(body);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(raw);
    // Whole and exact: the stream ends where the row ends, with the declared size.
    return inflate(&z, Z_FINISH) == Z_STREAM_END && z.avail_out == 0 && z.avail_in == 0;
}

}  // namespace mireo
