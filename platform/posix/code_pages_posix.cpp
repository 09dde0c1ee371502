// Code-page conversion for the Linux build, shaped after what WideCharToMultiByte and
// MultiByteToWideChar do with no flags: a character the code page lacks becomes '?',
// bytes that decode to nothing become the code page's default wide character, nothing
// is composed, decomposed, added or stripped.
//
// glibc iconv supplies the mappings, but only to build one table per code page on first
// use: converting through the tables keeps every call linear, keeps glibc's CP1255/CP1258
// from composing base letters with combining marks, and lets the bytes that a code page
// leaves undefined decode the way Windows decodes them.
//
// One difference remains on purpose: Windows writes a "best fit" look-alike for some
// characters a code page lacks (A for U+0100 under 1252); here they all become '?'.
#include "platform/code_pages.h"
#include "platform/utf.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace mireo {
namespace {

constexpr char16_t kNoChar = 0xFFFF;        // a byte (pair) with no character
constexpr std::uint16_t kNoBytes = 0xFFFF;  // a character with no bytes
constexpr char kDefaultChar = '?';
constexpr char16_t kReplacement = 0xFFFD;

// iconv descriptors are closed by their owner.
class CIconv {
public:
    CIconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~CIconv() {
        if (Valid()) iconv_close(m_cd);
    }
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;

