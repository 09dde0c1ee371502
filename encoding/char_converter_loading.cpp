// Where the converter's list comes from, and the converter the whole add-in shares.
#include <memory>

#include "encoding/mireo_char_converter.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/module.h"
#include "platform/user_strings.h"

namespace mireo {
namespace {

constexpr char kEncodingsFileName[] = "supportedEncodings.txt";
constexpr int kIdsEncodingsFileMissing = 138;

void WarnUtf8Only() {
    CurrentMessageBox().Show("Mireo", LoadUserString(kIdsEncodingsFileMissing), MbIcon::Exclamation, MbButtons::Ok);
}

std::unique_ptr<MireoCharConverter> FromLoadedList(SupportedEncodingsList list, bool loaded) {
    if (!loaded) WarnUtf8Only();
    return std::make_unique<MireoCharConverter>(std::move(list));
}

// The converter SharedCharConverter made, and the one a test installed.
std::unique_ptr<MireoCharConverter>& OwnedShared() {
    static std::unique_ptr<MireoCharConverter> converter;
    return converter;
}
MireoCharConverter*& InstalledShared() {
    static MireoCharConverter* converter = nullptr;
    return converter;
}

}  // namespace

std::unique_ptr<MireoCharConverter> MireoCharConverter::FromText(std::string_view text) {
    SupportedEncodingsList list;
    const bool loaded = list.LoadFromText(text);
    return FromLoadedList(std::move(list), loaded);
}

std::unique_ptr<MireoCharConverter> MireoCharConverter::FromFile(const std::string& path) {
    std::string text;
    if (!ReadWholeFile(path, text)) {
        SupportedEncodingsList list;
        list.SetUtf8Only();
        return FromLoadedList(std::move(list), false);
    }
    return FromText(text);
}

std::unique_ptr<MireoCharConverter> MireoCharConverter::FromModuleDirectory() {
    return FromFile(JoinPath(ModuleDirectory(), kEncodingsFileName));
}

MireoCharConverter& SharedCharConverter() {
    if (InstalledShared() != nullptr) return *InstalledShared();
    CreateSharedCharConverter();
    return *OwnedShared();
}

void CreateSharedCharConverter() {
    if (!OwnedShared()) OwnedShared() = MireoCharConverter::FromModuleDirectory();
}

void DestroySharedCharConverter() { OwnedShared().reset(); }

MireoCharConverter* SetSharedCharConverter(MireoCharConverter* converter) {
    MireoCharConverter* previous = InstalledShared();
    InstalledShared() = converter;
    return previous;
}

}  // namespace mireo
