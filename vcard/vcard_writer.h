#pragma once
// Builds one vCard (2.1 or 3.0) as 8-bit text from a contact record.
#include <array>
#include <initializer_list>
#include <string>
#include <string_view>

#include "engine/date_time.h"
#include "vcard/contact_record.h"

namespace mireo {

// Turns host text into the bytes of the code page chosen for the run. The export glue
// implements it over the shared character converter.
class IValueEncoder {
public:
    virtual ~IValueEncoder() = default;
    // Charset name written in CHARSET parameters; empty for the system default, and
    // then no CHARSET parameter is written.
    virtual std::string CharsetName() = 0;
    // Replaces out with the bytes of text in the chosen code page and returns their
    // count, or -2 when nothing could be converted (empty text, unknown code page);
    // the value is then written empty.
    virtual int Encode(std::u16string_view text, std::string& out) = 0;
    // True when Encode writes every well-formed text as its UTF-8 bytes, nothing lost:
    // the writer then escapes and encodes 3.0 values in one pass, straight from the
    // text (a text with an unpaired surrogate still goes through Encode).
    virtual bool EncodesAsUtf8() { return false; }
};

constexpr int kVCard21 = 21;
constexpr int kVCard30 = 30;

struct VCardWriterOptions {
    int version = kVCard21;     // kVCard21 or kVCard30
    int hostMajorVersion = 9;   // host major version; 10 and above write X-OUTL-IMADDRESS
    int productMajor = 1;       // PRODID (3.0): high and low word of the product
    int productMinor = 0;       // version's most significant part
    // The user's list separator, which joins the names in Categories; ";" when the
    // locale gives none.
    std::u16string listSeparator = u";";
    // 3.0 CATEGORIES as a real list (Work,Home: names split at the separator, trimmed,
    // escaped one by one), which other programs read as several categories. Off: one
    // escaped value (Work\,Home), as earlier versions wrote; our reader takes both the
    // same way.
    bool categoriesAsList = true;
};

// Up to two TYPE values of a property line (TEL;WORK;FAX).
struct VCardTypes {
    const char* first = nullptr;
    const char* second = nullptr;
};

class CvCardWriter {
public:
    CvCardWriter(IValueEncoder& encoder, VCardWriterOptions options);

    // Replaces out with the whole card, every line ending in CR LF. Any size: the text
    // grows as needed.
    void BuildCard(const ContactRecord& contact, std::string& out);

    const VCardWriterOptions& Options() const { return m_options; }

private:
    enum class Kind { kText, kPlain };

    void Head(std::string_view name, VCardTypes types, bool quotedPrintable);
    void TextLine(std::string_view name, VCardTypes types, std::u16string_view value,
                  Kind kind = Kind::kText);
    void StructuredLine(std::string_view name, VCardTypes types,
                        std::initializer_list<std::u16string_view> components, bool dropEmptyTail = false);
    void NoteLine(std::u16string_view body);
    void DateLine(std::string_view name, LocalTime date, bool withTime);
    void CategoriesLine(std::u16string_view categories);
    void EncodeValue(std::u16string_view text);
    // The text with its 3.0 escapes, encoded, appended to out.
    void AppendEscaped30(std::u16string_view text, bool component, std::string& out);
    // A 3.0 value without escapes but its line breaks, encoded, appended to out.
    void AppendPlain30(std::u16string_view text, std::string& out);

    IValueEncoder& m_encoder;
    VCardWriterOptions m_options;
    std::string m_start;    // BEGIN, PRODID (3.0) and VERSION lines
    std::string m_charsetParam;  // ";CHARSET=" and the charset of the card being built, or empty
    // The heads of the lines written ("TEL;CHARSET=UTF-8;TYPE=WORK:"), by the addresses
    // of their literal names and types, made with m_charsetParam.
    struct HeadEntry {
        const char* name = nullptr;
        std::size_t nameSize = 0;
        const char* first = nullptr;
        const char* second = nullptr;
        bool quotedPrintable = false;
        std::string text;
    };
    std::array<HeadEntry, 64> m_heads;
    bool m_utf8 = false;    // the encoder's EncodesAsUtf8, for the card being built
    std::string* m_out = nullptr;
    std::string m_bytes;    // one encoded value
    std::string m_value;    // one value before quoted-printable
    std::u16string m_escaped;  // one 3.0 value with its escapes, before encoding
};

}  // namespace mireo
