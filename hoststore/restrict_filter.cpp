#include "hoststore/restrict_filter.h"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "hoststore/text_fold.h"
#include "platform/ascii.h"
#include "platform/hresult.h"
#include "platform/locale_info.h"

namespace mireo {

namespace {

constexpr const char* kItemsIface = "_Items";

[[noreturn]] void Refuse(const std::string& why) {
    throw HostError(kDispEException, kItemsIface, "cannot parse condition: " + why);
}

using ascii::IsWhiteSpace;

// The properties a condition may name, by their name in lower case: the appointment's
// first, then the contact's, as the names are looked up. A duplicate search parses a
// filter for every imported item, and a walk over both tables with a case-insensitive
// compare of each name cost more than the rest of the parse.
class CFilterNames {
public:
    CFilterNames() {
        for (auto table : {AppointmentProperties(), ContactProperties()}) {
            for (const HostProperty& p : table) m_byName.emplace(ascii::Lower(p.name), &p);
        }
    }
    // Null when no property has this name (names are ASCII; any other text is unknown).
    const HostProperty* Find(std::u16string_view name) const {
        std::string key(name.size(), '\0');
        for (std::size_t i = 0; i < name.size(); ++i) {
            if (name[i] >= 0x80) return nullptr;
            key[i] = ascii::ToLower(static_cast<char>(name[i]));
        }
        const auto it = m_byName.find(key);
        return it == m_byName.end() ? nullptr : it->second;
    }

private:
    std::unordered_map<std::string, const HostProperty*> m_byName;
};

const CFilterNames& FilterNames() {
    static const CFilterNames names;
    return names;
}

class CParser {
public:
    CParser(std::u16string_view text, const std::string& picture) : m_text(text), m_picture(picture) {}

    FilterNode ParseAll() {
        FilterNode n = ParseOr();
        SkipSpace();
        if (m_pos != m_text.size()) Refuse("unexpected text at position " + std::to_string(m_pos + 1));
        return n;
    }

private:
    void SkipSpace() {
        while (m_pos < m_text.size() && IsWhiteSpace(m_text[m_pos])) ++m_pos;
    }

    // A keyword followed by a space, "(" or "[" (or the end for nothing useful).
    bool TakeKeyword(std::u16string_view kw) {
        SkipSpace();
        if (m_text.size() - m_pos < kw.size()) return false;
        for (std::size_t i = 0; i < kw.size(); ++i) {
            if (ascii::ToLower(m_text[m_pos + i]) != kw[i]) return false;
        }
        const std::size_t after = m_pos + kw.size();
        if (after < m_text.size()) {
            const char16_t c = m_text[after];
            if (!IsWhiteSpace(c) && c != u'(' && c != u'[') return false;
        }
        m_pos = after;
        return true;
    }

    FilterNode ParseOr() {
        FilterNode first = ParseAnd();
        if (!TakeKeywordPeek(u"or")) return first;
        FilterNode n;
        n.kind = FilterNode::Kind::Or;
        n.children.push_back(std::move(first));
        while (TakeKeyword(u"or")) n.children.push_back(ParseAnd());
        return n;
    }

    FilterNode ParseAnd() {
        FilterNode first = ParseTerm();
        if (!TakeKeywordPeek(u"and")) return first;
        FilterNode n;
        n.kind = FilterNode::Kind::And;
        n.children.push_back(std::move(first));
        while (TakeKeyword(u"and")) n.children.push_back(ParseTerm());
        return n;
    }

    bool TakeKeywordPeek(std::u16string_view kw) {
        const std::size_t save = m_pos;
        const bool found = TakeKeyword(kw);
        m_pos = save;
        return found;
    }

    FilterNode ParseTerm() {
        if (++m_depth > 200) Refuse("nested too deeply");
        SkipSpace();
        if (m_pos >= m_text.size()) Refuse("condition expected at the end of the text");
        FilterNode n;
        if (TakeKeyword(u"not")) {
            n.kind = FilterNode::Kind::Not;
            n.children.push_back(ParseTerm());
        } else if (m_text[m_pos] == u'(') {
            ++m_pos;
            n = ParseOr();
            SkipSpace();
            if (m_pos >= m_text.size() || m_text[m_pos] != u')') Refuse("\")\" expected");
            ++m_pos;
        } else if (m_text[m_pos] == u'[') {
            n = ParseComparison();
        } else {
            Refuse("\"[\" expected at position " + std::to_string(m_pos + 1));
        }
        --m_depth;
        return n;
    }

