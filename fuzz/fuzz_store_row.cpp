// Feeds any bytes to the store's row reader as a row of the items table: unpacked and
// read as an item. A row that reads must be written again into bytes that read back
// to the same item; and the bytes themselves, packed, must unpack unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "hoststore/item_data.h"
#include "hoststore/item_pack.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace mireo;
    static CItemPacker packer;
    Bytes item;
    if (packer.Unpack(data, size, item)) {
        ItemData d;
        if (DeserializeItem(item, d)) {
            // Compared as bytes: a date may be NaN, which equals nothing.
            const Bytes written = SerializeItem(d);
            ItemData again;
            if (!DeserializeItem(written, again) || SerializeItem(again) != written) std::abort();
        }
    }
    const Bytes raw(data, data + size);
    if (!raw.empty() && raw[0] == kPackedFormat) return 0;  // a packed row is not an item
    const Bytes row = packer.Pack(raw);
    Bytes back;
    if (!packer.Unpack(row.data(), row.size(), back) || back != raw) std::abort();
    return 0;
}
