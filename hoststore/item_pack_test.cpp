// Items as the store file keeps them: packed when that saves room, and read back
// byte for byte; rows written before packing read as they are; a damaged packed row
// is refused, never read as some other item and never a cause of a huge allocation.
#include "hoststore/item_pack.h"

#include <gtest/gtest.h>
#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "hoststore/item_data.h"

namespace mireo {
namespace {

// A contact as an import stores it: a rich card's fields.
Bytes RichContact() {
    ItemData d;
    d.cls = ItemClass::Contact;
    d.props["LastName"] = Value::Text(u"Dvo\u0159\u00E1k");
    d.props["FirstName"] = Value::Text(u"Ji\u0159\u00ED");
    d.props["FullName"] = Value::Text(u"Dr. Ji\u0159\u00ED Dvo\u0159\u00E1k PhD");
    d.props["CompanyName"] = Value::Text(u"Northwind Logistics");
    d.props["Department"] = Value::Text(u"Purchasing");
    d.props["Body"] = Value::Text(u"Met at the trade fair in spring\r\nwants a quote for the next season\r\n"
                                  u"prefers calls before noon\r\nsend the catalogue by post");
    for (const char* phone : {"BusinessTelephoneNumber", "HomeTelephoneNumber", "MobileTelephoneNumber"})
        d.props[phone] = Value::Text(u"+420 601 234 567");
    d.props["Email1Address"] = Value::Text(u"jiri.dvorak@northwind-logistics.example");
    d.props["Categories"] = Value::Text(u"Business;Suppliers;Key Customer");
    d.props["Birthday"] = Value::Date(27000);
    return SerializeItem(d);
}

Bytes Noise(std::size_t n) {
    Bytes b(n);
    std::uint32_t x = 12345;
    for (auto& c : b) c = static_cast<std::uint8_t>((x = x * 1103515245u + 12345u) >> 24);
    return b;
}

TEST(ItemPacking, RowsReadBackAsTheItemsTheyHold) {
    const struct {
        const char* what;
        Bytes item;
        bool packed;  // whether packing pays
    } table[] = {
        {"a rich contact", RichContact(), true},
        {"long repeated text", Bytes(70000, 'a'), true},
        {"a short item", Bytes{0x02, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00}, false},
        {"bytes that do not shrink", Noise(600), false},
        {"nothing", Bytes{}, false},
    };
    CItemPacker packer;
    for (const auto& row : table) {
        SCOPED_TRACE(row.what);
        const Bytes stored = packer.Pack(row.item);
        if (row.packed) {
            ASSERT_FALSE(stored.empty());
            EXPECT_EQ(stored[0], kPackedFormat);
            EXPECT_LT(stored.size(), row.item.size());
        } else {
            EXPECT_EQ(stored, row.item);
        }
        Bytes back{9, 9, 9};  // whatever was read before
        ASSERT_TRUE(packer.Unpack(stored.data(), stored.size(), back));
        EXPECT_EQ(back, row.item);
    }
}

// The rows stores wrote before packing (formats 1 and 2) are the items themselves.
TEST(ItemPacking, RowsOfEarlierFormatsPassUnchanged) {
    CItemPacker packer;
    const Bytes rich = RichContact();
    ASSERT_EQ(rich[0], 2);
    Bytes out;
    ASSERT_TRUE(packer.Unpack(rich.data(), rich.size(), out));
    EXPECT_EQ(out, rich);
    ItemData d;
    EXPECT_TRUE(DeserializeItem(out, d));
    const Bytes first = {0x01, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00};
    ASSERT_TRUE(packer.Unpack(first.data(), first.size(), out));
    EXPECT_EQ(out, first);
}

// A packed row from a frame: format, declared size, frame.
Bytes Row(std::uint64_t declared, const Bytes& stream) {
    Bytes b{kPackedFormat};
    do {
        b.push_back(static_cast<std::uint8_t>((declared & 0x7F) | (declared >= 0x80 ? 0x80 : 0)));
        declared >>= 7;
    } while (declared != 0);
    b.insert(b.end(), stream.begin(), stream.end());
    return b;
}

// A frame as another writer would make it: another level, with a checksum.
Bytes Frame(const Bytes& in) {
    ZSTD_CCtx* c = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(c, ZSTD_c_compressionLevel, 19);
    ZSTD_CCtx_setParameter(c, ZSTD_c_format, ZSTD_f_zstd1_magicless);
    ZSTD_CCtx_setParameter(c, ZSTD_c_checksumFlag, 1);
    Bytes out(ZSTD_compressBound(in.size()));
    out.resize(ZSTD_compress2(c, out.data(), out.size(), in.data(), in.size()));
    ZSTD_freeCCtx(c);
    return out;
}

TEST(ItemPacking, RefusesDamagedRows) {
    CItemPacker packer;
    const Bytes rich = RichContact();
    const Bytes good = packer.Pack(rich);
    ASSERT_EQ(good[0], kPackedFormat);
    Bytes out;
    // Packed by another writer (another level, a checksum), it reads the same.
    const Bytes other = Row(rich.size(), Frame(rich));
    ASSERT_TRUE(packer.Unpack(other.data(), other.size(), out));
    EXPECT_EQ(out, rich);
    for (std::size_t n = 1; n < good.size(); ++n) {
        SCOPED_TRACE(n);
        EXPECT_FALSE(packer.Unpack(good.data(), n, out));
    }
    const Bytes stream = Frame(rich);
    const struct {
        const char* what;
        Bytes row;
    } bad[] = {
        {"a size larger than the stream's", Row(rich.size() + 1, stream)},
        {"a size smaller than the stream's", Row(rich.size() - 1, stream)},
        {"a size of nothing", Row(0, stream)},
        {"a size no stream of this length can reach", Row(std::uint64_t{1} << 40, stream)},
        {"a size field that never ends", Bytes{kPackedFormat, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}},
        {"bytes after the stream", [&] { Bytes b = Row(rich.size(), stream); b.push_back(0); return b; }()},
        {"not a stream", Row(10, Bytes{0xFF, 0xFF, 0xFF, 0xFF})},
        {"a flipped bit", [&] { Bytes b = good; b[b.size() / 2] ^= 0x10; return b; }()},
        {"a frame with its checksum broken", [&] { Bytes b = Row(rich.size(), stream); b.back() ^= 0x01; return b; }()},
    };
    for (const auto& row : bad) {
        SCOPED_TRACE(row.what);
        const bool read = packer.Unpack(row.row.data(), row.row.size(), out);
        // A flipped bit may still spell a stream of the right size: then what it holds
        // is not the item, and the item reader refuses it or reads other text. Every
        // other damage is refused here.
        if (std::string(row.what) == "a flipped bit") {
            if (read) EXPECT_NE(out, rich);
        } else {
            EXPECT_FALSE(read);
        }
    }
    // The packer works on after refusing.
    ASSERT_TRUE(packer.Unpack(good.data(), good.size(), out));
    EXPECT_EQ(out, rich);
}

// An item lists its property names in byte order, numbered names and names kept in
// full alike, finds each by name, and reads back from its bytes with the same map.
TEST(ItemProperties, KeepNameOrderAcrossNumberedAndFullNames) {
    PropertyMap m;
    const char* names[] = {"Subject", "X-Own", "Body", "AllDayEvent", "zz", "Start", "A", "LastName", "Email1Address"};
    int i = 0;
    for (const char* n : names) m[n] = Value::Int(i++);
    std::vector<std::string> order;
    for (const auto& [k, v] : m) order.push_back(k);
    std::vector<std::string> sorted(std::begin(names), std::end(names));
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(order, sorted);
    i = 0;
    for (const char* n : names) {
        SCOPED_TRACE(n);
        ASSERT_TRUE(m.contains(n));
        EXPECT_EQ(m.at(n), Value::Int(i++));
    }
    EXPECT_FALSE(m.contains("Subjec"));
    EXPECT_EQ(m.erase("Body"), 1u);
    EXPECT_EQ(m.erase("Body"), 0u);
    EXPECT_FALSE(m.contains("Body"));
    // Written and read back, the map is the same, unknown names included.
    ItemData d;
    d.props = m;
    ItemData back;
    ASSERT_TRUE(DeserializeItem(SerializeItem(d), back));
    EXPECT_EQ(back.props, m);
}

}  // namespace
}  // namespace mireo