    FilterNode ParseComparison() {
        const std::size_t close = m_text.find(u']', m_pos);
        if (close == std::u16string_view::npos) Refuse("\"]\" missing");
        const std::u16string_view name = m_text.substr(m_pos + 1, close - m_pos - 1);
        m_pos = close + 1;
        const HostProperty* p = FilterNames().Find(name);
        if (!p) Refuse("unknown property \"" + FromHostText(name) + "\"");

        FilterNode n;
        n.kind = FilterNode::Kind::Compare;
        n.property = p;
        n.op = ParseOp();
        const std::u16string literal = ParseLiteral();
        switch (p->kind) {
        case PropKind::Text:
            n.text = FoldCase(literal);
            break;
        case PropKind::Date: {
            auto minutes = ParseFilterDate(literal, m_picture);
            if (!minutes) Refuse("\"" + FromHostText(literal) + "\" is not a date for [" + p->name + "]");
            n.number = *minutes;
            break;
        }
        case PropKind::Int:
        case PropKind::Bool: {
            auto v = ParseNumber(literal, p->kind == PropKind::Bool);
            if (!v) Refuse("\"" + FromHostText(literal) + "\" is not a value for [" + p->name + "]");
            n.number = *v;
            break;
        }
        }
        return n;
    }

    CompareOp ParseOp() {
        SkipSpace();
        auto rest = m_text.substr(m_pos);
        auto starts = [&](std::u16string_view s) { return rest.substr(0, s.size()) == s; };
        struct Op { std::u16string_view text; CompareOp op; };
        static const Op kOps[] = {{u"<>", CompareOp::Ne}, {u"<=", CompareOp::Le}, {u">=", CompareOp::Ge},
                                  {u"=", CompareOp::Eq},  {u"<", CompareOp::Lt},  {u">", CompareOp::Gt}};
        for (const Op& o : kOps) {
            if (starts(o.text)) {
                m_pos += o.text.size();
                return o.op;
            }
        }
        Refuse("comparison operator expected at position " + std::to_string(m_pos + 1));
    }

    std::u16string ParseLiteral() {
        SkipSpace();
        if (m_pos >= m_text.size() || (m_text[m_pos] != u'\'' && m_text[m_pos] != u'"'))
            Refuse("quoted value expected at position " + std::to_string(m_pos + 1));
        const char16_t quote = m_text[m_pos++];
        std::u16string out;
        // Copied in runs up to the next delimiter; a doubled one stands for one.
        for (;;) {
            const std::size_t end = m_text.find(quote, m_pos);
            if (end == std::u16string_view::npos) Refuse("unterminated value");
            out.append(m_text.substr(m_pos, end - m_pos));
            m_pos = end + 1;
            if (m_pos < m_text.size() && m_text[m_pos] == quote) {
                out.push_back(quote);
                ++m_pos;
                continue;
            }
            return out;
        }
    }

    static std::optional<std::int64_t> ParseNumber(std::u16string_view s, bool isBool) {
        std::u16string f = FoldCase(s);
        if (isBool) {
            if (f == u"true" || f == u"yes") return 1;
            if (f == u"false" || f == u"no") return 0;
        }
        if (f.empty() || f.size() > 11) return std::nullopt;
        std::size_t i = 0;
        bool neg = false;
        if (f[0] == u'-') {
            neg = true;
            i = 1;
        }
        if (i == f.size()) return std::nullopt;
        std::int64_t v = 0;
        for (; i < f.size(); ++i) {
            if (f[i] < u'0' || f[i] > u'9') return std::nullopt;
            v = v * 10 + (f[i] - u'0');
        }
        if (neg) v = -v;
        if (isBool) return v != 0 ? 1 : 0;
        return v;
    }

