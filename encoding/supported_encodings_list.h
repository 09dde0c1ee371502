#pragma once
// The encodings the add-in offers, as listed in "supportedEncodings.txt" beside the
// module: one record per line, "display name|charset name|code page".
#include <cstddef>
#include <list>
#include <string>
#include <string_view>

namespace mireo {

struct EncodingRecord {
    std::string displayName;  // shown in the wizards' lists and kept in the settings
    std::string charsetName;  // written in and read from CHARSET parameters
    int codePage = 0;         // Windows code page number, 65001 for UTF-8
};

// The records in file order.
class SupportedEncodingsList {
public:
    using const_iterator = std::list<EncodingRecord>::const_iterator;

    void Append(EncodingRecord record) { m_records.push_back(std::move(record)); }
    void Clear() { m_records.clear(); }
    bool Empty() const { return m_records.empty(); }
    std::size_t Size() const { return m_records.size(); }
    const_iterator begin() const { return m_records.begin(); }
    const_iterator end() const { return m_records.end(); }

    // Reads the text of an encodings file. Lines end at any run of CR and LF; reading
    // stops at the first empty line. A line with fewer than three fields or a code page
    // that is not a positive number is bad. Returns false, leaving the list holding only
    // UTF-8, when any line is bad or no record was read; otherwise the list holds the
    // file's records.
    bool LoadFromText(std::string_view text);

    // The list a missing or bad file leaves: UTF-8 alone.
    void SetUtf8Only();

private:
    std::list<EncodingRecord> m_records;
};

// Fields of one line: a run of "|" is one separator and separators at the start are
// ignored, so no field is empty. Fields keep their spaces.
std::size_t SplitEncodingLine(std::string_view line, std::string_view* fields, std::size_t maxFields);

// The code page field, read as strtol reads it in base 10 (leading white space and a sign
// allowed, reading stops at the first non-digit, saturating at the 32-bit limits); 0
// when no digit starts the field.
int ParseCodePageField(std::string_view field);

}  // namespace mireo