    bool Valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts one whole piece from the initial state, flushing what the converter holds
    // back. False when iconv rejects any of it.
    bool ConvertPiece(const void* in, std::size_t inSize, char* out, std::size_t outCap,
                      std::size_t& outSize) {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char* src = static_cast<char*>(const_cast<void*>(in));
        char* dst = out;
        std::size_t inLeft = inSize;
        std::size_t outLeft = outCap;
        if (iconv(m_cd, &src, &inLeft, &dst, &outLeft) == static_cast<std::size_t>(-1)) return false;
        if (inLeft != 0) return false;
        if (iconv(m_cd, nullptr, nullptr, &dst, &outLeft) == static_cast<std::size_t>(-1)) return false;
        outSize = outCap - outLeft;
        return true;
    }

private:
    iconv_t m_cd;
};

enum class Kind { Utf8, SingleByte, DoubleByte };

// A byte that decodes differently from glibc's table: the private-use and C1 values
// Windows gives bytes the code page leaves undefined, and a few newer assignments.
struct ByteOverride {
    unsigned char byte;
    char16_t wide;
};

// A run of DBCS byte pairs that Windows maps onto the private use area (the user-defined
// characters of the East Asian code pages), both ways: first..last -> wide, wide + 1, ...
struct PairRun {
    std::uint16_t first;
    std::uint16_t last;
    char16_t wide;
};


constexpr ByteOverride kOverrides874[] = {{0xDB, 0xF8C1}, {0xDC, 0xF8C2}, {0xDD, 0xF8C3}, {0xDE, 0xF8C4},
                                          {0xFC, 0xF8C5}, {0xFD, 0xF8C6}, {0xFE, 0xF8C7}, {0xFF, 0xF8C8}};
constexpr ByteOverride kOverrides1253[] = {{0xAA, 0xF8F9}, {0xD2, 0xF8FA}, {0xFF, 0xF8FB}};
constexpr ByteOverride kOverrides1255[] = {{0xCA, 0x05BA}, {0xD9, 0xF88D}, {0xDA, 0xF88E}, {0xDB, 0xF88F},
                                           {0xDC, 0xF890}, {0xDD, 0xF891}, {0xDE, 0xF892}, {0xDF, 0xF893},
                                           {0xFB, 0xF894}, {0xFC, 0xF895}, {0xFF, 0xF896}};
constexpr ByteOverride kOverrides1257[] = {{0xA1, 0xF8FC}, {0xA5, 0xF8FD}};
constexpr ByteOverride kOverrides10000[] = {{0xBD, 0x2126}, {0xC6, 0x2206}, {0xF0, 0xF8FF}};
constexpr ByteOverride kOverrides932[] = {{0x80, 0x0080}, {0xA0, 0xF8F0}, {0xFD, 0xF8F1}, {0xFE, 0xF8F2},
                                          {0xFF, 0xF8F3}};
constexpr ByteOverride kOverrides936[] = {{0xFF, 0xF8F5}};
constexpr ByteOverride kOverrides949[] = {{0x80, 0x0080}, {0xFF, 0xF8F7}};
constexpr ByteOverride kOverrides950[] = {{0x80, 0x0080}, {0xFF, 0xF8F8}};

// Characters that a DBCS page holds twice and Windows writes with the other pair.
struct EncodeOverride {
    char16_t wide;
    std::uint16_t bytes;
};
constexpr EncodeOverride kEncode950[] = {{0x2550, 0xF9F9}, {0x255E, 0xF9E9}, {0x2561, 0xF9EB}, {0x256A, 0xF9EA}};
constexpr ByteOverride kOverrides21866[] = {{0xAE, 0x045E}, {0xBE, 0x040E}};

constexpr PairRun kUserDefined936[] = {
    {0xA140, 0xA17E, 0xE4C6}, {0xA180, 0xA1A0, 0xE505}, {0xA240, 0xA27E, 0xE526}, {0xA280, 0xA2A0, 0xE565},
    {0xA2AB, 0xA2B0, 0xE766}, {0xA2E3, 0xA2E4, 0xE76C}, {0xA2EF, 0xA2F0, 0xE76E}, {0xA2FD, 0xA2FE, 0xE770},
    {0xA340, 0xA37E, 0xE586}, {0xA380, 0xA3A0, 0xE5C5}, {0xA440, 0xA47E, 0xE5E6}, {0xA480, 0xA4A0, 0xE625},
    {0xA4F4, 0xA4FE, 0xE772}, {0xA540, 0xA57E, 0xE646}, {0xA580, 0xA5A0, 0xE685}, {0xA5F7, 0xA5FE, 0xE77D},
    {0xA640, 0xA67E, 0xE6A6}, {0xA680, 0xA6A0, 0xE6E5}, {0xA6B9, 0xA6C0, 0xE785}, {0xA6D9, 0xA6DF, 0xE78D},
    {0xA6EC, 0xA6ED, 0xE794}, {0xA6F3, 0xA6F3, 0xE796}, {0xA6F6, 0xA6FE, 0xE797}, {0xA740, 0xA77E, 0xE706},
    {0xA780, 0xA7A0, 0xE745}, {0xA7C2, 0xA7D0, 0xE7A0}, {0xA7F2, 0xA7FE, 0xE7AF}, {0xA896, 0xA8A0, 0xE7BC},
    {0xA8BC, 0xA8BC, 0xE7C7}, {0xA8BF, 0xA8BF, 0xE7C8}, {0xA8C1, 0xA8C4, 0xE7C9}, {0xA8EA, 0xA8FE, 0xE7CD},
    {0xA958, 0xA958, 0xE7E2}, {0xA95B, 0xA95B, 0xE7E3}, {0xA95D, 0xA95F, 0xE7E4}, {0xA989, 0xA995, 0xE7E7},
    {0xA997, 0xA9A3, 0xE7F4}, {0xA9F0, 0xA9FE, 0xE801}, {0xAAA1, 0xAAFE, 0xE000}, {0xABA1, 0xABFE, 0xE05E},
    {0xACA1, 0xACFE, 0xE0BC}, {0xADA1, 0xADFE, 0xE11A}, {0xAEA1, 0xAEFE, 0xE178}, {0xAFA1, 0xAFFE, 0xE1D6},
    {0xD7FA, 0xD7FE, 0xE810}, {0xF8A1, 0xF8FE, 0xE234}, {0xF9A1, 0xF9FE, 0xE292}, {0xFAA1, 0xFAFE, 0xE2F0},
    {0xFBA1, 0xFBFE, 0xE34E}, {0xFCA1, 0xFCFE, 0xE3AC}, {0xFDA1, 0xFDFE, 0xE40A}, {0xFE50, 0xFE7E, 0xE815},
    {0xFE80, 0xFEA0, 0xE844}, {0xFEA1, 0xFEFE, 0xE468},
};
constexpr PairRun kUserDefined949[] = {
    {0xC9A1, 0xC9FE, 0xE000}, {0xFEA1, 0xFEFE, 0xE05E},
};
constexpr PairRun kUserDefined950[] = {
    {0x8140, 0x817E, 0xEEB8}, {0x81A1, 0x81FE, 0xEEF7}, {0x8240, 0x827E, 0xEF55}, {0x82A1, 0x82FE, 0xEF94},
    {0x8340, 0x837E, 0xEFF2}, {0x83A1, 0x83FE, 0xF031}, {0x8440, 0x847E, 0xF08F}, {0x84A1, 0x84FE, 0xF0CE},
    {0x8540, 0x857E, 0xF12C}, {0x85A1, 0x85FE, 0xF16B}, {0x8640, 0x867E, 0xF1C9}, {0x86A1, 0x86FE, 0xF208},
    {0x8740, 0x877E, 0xF266}, {0x87A1, 0x87FE, 0xF2A5}, {0x8840, 0x887E, 0xF303}, {0x88A1, 0x88FE, 0xF342},
    {0x8940, 0x897E, 0xF3A0}, {0x89A1, 0x89FE, 0xF3DF}, {0x8A40, 0x8A7E, 0xF43D}, {0x8AA1, 0x8AFE, 0xF47C},
    {0x8B40, 0x8B7E, 0xF4DA}, {0x8BA1, 0x8BFE, 0xF519}, {0x8C40, 0x8C7E, 0xF577}, {0x8CA1, 0x8CFE, 0xF5B6},
    {0x8D40, 0x8D7E, 0xF614}, {0x8DA1, 0x8DFE, 0xF653}, {0x8E40, 0x8E7E, 0xE311}, {0x8EA1, 0x8EFE, 0xE350},
    {0x8F40, 0x8F7E, 0xE3AE}, {0x8FA1, 0x8FFE, 0xE3ED}, {0x9040, 0x907E, 0xE44B}, {0x90A1, 0x90FE, 0xE48A},
    {0x9140, 0x917E, 0xE4E8}, {0x91A1, 0x91FE, 0xE527}, {0x9240, 0x927E, 0xE585}, {0x92A1, 0x92FE, 0xE5C4},
    {0x9340, 0x937E, 0xE622}, {0x93A1, 0x93FE, 0xE661}, {0x9440, 0x947E, 0xE6BF}, {0x94A1, 0x94FE, 0xE6FE},
    {0x9540, 0x957E, 0xE75C}, {0x95A1, 0x95FE, 0xE79B}, {0x9640, 0x967E, 0xE7F9}, {0x96A1, 0x96FE, 0xE838},
    {0x9740, 0x977E, 0xE896}, {0x97A1, 0x97FE, 0xE8D5}, {0x9840, 0x987E, 0xE933}, {0x98A1, 0x98FE, 0xE972},
    {0x9940, 0x997E, 0xE9D0}, {0x99A1, 0x99FE, 0xEA0F}, {0x9A40, 0x9A7E, 0xEA6D}, {0x9AA1, 0x9AFE, 0xEAAC},
    {0x9B40, 0x9B7E, 0xEB0A}, {0x9BA1, 0x9BFE, 0xEB49}, {0x9C40, 0x9C7E, 0xEBA7}, {0x9CA1, 0x9CFE, 0xEBE6},
    {0x9D40, 0x9D7E, 0xEC44}, {0x9DA1, 0x9DFE, 0xEC83}, {0x9E40, 0x9E7E, 0xECE1}, {0x9EA1, 0x9EFE, 0xED20},
    {0x9F40, 0x9F7E, 0xED7E}, {0x9FA1, 0x9FFE, 0xEDBD}, {0xA040, 0xA07E, 0xEE1B}, {0xA0A1, 0xA0FE, 0xEE5A},
    {0xC6A1, 0xC6FE, 0xF6B1}, {0xC740, 0xC77E, 0xF70F}, {0xC7A1, 0xC7FE, 0xF74E}, {0xC840, 0xC87E, 0xF7AC},
    {0xC8A1, 0xC8FE, 0xF7EB}, {0xFA40, 0xFA7E, 0xE000}, {0xFAA1, 0xFAFE, 0xE03F}, {0xFB40, 0xFB7E, 0xE09D},
    {0xFBA1, 0xFBFE, 0xE0DC}, {0xFC40, 0xFC7E, 0xE13A}, {0xFCA1, 0xFCFE, 0xE179}, {0xFD40, 0xFD7E, 0xE1D7},
    {0xFDA1, 0xFDFE, 0xE216}, {0xFE40, 0xFE7E, 0xE274}, {0xFEA1, 0xFEFE, 0xE2B3},
};

struct CodePageInfo {
    int codePage;
    const char* iconvName;
    Kind kind;
    // What a byte (pair) with no character decodes to: the DBCS pages have their own
    // default character; single-byte pages define all 256 bytes.
    char16_t defaultWide = 0;
    std::span<const ByteOverride> overrides = {};
    // Lead bytes of a DBCS page, as Windows knows them: a lead byte takes the byte after it
    // even when that pair is undefined.
    unsigned char leadFirst = 0, leadLast = 0, leadFirst2 = 0, leadLast2 = 0;
    std::span<const PairRun> userDefined = {};
    std::span<const EncodeOverride> encodeOverrides = {};
    // US-ASCII: Windows decodes the upper half by dropping the high bit.
    bool maskHighBit = false;
};

// Windows code page numbers and the glibc names of the same mappings.
constexpr CodePageInfo kCodePages[] = {
    {65001, "UTF-8", Kind::Utf8, kReplacement},
    {874, "CP874", Kind::SingleByte, 0, kOverrides874},
    {932, "CP932", Kind::DoubleByte, 0x30FB, kOverrides932, 0x81, 0x9F, 0xE0, 0xFC},
    {936, "CP936", Kind::DoubleByte, 0x003F, kOverrides936, 0x81, 0xFE, 0, 0, kUserDefined936},
    {949, "CP949", Kind::DoubleByte, 0x003F, kOverrides949, 0x81, 0xFE, 0, 0, kUserDefined949},
    {950, "CP950", Kind::DoubleByte, 0x003F, kOverrides950, 0x81, 0xFE, 0, 0, kUserDefined950,
     kEncode950},
    {1250, "CP1250", Kind::SingleByte},
    {1251, "CP1251", Kind::SingleByte},
    {1252, "CP1252", Kind::SingleByte},
    {1253, "CP1253", Kind::SingleByte, 0, kOverrides1253},
    {1254, "CP1254", Kind::SingleByte},
    {1255, "CP1255", Kind::SingleByte, 0, kOverrides1255},
    {1256, "CP1256", Kind::SingleByte},
    {1257, "CP1257", Kind::SingleByte, 0, kOverrides1257},
    {1258, "CP1258", Kind::SingleByte},
    {437, "CP437", Kind::SingleByte},
    {737, "CP737", Kind::SingleByte},
    {775, "CP775", Kind::SingleByte},
    {850, "CP850", Kind::SingleByte},
    {852, "CP852", Kind::SingleByte},
    {855, "CP855", Kind::SingleByte},
    {857, "CP857", Kind::SingleByte},
    {860, "CP860", Kind::SingleByte},
    {861, "CP861", Kind::SingleByte},
    {862, "CP862", Kind::SingleByte},
    {863, "CP863", Kind::SingleByte},
    {865, "CP865", Kind::SingleByte},
    {866, "CP866", Kind::SingleByte},
    {869, "CP869", Kind::SingleByte},
    {10000, "MACINTOSH", Kind::SingleByte, 0, kOverrides10000},
    {10007, "MAC-CYRILLIC", Kind::SingleByte},
    {20127, "ANSI_X3.4-1968", Kind::SingleByte, 0, {}, 0, 0, 0, 0, {}, {}, true},
    {20866, "KOI8-R", Kind::SingleByte},
    // Windows' KOI8-U has the Belarusian short u where glibc's has box drawing.
    {21866, "KOI8-U", Kind::SingleByte, 0, kOverrides21866},
    {28591, "ISO-8859-1", Kind::SingleByte},
    {28592, "ISO-8859-2", Kind::SingleByte},
    {28593, "ISO-8859-3", Kind::SingleByte},
    {28594, "ISO-8859-4", Kind::SingleByte},
    {28595, "ISO-8859-5", Kind::SingleByte},
    {28596, "ISO-8859-6", Kind::SingleByte},
    {28597, "ISO-8859-7", Kind::SingleByte},
    {28598, "ISO-8859-8", Kind::SingleByte},
    {28599, "ISO-8859-9", Kind::SingleByte},
    {28603, "ISO-8859-13", Kind::SingleByte},
    {28605, "ISO-8859-15", Kind::SingleByte},
};
constexpr std::size_t kCodePageCount = sizeof kCodePages / sizeof kCodePages[0];

// The two directions of one code page. A DBCS page decodes a lead byte and the byte
// after it through m_pairs; m_encode holds one byte (< 0x100) or a lead/trail pair.
struct CodePageTable {
    bool valid = false;
    std::array<char16_t, 256> single{};
    std::array<bool, 256> lead{};
    std::vector<char16_t> pairs;         // lead * 256 + trail
    std::vector<std::uint16_t> encode;   // by UTF-16 unit
};

// The byte pair of a character, unless one is there already (the first claim wins).
void ClaimEncoding(CodePageTable& t, char16_t wide, std::uint16_t bytes) {
    if (t.encode[wide] == kNoBytes) t.encode[wide] = bytes;
}

void BuildSingleByte(const CodePageInfo& info, CodePageTable& t) {
    CIconv toWide("UTF-16LE", info.iconvName);
    if (!toWide.Valid()) return;
    t.encode.assign(0x10000, kNoBytes);
    for (int b = 0; b < 256; ++b) {
        const unsigned char in = static_cast<unsigned char>(b);
        unsigned char out[16];
        std::size_t n = 0;
        char16_t wc = static_cast<char16_t>(b);  // undefined bytes: the C1 control / Latin-1 value
        if (toWide.ConvertPiece(&in, 1, reinterpret_cast<char*>(out), sizeof out, n) && n == 2)
            wc = static_cast<char16_t>(out[0] | (out[1] << 8));
        t.single[b] = wc;
    }
    for (const ByteOverride& o : info.overrides) t.single[o.byte] = o.wide;
    if (info.maskHighBit)
        for (int b = 0x80; b < 256; ++b) t.single[b] = static_cast<char16_t>(b & 0x7F);
    // The byte that decodes to a character encodes it again; the lowest byte wins.
    for (int b = 0; b < 256; ++b) ClaimEncoding(t, t.single[b], static_cast<std::uint16_t>(b));
    t.valid = true;
}

void BuildDoubleByte(const CodePageInfo& info, CodePageTable& t) {
    CIconv toWide("UTF-16LE", info.iconvName);
    CIconv toMulti(info.iconvName, "UTF-16LE");
    if (!toWide.Valid() || !toMulti.Valid()) return;
    t.pairs.assign(0x10000, kNoChar);
    t.encode.assign(0x10000, kNoBytes);
    for (int b = 0; b < 256; ++b) {
        t.lead[b] = (b >= info.leadFirst && b <= info.leadLast && info.leadFirst != 0) ||
                    (b >= info.leadFirst2 && b <= info.leadLast2 && info.leadFirst2 != 0);
    }
    unsigned char out[16];
    std::size_t n = 0;
    for (int b = 0; b < 256; ++b) {
        const unsigned char in = static_cast<unsigned char>(b);
        t.single[b] = kNoChar;
        if (t.lead[b]) continue;
        if (toWide.ConvertPiece(&in, 1, reinterpret_cast<char*>(out), sizeof out, n) && n == 2)
            t.single[b] = static_cast<char16_t>(out[0] | (out[1] << 8));
    }
    for (const ByteOverride& o : info.overrides) t.single[o.byte] = o.wide;
    for (int lead = 0; lead < 256; ++lead) {
        if (!t.lead[lead]) continue;
        for (int trail = 1; trail < 256; ++trail) {
            const unsigned char in[2] = {static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)};
            if (toWide.ConvertPiece(in, 2, reinterpret_cast<char*>(out), sizeof out, n) && n == 2)
                t.pairs[lead * 256 + trail] = static_cast<char16_t>(out[0] | (out[1] << 8));
        }
    }
    for (const PairRun& r : info.userDefined) {
        for (std::uint32_t p = r.first; p <= r.last; ++p) t.pairs[p] = static_cast<char16_t>(r.wide + (p - r.first));
    }
    // The encoder's own choice for characters with more than one byte pair (the NEC and
    // IBM duplicates of 932, ...), as the Windows tables pick them; it must decode back.
    for (std::uint32_t c = 0; c < 0x10000; ++c) {
        if (c >= 0xD800 && c < 0xE000) continue;
        const unsigned char in[2] = {static_cast<unsigned char>(c & 0xFF), static_cast<unsigned char>(c >> 8)};
        if (!toMulti.ConvertPiece(in, 2, reinterpret_cast<char*>(out), sizeof out, n)) continue;
        if (n == 1 && t.single[out[0]] == c) {
            t.encode[c] = out[0];
        } else if (n == 2 && t.lead[out[0]] && t.pairs[out[0] * 256 + out[1]] == c) {
            t.encode[c] = static_cast<std::uint16_t>(out[0] << 8 | out[1]);
        }
    }
    for (const EncodeOverride& o : info.encodeOverrides) t.encode[o.wide] = o.bytes;
    // Whatever decodes and has no encoding yet encodes to the bytes it came from.
    for (int b = 0; b < 256; ++b)
        if (t.single[b] != kNoChar) ClaimEncoding(t, t.single[b], static_cast<std::uint16_t>(b));
    for (std::uint32_t p = 0; p < 0x10000; ++p)
        if (t.pairs[p] != kNoChar) ClaimEncoding(t, t.pairs[p], static_cast<std::uint16_t>(p));
    t.valid = true;
}

