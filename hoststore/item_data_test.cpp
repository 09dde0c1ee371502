#include "hoststore/item_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace mireo {
namespace {

void ExpectSame(const ItemData& a, const ItemData& b) {
    EXPECT_EQ(a.cls, b.cls);
    EXPECT_EQ(a.props, b.props);
    EXPECT_EQ(a.mapi, b.mapi);
    ASSERT_EQ(a.recipients.size(), b.recipients.size());
    for (std::size_t i = 0; i < a.recipients.size(); ++i) {
        EXPECT_EQ(a.recipients[i].name, b.recipients[i].name);
        EXPECT_EQ(a.recipients[i].address, b.recipients[i].address);
        EXPECT_EQ(a.recipients[i].type, b.recipients[i].type);
    }
    ASSERT_EQ(a.pattern.has_value(), b.pattern.has_value());
    if (a.pattern) {
        EXPECT_EQ(a.pattern->dayOfWeekMask, b.pattern->dayOfWeekMask);
        EXPECT_EQ(a.pattern->endDay, b.pattern->endDay);
        EXPECT_EQ(a.pattern->occurrences, b.pattern->occurrences);
    }
    ASSERT_EQ(a.exceptions.size(), b.exceptions.size());
    for (std::size_t i = 0; i < a.exceptions.size(); ++i) {
        EXPECT_EQ(a.exceptions[i].originalMinute, b.exceptions[i].originalMinute);
        EXPECT_EQ(a.exceptions[i].deleted, b.exceptions[i].deleted);
        EXPECT_EQ(a.exceptions[i].props, b.exceptions[i].props);
    }
}

// Every kind of value, and text of every width, reads back unit for unit: lone
// surrogates and NUL included, which UTF-8 proper cannot hold.
TEST(ItemEncoding, RoundTripOfEveryValue) {
    const struct {
        const char* what;
        Value value;
    } table[] = {
        {"empty", Value()},
        {"false", Value::Bool(false)},
        {"true", Value::Bool(true)},
        {"int", Value::Int(-2147483647 - 1)},
        {"date", Value::Date(39000.7513888)},
        {"no date", Value::Date(kNoDate)},
        {"empty text", Value::Text(u"")},
        {"ascii", Value::Text(u"Smith, John\r\n")},
        {"two-byte", Value::Text(u"M\u00FCller Dvo\u0159\u00E1k")},
        {"three-byte", Value::Text(u"\u20AC \u6771\u4EAC \uFFFF \uFFFD")},
        {"pair", Value::Text(u"a\U0001F600b")},
        {"lone high", Value::Text(std::u16string{u'x', char16_t(0xD83D)})},
        {"lone low", Value::Text(std::u16string{char16_t(0xDE00), u'x'})},
        {"pair reversed", Value::Text(std::u16string{char16_t(0xDE00), char16_t(0xD83D)})},
        {"nul", Value::Text(std::u16string(3, u'\0'))},
        {"long", Value::Text(std::u16string(70000, u'\u00E9'))},
        {"binary", Value::Binary(Bytes{0, 0xFF, 0x80, 0xC0})},
        {"empty binary", Value::Binary(Bytes{})},
    };
    // One buffer for every row, as the store reuses one for its saves: it starts out
    // holding a longer item, and each row must come out as a buffer of its own would.
    Bytes reused(4096, 0xEE);
    for (const auto& row : table) {
        SCOPED_TRACE(row.what);
        ItemData d;
        d.cls = ItemClass::Appointment;
        d.props["Subject"] = row.value;            // a name the store numbers
        d.props["X-Unlisted Name"] = row.value;    // one it keeps in full
        d.mapi[0x8001] = row.value;
        d.recipients.push_back(RecipientData{u"", u"", 1});  // the smallest records there are
        d.recipients.push_back(RecipientData{u"", u"", 2});
        d.exceptions.push_back(ExceptionData{-5, true, {}});
        d.exceptions.push_back(ExceptionData{7, false, {{"Location", row.value}}});
        RecurrenceRule p;
        p.dayOfWeekMask = 0x2A;
        p.endDay = -3;
        p.occurrences = 12;
        d.pattern = p;
        ItemData back;
        const Bytes fresh = SerializeItem(d);
        ASSERT_TRUE(DeserializeItem(fresh, back));
        ExpectSame(d, back);
        SerializeItem(d, reused);
        EXPECT_EQ(reused, fresh);
    }
}

// Texts of every length around the sixteen and eight bytes read at once, with a
// character beyond ASCII (two, three and four bytes) or DEL at every place
// and at none: each reads back unit for unit.
TEST(ItemEncoding, TextsOfEveryLengthAndMix) {
    const std::u16string others[] = {u"\u0080", u"\u00E9", u"\u07FF", u"\u0800", u"\u20AC", u"\U0001F600", u"\x7F"};
    const std::u16string ascii = u"The quick brown fox jumps over the lazy dog 0123456789";
    std::vector<std::u16string> texts;
    for (std::size_t length = 0; length <= 40; ++length) {
        texts.push_back(ascii.substr(0, length));
        for (const std::u16string& other : others) {
            for (std::size_t at = 0; at <= length; ++at) texts.push_back(ascii.substr(0, at) + other + ascii.substr(at, length - at));
        }
    }
    ItemData d;
    for (std::size_t i = 0; i < texts.size(); ++i) d.props["X-Text " + std::to_string(i)] = Value::Text(texts[i]);
    d.props["Subject"] = Value::Text(texts.back());
    ItemData back;
    ASSERT_TRUE(DeserializeItem(SerializeItem(d), back));
    ASSERT_EQ(back.props.size(), d.props.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const Value* v = back.props.Find("X-Text " + std::to_string(i));
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->AsText(), texts[i]) << "text " << i;
    }
    EXPECT_EQ(back.props.at("Subject").AsText(), texts.back());
}

