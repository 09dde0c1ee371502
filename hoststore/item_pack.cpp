#include "hoststore/item_pack.h"

#define ZSTD_STATIC_LINKING_ONLY  // the frame without its magic number
#include <zstd.h>

#include <new>

namespace mireo {

namespace {
// Items are a few hundred bytes to a few KB, and every Save packs one. The fast
// levels below 1 leave the literals as they are: a rich contact packs to about nine
// tenths, a lean one to three quarters, at a third of level 1's cost to pack and a
// tenth of its cost to read (level 1 codes the literals, to about four fifths, but
// builds its tables again for every item, some 10 us a contact). Level -2 searches
// less than -1 for the same size within a percent (a fifth fewer instructions for a
// rich contact); the levels below it lose matches, and a rich store would then come
// close to the size of its vCard file.
constexpr int kLevel = -2;
// Shorter items are kept as they are: the frame's own overhead eats the gain.
constexpr std::size_t kMinPackSize = 96;
// No frame this store writes needs a window beyond its item; a damaged header that
// asks for more is refused rather than given the memory.
constexpr int kMaxWindowLog = 24;
// Zstandard cannot shrink data by more than about 32,000 to 1 (a block of 128 KB in
// a few bytes): a declared size beyond that is damage, refused before anything is
// allocated for it.
constexpr std::uint64_t kMaxRatio = 32768;

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
    ZSTD_CCtx* c = nullptr;
    ZSTD_DCtx* d = nullptr;
    ~Streams() {
        ZSTD_freeCCtx(c);
        ZSTD_freeDCtx(d);
    }
};

CItemPacker::CItemPacker() : m_z(std::make_unique<Streams>()) {}
CItemPacker::~CItemPacker() = default;

const Bytes& CItemPacker::Pack(const Bytes& item) {
    if (item.size() < kMinPackSize) return item;
    if (m_z->c == nullptr) {
        ZSTD_CCtx* c = ZSTD_createCCtx();
        if (c == nullptr) return item;
        // The row keeps the size itself; no magic number, size or checksum in the frame.
        ZSTD_CCtx_setParameter(c, ZSTD_c_compressionLevel, kLevel);
        ZSTD_CCtx_setParameter(c, ZSTD_c_format, ZSTD_f_zstd1_magicless);
        ZSTD_CCtx_setParameter(c, ZSTD_c_contentSizeFlag, 0);
        ZSTD_CCtx_setParameter(c, ZSTD_c_checksumFlag, 0);
        ZSTD_CCtx_setParameter(c, ZSTD_c_dictIDFlag, 0);
        m_z->c = c;
    }
    // Packing pays only when it saves more than the header: the output may not reach
    // the item's own size.
    m_packed.resize(item.size());
    std::size_t head = 0;
    m_packed[head++] = kPackedFormat;
    head += PutVar(m_packed.data() + head, item.size());
    const std::size_t n = ZSTD_compress2(m_z->c, m_packed.data() + head, item.size() - head, item.data(), item.size());
    if (ZSTD_isError(n)) {
        ZSTD_CCtx_reset(m_z->c, ZSTD_reset_session_only);
        return item;  // it did not fit: no gain
    }
    m_packed.resize(head + n);
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
    if (raw == 0 || body == 0 || raw > body * kMaxRatio) return false;
    if (m_z->d == nullptr) {
        ZSTD_DCtx* d = ZSTD_createDCtx();
        if (d == nullptr) return false;
        ZSTD_DCtx_setParameter(d, ZSTD_d_format, ZSTD_f_zstd1_magicless);
        ZSTD_DCtx_setParameter(d, ZSTD_d_windowLogMax, kMaxWindowLog);
        m_z->d = d;
    }
    try {
        out.resize(static_cast<std::size_t>(raw));
    } catch (const std::bad_alloc&) {
        return false;
    }
    // Whole and exact: one frame that fills the declared size, nothing after it.
    const std::size_t n = ZSTD_decompressDCtx(m_z->d, out.data(), out.size(), row + pos, static_cast<std::size_t>(body));
    if (ZSTD_isError(n)) {
        ZSTD_DCtx_reset(m_z->d, ZSTD_reset_session_only);
        return false;
    }
    return n == raw;
}

}  // namespace mireo
