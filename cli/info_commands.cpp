// mireo encodings, mireo settings: what the wizards would offer and remember.
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <ostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "encoding/mireo_char_converter.h"
#include "engine/settings_store.h"
#include "platform/registry.h"

namespace mireo::cli {

namespace {

int HostMajorVersion() {
    const char* v = std::getenv("MIREO_HOST_VERSION");
    std::string text = (v != nullptr && *v != '\0') ? v : "11.0.0.0";
    if (text.find('.') == std::string::npos) return 0;
    return std::atoi(text.c_str());
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string s;
    char buf[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        s += buf;
    }
    return s;
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

int RunEncodingsCommand(const GlobalOptions&, const std::vector<std::string>& args, std::ostream& out,
                        std::ostream& err) {
    if (!args.empty()) {
        err << "mireo encodings: takes no arguments\n";
        return kExitUsage;
    }
    MireoCharConverter& converter = SharedCharConverter();
    out << std::left << std::setw(36) << "Display name" << std::setw(16) << "Charset"
        << "Code page\n";
    for (const EncodingRecord& r : converter.Encodings()) {
        out << std::left << std::setw(36) << r.displayName << std::setw(16) << r.charsetName << r.codePage
            << "\n";
    }
    return kExitOk;
}

int RunSettingsCommand(const GlobalOptions&, const std::vector<std::string>& args, std::ostream& out,
                       std::ostream& err) {
    if (!args.empty()) {
        err << "mireo settings: takes no arguments\n";
        return kExitUsage;
    }
    CSettingsStore settings(SystemRegistry());
    std::vector<std::string> encodings;
    for (const EncodingRecord& r : SharedCharConverter().Encodings()) encodings.push_back(r.displayName);
    const int major = HostMajorVersion();

    out << "HKEY_CURRENT_USER\\" << kSettingsKeyPath
        << (settings.IsOpen() ? "" : "  (cannot be opened: defaults apply)") << "\n";
    for (const SettingDef& def : AllSettings()) {
        std::string value;
        bool stored = false;
        switch (def.kind) {
        case SettingKind::Flag:
            stored = settings.ReadNumber(def.name).has_value();
            value = settings.GetFlag(def.name) ? "yes" : "no";
            break;
        case SettingKind::Number:
            stored = settings.ReadNumber(def.name).has_value();
            value = std::to_string(settings.GetNumberForHost(def.name, major));
            break;
        case SettingKind::Text:
            if (def.rule == SettingRule::EncodingList) {
                stored = settings.ReadText(def.name, def.limit == 0 ? 1u << 20 : def.limit).has_value();
                value = Quoted(settings.GetEncoding(def.name, encodings));
            } else {
                stored = settings.ReadTextAnyLength(def.name).has_value();
                value = Quoted(settings.GetText(def.name));
            }
            break;
        case SettingKind::Binary: {
            auto bytes = settings.GetBinary(def.name);
            stored = bytes.has_value();
            value = bytes ? Hex(*bytes) : "(none)";
            break;
        }
        }
        out << "  " << std::left << std::setw(42) << def.name << value << (stored ? "" : "  (default)") << "\n";
    }
    return kExitOk;
}

}  // namespace mireo::cli