const CodePageInfo* FindCodePage(int codePage) {
    for (const CodePageInfo& info : kCodePages)
        if (info.codePage == codePage) return &info;
    return nullptr;
}

// Tables are built once per code page and never freed; the lock only guards building.
const CodePageTable* TableFor(const CodePageInfo& info) {
    static std::array<std::once_flag, kCodePageCount> once;
    static std::array<CodePageTable, kCodePageCount> tables;
    const std::size_t i = static_cast<std::size_t>(&info - kCodePages);
    std::call_once(once[i], [&] {
        if (info.kind == Kind::SingleByte) BuildSingleByte(info, tables[i]);
        else if (info.kind == Kind::DoubleByte) BuildDoubleByte(info, tables[i]);
    });
    return tables[i].valid ? &tables[i] : nullptr;
}

std::string EncodeByTable(const CodePageTable& t, std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (const char16_t c : text) {
        const std::uint16_t v = t.encode[c];
        // A character outside the BMP is two missing units, "??", as Windows writes it.
        if (v == kNoBytes || utf::IsSurrogate(c)) {
            out += kDefaultChar;
        } else if (v < 0x100) {
            out += static_cast<char>(v);
        } else {
            out += static_cast<char>(v >> 8);
            out += static_cast<char>(v & 0xFF);
        }
    }
    return out;
}

