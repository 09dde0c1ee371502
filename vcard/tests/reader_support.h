#pragma once
// Shared pieces of the vCard reader tests: the converter over the shipped encodings
// list, an encoder over it for the writer, and a field-by-field record comparison.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "encoding/mireo_char_converter.h"
#include "platform/utf.h"
#include "vcard/contact_record.h"
#include "vcard/tests/golden.h"
#include "vcard/vcard_writer.h"

namespace mireo::test {

inline MireoCharConverter& ShippedConverter() {
    static std::unique_ptr<MireoCharConverter> converter = MireoCharConverter::FromText(
        ReadFileBytes(std::string(MIREO_TESTDATA_DIR) + "/../resources/supportedEncodings.txt"));
    return *converter;
}

// Writes with the converter and a charset name of the list ("" for the system default).
class CConverterEncoder : public IValueEncoder {
public:
    explicit CConverterEncoder(std::string charset) : m_charset(std::move(charset)) {}
    std::string CharsetName() override { return m_charset; }
    int Encode(std::u16string_view text, std::string& out) override {
        return ShippedConverter().EncodeByCharset(m_charset, text, out);
    }

private:
    std::string m_charset;
};

inline std::string Utf8(const std::u16string& s) { return utf::Utf16ToUtf8(s); }

// Every property the import fills, compared one by one, naming the property.
inline ::testing::AssertionResult SameImportFields(const ContactRecord& expected, const ContactRecord& actual) {
    std::string diff;
    for (const ContactPropertyInfo& p : ContactRecordProperties()) {
        if ((p.usedBy & kUsedByImport) == 0) continue;
        if (p.text != nullptr && expected.*(p.text) != actual.*(p.text)) {
            diff += std::string(p.name) + ": expected \"" + Utf8(expected.*(p.text)) + "\", got \"" +
                    Utf8(actual.*(p.text)) + "\"\n";
        }
        if (p.date != nullptr && expected.*(p.date) != actual.*(p.date)) {
            diff += std::string(p.name) + ": expected " + std::to_string(OleFromLocal(expected.*(p.date))) +
                    ", got " + std::to_string(OleFromLocal(actual.*(p.date))) + "\n";
        }
        if (p.integer != nullptr && expected.*(p.integer) != actual.*(p.integer)) {
            diff += std::string(p.name) + ": expected " + std::to_string(expected.*(p.integer)) + ", got " +
                    std::to_string(actual.*(p.integer)) + "\n";
        }
    }
    if (diff.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << diff;
}

}  // namespace mireo::test
