#pragma once
// The one place where host text (UTF-16) and file text (bytes in the chosen code page)
// meet. Encodings are named by the display names and charset names of the supported
// encodings list; lookups are byte-exact and case-sensitive.
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "encoding/supported_encodings_list.h"
#include "platform/code_pages.h"

namespace mireo {

constexpr int kSystemCodePage = -1;   // the ANSI code page of the running system
constexpr int kUnknownCodePage = -2;  // a name that is not in the list
// What Encode and Decode return when nothing was converted.
constexpr int kConversionFailed = -2;
// Decode's result whatever happened; callers look at the output (DecodeText counts).
constexpr int kDecodeResult = -2;

class MireoCharConverter {
public:
    // Maps the list's names and code pages (a later record wins a shared key); the
    // current code page starts as the system one.
    explicit MireoCharConverter(SupportedEncodingsList list, const ICodePages& codePages = SystemCodePages());

    // The list read by the loading rules from "supportedEncodings.txt" in the module's
    // folder, from a file, or from text. A missing, unreadable, empty or bad file leaves
    // UTF-8 alone and shows string 138 in a warning box.
    static std::unique_ptr<MireoCharConverter> FromModuleDirectory();
    static std::unique_ptr<MireoCharConverter> FromFile(const std::string& path);
    static std::unique_ptr<MireoCharConverter> FromText(std::string_view text);

    MireoCharConverter(const MireoCharConverter&) = delete;
    MireoCharConverter& operator=(const MireoCharConverter&) = delete;

    // The operations in their fixed slot order.
    virtual ~MireoCharConverter();
    // Encode with the code page of that charset name.
    virtual int EncodeByCharset(std::string_view charsetName, std::u16string_view text, std::string& out);
    // The byte count, or -2 with `out` left as it was (unknown code page, empty text, a
    // code page the platform rejects).
    virtual int Encode(int codePage, std::u16string_view text, std::string& out);
    virtual int DecodeByCharset(std::string_view charsetName, std::string_view bytes, std::u16string& out);
    // Fills `out` by the same rules as Encode; always returns -2.
    virtual int Decode(int codePage, std::string_view bytes, std::u16string& out);
    virtual std::string CurrentCharsetName();
    virtual int SetCurrentByCharsetName(std::string_view charsetName);
    virtual int SetCurrentByDisplayName(std::string_view displayName);
    virtual bool IsEmptyName(std::string_view name);
    // Empty for -1 and for a code page not in the list.
    virtual std::string CharsetName(int codePage);
    // -1 for an empty name, -2 for a name not in the list.
    virtual int CodePageOfCharset(std::string_view charsetName);
    virtual int CodePageOfDisplayName(std::string_view displayName);

    // Decode that tells: the UTF-16 unit count, or -2 with `out` left as it was.
    int DecodeText(int codePage, std::string_view bytes, std::u16string& out);
    int CurrentCodePage() const { return m_currentCodePage; }
    const SupportedEncodingsList& Encodings() const { return m_list; }

private:
    int ResolveCodePage(int codePage) const;
    static int Lookup(const std::map<std::string, int, std::less<>>& map, std::string_view name);

    const ICodePages& m_codePages;
    SupportedEncodingsList m_list;
    std::map<int, const EncodingRecord*> m_byCodePage;
    std::map<std::string, int, std::less<>> m_byDisplayName;
    std::map<std::string, int, std::less<>> m_byCharsetName;
    int m_currentCodePage = kSystemCodePage;
};

// The converter every reader and writer shares. Created on first use from the module's
// folder unless one was created or installed before; lives until DestroySharedCharConverter.
MireoCharConverter& SharedCharConverter();
// Creates the shared converter now (when the add-in attaches) if there is none yet.
void CreateSharedCharConverter();
// Deletes the converter that SharedCharConverter created (when the host quits).
void DestroySharedCharConverter();
// Tests put their own converter in place (null removes it). Returns the previous one
// installed this way.
MireoCharConverter* SetSharedCharConverter(MireoCharConverter* converter);

}  // namespace mireo