// An item as stores before this encoding wrote it (text as UTF-16, names in full)
// still reads.
TEST(ItemEncoding, ReadsItemsOfTheFirstFormat) {
    const Bytes old = {
        0x01, 0x03, 0x04, 0x08, 0x42, 0x69, 0x72, 0x74, 0x68, 0x64, 0x61, 0x79, 0x03, 0x00, 0x00, 0x00,
        0x00, 0x20, 0x5E, 0xDA, 0x40, 0x09, 0x46, 0x69, 0x72, 0x73, 0x74, 0x4E, 0x61, 0x6D, 0x65, 0x04,
        0x09, 0x4A, 0x00, 0xFC, 0x00, 0x72, 0x00, 0x67, 0x00, 0x65, 0x00, 0x6E, 0x00, 0x20, 0x00, 0x3D,
        0xD8, 0x00, 0xDE, 0x0B, 0x53, 0x65, 0x6E, 0x73, 0x69, 0x74, 0x69, 0x76, 0x69, 0x74, 0x79, 0x02,
        0x03, 0x05, 0x58, 0x2D, 0x4F, 0x77, 0x6E, 0x01, 0x01, 0x01, 0x81, 0x80, 0x02, 0x04, 0x01, 0x00,
        0xD8, 0x01, 0x01, 0x41, 0x00, 0x03, 0x61, 0x00, 0x40, 0x00, 0x62, 0x00, 0x02, 0x00, 0x00,
    };
    ItemData expected;
    expected.cls = ItemClass::Contact;
    expected.props["FirstName"] = Value::Text(u"J\u00FCrgen \U0001F600");
    expected.props["Sensitivity"] = Value::Int(-2);
    expected.props["Birthday"] = Value::Date(27000.5);
    expected.props["X-Own"] = Value::Bool(true);
    expected.mapi[0x8001] = Value::Text(std::u16string(1, char16_t(0xD800)));
    expected.recipients.push_back(RecipientData{u"A", u"a@b", 1});
    ItemData got;
    ASSERT_TRUE(DeserializeItem(old, got));
    ExpectSame(expected, got);
    // Saved again, it is written in the compact form and reads back the same.
    const Bytes now = SerializeItem(got);
    EXPECT_LT(now.size(), old.size());
    ItemData again;
    ASSERT_TRUE(DeserializeItem(now, again));
    ExpectSame(expected, again);
}

// Damaged bytes are refused, never read as some other item: every cut of an item, an
// unknown format, a name number past the list, and text that is not well-formed.
TEST(ItemEncoding, RefusesDamagedBytes) {
    ItemData d;
    d.cls = ItemClass::Contact;
    d.props["FullName"] = Value::Text(u"Zo\u00EB \u6771 \U0001F600");
    d.props["Birthday"] = Value::Date(27000);
    d.mapi[0x8003] = Value::Binary(Bytes{1, 2, 3});
    const Bytes good = SerializeItem(d);
    ItemData out;
    for (std::size_t n = 0; n < good.size(); ++n) {
        SCOPED_TRACE(n);
        EXPECT_FALSE(DeserializeItem(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n)), out));
    }
    // Format 2, a contact, one property: name number `code`, a text of `text`.
    auto item = [](std::uint8_t code, Bytes text) {
        Bytes b(6 + text.size() + 4, 0x00);  // the last four: no mapi, recipients, pattern, exceptions
        const std::uint8_t head[] = {0x02, 0x03, 0x01, code, 0x04, static_cast<std::uint8_t>(text.size())};
        std::copy(std::begin(head), std::end(head), b.begin());
        std::copy(text.begin(), text.end(), b.begin() + 6);
        return b;
    };
    ASSERT_TRUE(DeserializeItem(item(1, {'o', 'k'}), out));
    EXPECT_EQ(out.props.at("LastName"), Value::Text(u"ok"));
    const struct {
        const char* what;
        Bytes bytes;
    } bad[] = {
        {"unknown format", [&] { Bytes b = good; b[0] = 0x03; return b; }()},
        {"name number past the list", item(0xEE, {'o', 'k'})},
        {"continuation byte alone", item(1, {0x80})},
        {"overlong two-byte", item(1, {0xC0, 0x80})},
        {"overlong three-byte", item(1, {0xE0, 0x80, 0x80})},
        {"overlong four-byte", item(1, {0xF0, 0x80, 0x80, 0x80})},
        {"past U+10FFFF", item(1, {0xF4, 0x90, 0x80, 0x80})},
        {"sequence cut short", item(1, {'a', 0xE2, 0x82})},
        {"lead byte without continuation", item(1, {0xC3, 'a'})},
        {"invalid lead byte", item(1, {0xFF})},
        {"trailing bytes", [&] { Bytes b = good; b.push_back(0); return b; }()},
    };
    for (const auto& row : bad) {
        SCOPED_TRACE(row.what);
        EXPECT_FALSE(DeserializeItem(row.bytes, out));
    }
}

}  // namespace
}  // namespace mireo