std::u16string DecodeByTable(const CodePageInfo& info, const CodePageTable& t, std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char b = s[i];
        if (info.kind == Kind::DoubleByte && t.lead[b]) {
            // A lead byte takes the next byte with it whatever it is, except a NUL; a lead
            // byte at the very end or before a NUL stands for the default character.
            if (i + 1 < bytes.size() && s[i + 1] != 0) {
                const char16_t wc = t.pairs[b * 256 + s[i + 1]];
                out += wc == kNoChar ? info.defaultWide : wc;
                ++i;
            } else {
                out += info.defaultWide;
            }
            continue;
        }
        const char16_t wc = t.single[b];
        out += wc == kNoChar ? info.defaultWide : wc;
    }
    return out;
}

int ParseAnsiCodePage() {
    const char* env = std::getenv("MIREO_ANSI_CODEPAGE");
    if (env != nullptr && *env != '\0') {
        int value = 0;
        const char* end = env + std::strlen(env);
        const auto [ptr, ec] = std::from_chars(env, end, value);
        if (ec == std::errc() && ptr == end && value > 0) return value;
    }
    return 1252;
}

class CPosixCodePages final : public ICodePages {
public:
    int AnsiCodePage() const override { return ParseAnsiCodePage(); }

    int WideToMulti(int codePage, std::u16string_view text, std::string& out) const override {
        if (text.empty()) return 0;
        const CodePageInfo* info = FindCodePage(codePage);
        if (info == nullptr) return 0;
        std::string result;
        if (info->kind == Kind::Utf8) {
            result = utf::Utf16ToUtf8(text);
        } else {
            const CodePageTable* t = TableFor(*info);
            if (t == nullptr) return 0;
            result = EncodeByTable(*t, text);
        }
        if (result.empty() || result.size() > 0x7FFFFFFF) return 0;
        out = std::move(result);
        return static_cast<int>(out.size());
    }

    int MultiToWide(int codePage, std::string_view bytes, std::u16string& out) const override {
        if (bytes.empty()) return 0;
        const CodePageInfo* info = FindCodePage(codePage);
        if (info == nullptr) return 0;
        std::u16string result;
        if (info->kind == Kind::Utf8) {
            result = utf::Utf8ToUtf16(bytes, utf::BadUtf8::kMaximalSubpart);
        } else {
            const CodePageTable* t = TableFor(*info);
            if (t == nullptr) return 0;
            result = DecodeByTable(*info, *t, bytes);
        }
        if (result.empty() || result.size() > 0x7FFFFFFF) return 0;
        out = std::move(result);
        return static_cast<int>(out.size());
    }

    bool IsValidCodePage(int codePage) const override {
        const CodePageInfo* info = FindCodePage(codePage);
        return info != nullptr && (info->kind == Kind::Utf8 || TableFor(*info) != nullptr);
    }
};

}  // namespace

const ICodePages& SystemCodePages() {
    static const CPosixCodePages instance;
    return instance;
}

}  // namespace mireo