    std::u16string_view m_text;
    const std::string& m_picture;
    std::size_t m_pos = 0;
    int m_depth = 0;
};

bool Compare(int cmp, CompareOp op) {
    switch (op) {
    case CompareOp::Eq: return cmp == 0;
    case CompareOp::Ne: return cmp != 0;
    case CompareOp::Lt: return cmp < 0;
    case CompareOp::Gt: return cmp > 0;
    case CompareOp::Le: return cmp <= 0;
    case CompareOp::Ge: return cmp >= 0;
    }
    return false;
}

bool Evaluate(const FilterNode& n, const PropertyReader& read) {
    switch (n.kind) {
    case FilterNode::Kind::And:
        return std::all_of(n.children.begin(), n.children.end(), [&](const FilterNode& c) { return Evaluate(c, read); });
    case FilterNode::Kind::Or:
        return std::any_of(n.children.begin(), n.children.end(), [&](const FilterNode& c) { return Evaluate(c, read); });
    case FilterNode::Kind::Not:
        return !Evaluate(n.children[0], read);
    case FilterNode::Kind::Compare:
        break;
    }
    const Value v = read(*n.property);
    int cmp = 0;
    switch (n.property->kind) {
    case PropKind::Text: {
        const std::u16string folded = FoldCase(v.AsText());
        cmp = folded.compare(n.text);
        break;
    }
    case PropKind::Date: {
        const std::int64_t m = OleToMinutes(v.IsEmpty() ? kNoDate : v.AsDate());
        cmp = m < n.number ? -1 : m > n.number ? 1 : 0;
        break;
    }
    case PropKind::Int:
    case PropKind::Bool: {
        std::int64_t x = n.property->kind == PropKind::Bool ? (v.AsBool() ? 1 : 0) : v.AsInt();
        cmp = x < n.number ? -1 : x > n.number ? 1 : 0;
        break;
    }
    }
    return Compare(cmp, n.op);
}

bool IsStart(const FilterNode& n) {
    return n.kind == FilterNode::Kind::Compare && std::string_view(n.property->name) == "Start";
}

CRestrictFilter::Range RangeOf(const FilterNode& n) {
    CRestrictFilter::Range r;
    if (IsStart(n)) {
        switch (n.op) {
        case CompareOp::Eq: r.lo = r.hi = n.number; break;
        case CompareOp::Ge: r.lo = n.number; break;
        case CompareOp::Gt: r.lo = n.number + 1; break;
        case CompareOp::Le: r.hi = n.number; break;
        case CompareOp::Lt: r.hi = n.number - 1; break;
        case CompareOp::Ne: break;
        }
    } else if (n.kind == FilterNode::Kind::And) {
        for (const FilterNode& c : n.children) {
            CRestrictFilter::Range cr = RangeOf(c);
            if (cr.lo && (!r.lo || *cr.lo > *r.lo)) r.lo = cr.lo;
            if (cr.hi && (!r.hi || *cr.hi < *r.hi)) r.hi = cr.hi;
        }
    } else if (n.kind == FilterNode::Kind::Or) {
        // The union's bounds: open when any branch is open.
        bool first = true;
        for (const FilterNode& c : n.children) {
            CRestrictFilter::Range cr = RangeOf(c);
            if (first) {
                r = cr;
                first = false;
                continue;
            }
            if (!cr.lo || !r.lo) r.lo.reset(); else r.lo = std::min(*r.lo, *cr.lo);
            if (!cr.hi || !r.hi) r.hi.reset(); else r.hi = std::max(*r.hi, *cr.hi);
        }
    }
    return r;
}

}  // namespace

std::optional<std::int64_t> ParseFilterDate(std::u16string_view text, const std::string& picture) {
    // A date is ASCII as a rule, and narrowed here without an allocation: an event's
    // duplicate search parses two for every event. Other text goes through UTF-8.
    char narrow[64];
    std::string utf8;
    std::string_view s;
    if (text.size() <= sizeof narrow && std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; })) {
        std::transform(text.begin(), text.end(), narrow, [](char16_t c) { return static_cast<char>(c); });
        s = std::string_view(narrow, text.size());
    } else {
        utf8 = FromHostText(text);
        s = utf8;
    }
    s = ascii::Trim(s, ascii::kBlanks);
    // The last blank-separated word of `rest`; `rest` keeps what is before it, trimmed.
    auto lastToken = [](std::string_view& rest) {
        const std::size_t sp = rest.find_last_of(" \t");
        const std::string_view tok = sp == std::string_view::npos ? rest : rest.substr(sp + 1);
        rest = sp == std::string_view::npos ? std::string_view() : ascii::Trim(rest.substr(0, sp), ascii::kBlanks);
        return tok;
    };
    std::string_view rest = s;
    std::string_view tok = lastToken(rest);
    int designator = 0;  // 1 AM, 2 PM
    if (ascii::EqualsNoCase(tok, "AM") || ascii::EqualsNoCase(tok, "PM")) {
        designator = ascii::EqualsNoCase(tok, "AM") ? 1 : 2;
        if (rest.empty()) return std::nullopt;
        tok = lastToken(rest);
    }
    int hour = 0, minute = 0;
    std::string_view datePart;
    if (const std::size_t colon = tok.find(':'); colon != std::string_view::npos) {
        const std::string_view h = tok.substr(0, colon), m = tok.substr(colon + 1);
        auto number = [](std::string_view x, std::size_t minDigits, std::size_t maxDigits, int& out) {
            if (x.size() < minDigits || x.size() > maxDigits) return false;
            out = 0;
            for (char c : x) {
                if (c < '0' || c > '9') return false;
                out = out * 10 + (c - '0');
            }
            return true;
        };
        // "h:mm:ss" falls out here: seconds are not accepted.
        if (!number(h, 1, 2, hour) || !number(m, 2, 2, minute)) return std::nullopt;
        datePart = rest;
    } else {
        if (designator) return std::nullopt;
        datePart = s;
    }
    if (designator == 2 && hour < 12) hour += 12;
    else if (designator == 1 && hour == 12) hour = 0;
    if (hour > 23 || minute > 59) return std::nullopt;
    int y = 0, mo = 0, d = 0;
    if (datePart.empty() || !ParseShortDate(picture, datePart, y, mo, d)) return std::nullopt;
    return DayNumber(y, mo, d) * 1440 + hour * 60 + minute;
}

CRestrictFilter CRestrictFilter::Parse(std::u16string_view text, const std::string& picture) {
    CRestrictFilter f;
    f.m_root = CParser(text, picture).ParseAll();
    return f;
}

bool CRestrictFilter::Matches(const PropertyReader& read) const { return Evaluate(m_root, read); }

CRestrictFilter::Range CRestrictFilter::StartRange() const { return RangeOf(m_root); }

}  // namespace mireo
