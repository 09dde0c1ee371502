#pragma once
// Reads vCard 2.1 and 3.0 files into contact records. A pure parser: it takes the
// bytes of one file and gives its cards one by one; it never touches the host, the file
// system or a message box (invalid elements are reported through a callback).
//
// Bounded on any input: one pass over the bytes, a logical line keeps at most
// maxLineBytes (the rest of a longer line is passed over and the property ignored), and
// after maxCardBytes of one card its further properties are passed over until END; such a
// card comes with its fault set, and the import counts it failed.
#include <bitset>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "textformat/content_line.h"
#include "vcard/contact_record.h"

namespace mireo {

class MireoCharConverter;
class ILogger;

enum class VCardProblemKind {
    kInvalidQuotedPrintable,  // value kept undecoded (string 135 reported)
    kLineTooLong,             // property ignored
    kCardTooLong,             // the card's further properties ignored
    kUnknownCharset,          // decoded with the system default code page
    kInvalidDate,             // date left unset
    kCardWithoutEnd,          // cut off by the next BEGIN:VCARD or the end of the file
    kTelephoneWithoutSlot,    // every field the number could go to is taken
};

struct VCardProblem {
    VCardProblemKind kind;
    int line;              // 1-based physical line where the property starts
    std::string property;  // upper-case property name
};

// One card as the import needs it.
struct VCardCard {
    ContactRecord contact;  // dates null when absent, sensitivity normal when absent
    int line = 0;           // 1-based line of the BEGIN:VCARD line
    int version = 21;       // 21 or 30
    bool hadSkypeLines = false;
    bool sensitivitySet = false;
    std::vector<VCardProblem> problems;
    // Why the card cannot be imported whole, as a log line naming the card, its file and
    // line; empty for a whole card. A card cut off before its END, or one with a
    // property or a size beyond the reader's limits, is counted failed, never merged
    // into the next card or imported with a part missing.
    std::string fault;

    // Whether the property of ContactRecordProperties() at that index got a value (a text
    // that is not empty, a date, a class line for the sensitivity).
    bool IsSet(std::size_t propertyIndex) const { return propertyIndex < m_set.size() && m_set[propertyIndex]; }
    bool IsSet(std::string_view hostName) const;
    // Back to VCardCard{} for the next card, keeping the storage of its texts and lists.
    void Reset();

private:
    friend class CvCardReader;
    std::bitset<96> m_set;
};

struct VCardReaderOptions {
    int hostMajorVersion = 11;  // 9: X-OUTL-IMADDRESS is ignored
    // Replaces "," in 3.0 categories; ";" when empty.
    std::u16string listSeparator = u";";
    // Far beyond what the writer produces for any contact the host holds (a body of
    // several megabytes, quoted-printable), so Mireo's own files always fit.
    std::size_t maxLineBytes = std::size_t{64} << 20;   // 64 MiB per unfolded line
    std::size_t maxCardBytes = std::size_t{128} << 20;  // 128 MiB of input per card
    // Called with the text of string 135 (%1 file name, %2 property name), once per
    // value that stays undecoded. The import shows it in a message box.
    std::function<void(const std::string& message)> invalidElement;
    ILogger* logger = nullptr;  // warnings: unknown charsets, UTF-16 files, NUL bytes
};

// What a run over one or more files passed over, for diagnostics.
struct VCardReaderStats {
    std::map<std::string, int> unknownProperties;  // by upper-case name (at most 256 names, then "(other)")
    std::map<VCardProblemKind, int> problems;
    int cardsWithoutEnd = 0;    // cut off by the next BEGIN or the end of the file
    int endsWithoutBegin = 0;
};

class CvCardReader {
public:
    // converter may be null only for counting.
    CvCardReader(MireoCharConverter* converter, VCardReaderOptions options = {});
    ~CvCardReader();

    // Starts reading a file's bytes (kept by view: they must outlive the reading). A
    // UTF-8 byte-order mark is skipped; a UTF-16 file (FF FE or FE FF, or no mark and
    // the zero bytes of UTF-16) is converted to UTF-8 first. Lines without CHARSET in such files are UTF-8.
    void Open(std::string_view bytes, std::string fileName);
    // The next card (BEGIN:VCARD .. END:VCARD); false at the end of the file. A card cut
    // off by the next BEGIN:VCARD or the end of the file comes with its fault set.
    // A VERSION line anywhere in a card sets the rules of all its lines.
    bool Next(VCardCard& card);

    // The card's name for messages: its FN, else its name parts, else its company.
    static std::string CardName(const VCardCard& card);

    // Every card of a file.
    std::vector<VCardCard> ReadAll(std::string_view bytes, std::string fileName);

    // The number of cards Next would give for these bytes, by the same line rules and
    // the same line limit.
    static int CountCards(std::string_view bytes, const VCardReaderOptions& options = {});

    const VCardReaderStats& Stats() const { return m_stats; }

    // One property line's value, decoded (defined in the source file).
    struct Property;

private:
    void SetVersion(int version);
    void Dispatch(const ContentLine& line, VCardCard& card);
    void ReadCategories(const Property& v, std::u16string& out) const;
    void ReadProperty(const ContentLine& line, bool adr, Property& v, VCardCard& card);
    int CodePageOf(const Property& v, std::string_view property, VCardCard& card);
    // Appends the property's bytes decoded by its code page.
    void DecodeInto(const Property& v, std::u16string& out) const;
    void Problem(VCardCard& card, VCardProblemKind kind, int line, const std::string& property);
    void Finish(VCardCard& card);
    void SetFault(VCardCard& card);
    void ClearPeer();

    MireoCharConverter* m_converter;
    VCardReaderOptions m_options;
    CContentLineReader m_lines;
    std::string m_fileName;
    std::string m_converted;  // a UTF-16 file as UTF-8
    bool m_utf8File = false;
    bool m_warnedCharset = false;
    bool m_warnedNul = false;
    bool m_countOnly = false;
    int m_version = 21;
    VCardReaderStats m_stats;
    ContactRecord m_peer;  // other programs' values of the card, used where it has none
    bool m_peerUsed = false;
    std::size_t m_quietBefore = 0;  // lines of a card read again: not counted twice
    std::unique_ptr<Property> m_property;  // the value being read, reused from line to line
};

// "Element %2 format in %1 file is invalid..." with its place holders replaced.
std::string FormatInvalidElement(std::string_view fileName, std::string_view property);

}  // namespace mireo
