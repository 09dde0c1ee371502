#pragma once
// A text file's bytes as the content-line readers take them, and the test that tells
// UTF-8 values from those of the system code page.
#include <string>
#include <string_view>

namespace mireo {

enum class FileTextForm {
    kBytes,    // no byte-order mark: 8-bit text in whatever code pages its lines say
    kUtf8Bom,  // a UTF-8 byte-order mark, skipped
    kUtf16,    // a UTF-16 byte-order mark (FF FE or FE FF), or UTF-16 text without one
               // (told by its zero bytes): converted to UTF-8
};

struct FileText {
    std::string_view text;
    FileTextForm form = FileTextForm::kBytes;
    // A byte-order mark said UTF-8 or UTF-16: values without a CHARSET are UTF-8.
    bool IsUtf8() const { return form != FileTextForm::kBytes; }
};

// The text to read from a file's bytes: after a UTF-8 byte-order mark, or a UTF-16 file
// (its lone surrogates as U+FFFD, an odd last byte dropped) converted to UTF-8 into
// `converted`, which the result then views.
FileText PrepareFileText(std::string_view bytes, std::string& converted);

// Whether every byte is ASCII; eight bytes at a time, as readers look at every value once.
bool IsAscii(std::string_view bytes);

// Whether the bytes are well-formed UTF-8 that holds at least one non-ASCII character:
// what a value without a CHARSET is read as when its file gives no byte-order mark.
bool IsUtf8WithNonAscii(std::string_view bytes);

}  // namespace mireo
