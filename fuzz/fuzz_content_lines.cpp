// Feeds any bytes to the content-line reader in both dialects (vCard 2.1's soft breaks
// with small limits, iCalendar's folding), and each value to the quoted-printable,
// escape and date helpers. Besides not crashing or hanging: every line keeps within
// its limits and its parts lie inside it, and what the writers' helpers produce reads
// back to what they were given; and the block lines and BEGIN counts found by line
// starts alone, whenever they are given, are those the reader gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ascii.h"
#include "textformat/content_line.h"
#include "textformat/date_text.h"
#include "textformat/quoted_printable.h"
#include "textformat/text_escape.h"

namespace {

using namespace mireo;

void Check(bool ok) {
    if (!ok) std::abort();
}

bool Inside(std::string_view part, std::string_view whole) {
    return part.empty() || (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

// CR LF, lone CR and lone LF as CR LF: what a 3.0 value's breaks read back as.
std::u16string NormalisedBreaks(std::u16string_view s) {
    std::u16string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == u'\r' || s[i] == u'\n') {
            if (s[i] == u'\r' && i + 1 < s.size() && s[i + 1] == u'\n') ++i;
            out += u"\r\n";
        } else {
            out += s[i];
        }
    }
    return out;
}

void CheckValue(std::string_view value) {
    std::string decoded;
    DecodeQuotedPrintableOrKeep(value, decoded);

    std::string encoded;
    AppendQuotedPrintable(value, encoded);
    std::string withoutNul;
    for (char c : value) {
        if (c != '\0') withoutNul += c;
    }
    Check(DecodeQuotedPrintable(encoded, decoded) && decoded == withoutNul);

    const std::u16string text(value.begin(), value.end());
    std::u16string escaped;
    AppendEscaped30(text, true, escaped);
    const auto parts = SplitComponents(escaped, 8, kVCard30Escapes);
    Check(parts.size() == 1 && Unescape(parts[0], kVCard30Escapes) == NormalisedBreaks(text));
    Unescape(text, kVCard21Escapes);
    SplitComponents(text, 7, kVCard21Escapes);

    if (const auto t = ParseDateTime(value)) {
        const std::string again = t->utc ? FormatDateTime(t->Utc()) : FormatDateTime(t->time);
        const auto back = ParseDateTime(again);
        Check(back && back->time == t->time && back->utc == t->utc);
    }
    ParseDatePrefix(value);
}

void ReadAll(std::string_view bytes, const ContentLineOptions& options, bool checkValues) {
    static constexpr std::string_view kAdr[] = {"ADR"};
    CContentLineReader reader(options);
    reader.SetImplicitQuotedPrintable(kAdr);
    reader.Open(bytes);
    ContentLine line;
    std::vector<std::pair<bool, std::string>> blocks;
    bool blockWithParams = false;
    std::size_t events = 0;
    int lastLine = 0;
    std::size_t lastPos = 0;
    while (reader.Next(line)) {
        Check(line.text.size() <= std::max<std::size_t>(options.maxLineBytes, 64));
        Check(line.name.size() <= 64);
        Check(line.lineNo > lastLine && line.lineNo <= reader.PhysicalLines());
        Check(reader.Position() > lastPos && reader.Position() <= bytes.size());
        Check(Inside(line.group, line.text) && Inside(line.params, line.text) && Inside(line.value, line.text));
        lastLine = reader.PhysicalLines();
        lastPos = reader.Position();
        for (ParamQuotes quotes : {ParamQuotes::kIgnore, ParamQuotes::kRespect}) {
            std::string_view rest = line.params;
            ContentParam p;
            while (NextParam(rest, p, quotes)) {
                Check(!p.text.empty() && Inside(p.text, line.params));
                Check(Inside(p.name, p.text) && Inside(p.value, p.text));
            }
        }
        if (checkValues) CheckValue(line.value.substr(0, 4096));
        const bool begin = line.name == "BEGIN";
        if (begin || line.name == "END") {
            if (!line.params.empty()) blockWithParams = true;
            else blocks.emplace_back(begin, std::string(ascii::Trim(line.value)));
            if (begin && line.params.empty() && ascii::StartsWithNoCase(line.value, "VEVENT")) ++events;
        }
    }
    Check(reader.Position() == bytes.size());

    // ADR takes soft breaks in the reader; where the walk answers, that cannot matter.
    std::vector<std::pair<bool, std::string>> seen;
    if (ScanBlockLines(bytes, options, [&](bool begin, std::string_view value) {
            seen.emplace_back(begin, std::string(value));
            return true;
        }, kAdr))
        Check(!blockWithParams && seen == blocks);
    if (const auto count = CountBeginLines(bytes, "VEVENT", options, kAdr)) Check(*count == events);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    static constexpr std::string_view kStops[] = {"END:VCARD", "END:VEVENT"};
    ContentLineOptions vcard21;
    vcard21.maxLineBytes = 64;
    vcard21.quotedPrintableSoftBreaks = true;
    vcard21.softBreakStops = kStops;
    ReadAll(bytes, vcard21, false);
    ContentLineOptions icalendar;
    icalendar.maxLineBytes = 4096;
    ReadAll(bytes, icalendar, true);
    return 0;
}
