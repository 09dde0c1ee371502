#include "cli/store_command.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>

#include "hoststore/host_store.h"
#include "hoststore/item_json.h"

namespace mireo::cli {

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

const char kUsageText[] =
    "usage: mireo store folders\n"
    "       mireo store mkdir PATH --type contacts|calendar|mail\n"
    "       mireo store add PATH [FILE|-]\n"
    "       mireo store dump PATH\n"
    "       mireo store find PATH --restrict TEXT [--include-recurrences] [--sort PROPERTY]\n"
    "       mireo store clear PATH\n"
    "PATH is \"\\\\Personal Folders\\Contacts\" or a path below the top folder (\"Calendar/Work\").\n";

const char* TypeWord(int itemType) {
    return itemType == kFolderContact ? "contacts" : itemType == kFolderAppointment ? "calendar" : "mail";
}

std::unique_ptr<IFolder> RequireFolder(CHostApplication& app, const std::string& path, std::ostream& err) {
    auto f = app.FolderByPath(ToHostText(path));
    if (!f) err << "mireo store: no folder \"" << path << "\"\n";
    return f;
}

void ListFolders(IFolders& folders, std::ostream& out) {
    for (int i = 1; i <= folders.Count(); ++i) {
        auto f = folders.Item(i);
        out << FromHostText(FolderPathText(*f)) << '\t' << TypeWord(f->DefaultItemType()) << '\t' << f->Items()->Count()
            << '\n';
        ListFolders(*f->Folders(), out);
    }
}

// Options after the positional arguments: --name VALUE or --flag.
struct Options {
    std::vector<std::string> positional;
    std::optional<std::string> type, restrict, sort;
    bool includeRecurrences = false;
};

bool ParseOptions(const std::vector<std::string>& args, Options& o, std::ostream& err) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::optional<std::string>& slot) {
            if (i + 1 >= args.size()) {
                err << "mireo store: " << a << " needs a value\n";
                return false;
            }
            slot = args[++i];
            return true;
        };
        if (a == "--type") {
            if (!value(o.type)) return false;
        } else if (a == "--restrict") {
            if (!value(o.restrict)) return false;
        } else if (a == "--sort") {
            if (!value(o.sort)) return false;
        } else if (a == "--include-recurrences") {
            o.includeRecurrences = true;
        } else if (a.size() > 2 && a.rfind("--", 0) == 0) {
            err << "mireo store: unknown option " << a << '\n';
            return false;
        } else {
            o.positional.push_back(a);
        }
    }
    return true;
}

int Mkdir(CHostApplication& app, const Options& o, std::ostream& out, std::ostream& err) {
    if (o.positional.size() != 1 || !o.type) {
        err << kUsageText;
        return kUsage;
    }
    const int type = *o.type == "contacts" ? kFolderContact : *o.type == "calendar" ? kFolderAppointment : *o.type == "mail" ? kFolderMail : -1;
    if (type < 0) {
        err << "mireo store: --type must be contacts, calendar or mail\n";
        return kUsage;
    }
    std::string path = o.positional[0];
    while (!path.empty() && (path.back() == '/' || path.back() == '\\')) path.pop_back();
    const std::size_t cut = path.find_last_of("/\\");
    if (cut == std::string::npos || path.substr(0, cut).find_first_not_of("/\\") == std::string::npos) {
        // Directly below the top folder.
        auto top = app.FolderByPath(u"");
        auto made = top->Folders()->Add(ToHostText(path.substr(cut == std::string::npos ? 0 : cut + 1)), type);
        out << FromHostText(FolderPathText(*made)) << '\n';
        return kOk;
    }
    auto parent = RequireFolder(app, path.substr(0, cut), err);
    if (!parent) return kFailed;
    auto made = parent->Folders()->Add(ToHostText(path.substr(cut + 1)), type);
    out << FromHostText(FolderPathText(*made)) << '\n';
    return kOk;
}

int Add(CHostApplication& app, const Options& o, std::ostream& out, std::ostream& err) {
    if (o.positional.empty() || o.positional.size() > 2) {
        err << kUsageText;
        return kUsage;
    }
    auto folder = RequireFolder(app, o.positional[0], err);
    if (!folder) return kFailed;
    const std::string file = o.positional.size() == 2 ? o.positional[1] : "-";
    std::string text;
    if (file == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            err << "mireo store: cannot read \"" << file << "\"\n";
            return kFailed;
        }
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ItemJson j;
    try {
        j = ItemJson::parse(text);
    } catch (const nlohmann::json::exception& e) {
        err << "mireo store: " << (file == "-" ? std::string("standard input") : file) << ": not JSON: " << e.what() << '\n';
        return kFailed;
    }
    if (!j.is_array()) {
        err << "mireo store: the JSON must be an array of items\n";
        return kFailed;
    }
    auto items = folder->Items();
    auto mapi = app.Mapi().CreateMapiUtils();
    int added = 0;
    // All the items of the file or none: a file cut short or one bad item leaves the
    // folder as it was, so that the add can simply be made again.
    app.BeginAllOrNone();
    for (std::size_t i = 0; i < j.size(); ++i) {
        try {
            AddItemFromJson(*items, folder->DefaultItemType(), j[i], *mapi);
            ++added;
        } catch (const CItemJsonError& e) {
            app.EndAllOrNone(false);
            err << "mireo store: item " << i + 1 << ": " << e.what() << "; nothing was added\n";
            return kFailed;
        } catch (const HostError& e) {
            app.EndAllOrNone(false);
            err << "mireo store: item " << i + 1 << ": " << e.what() << "; nothing was added\n";
            return kFailed;
        }
    }
    try {
        app.EndAllOrNone(true);
    } catch (const HostError& e) {
        err << "mireo store: " << e.what() << "; nothing was added\n";
        return kFailed;
    }
    out << "added " << added << " item" << (added == 1 ? "" : "s") << " to " << FromHostText(FolderPathText(*folder)) << '\n';
    return kOk;
}

// The items as JSON; an item that cannot be read (a damaged one) is reported on `err`
// and left out. kFailed when one was.
int PrintItems(IItems& items, bool withClass, std::ostream& out, std::ostream& err) {
    ItemJson all = ItemJson::array();
    int index = 0;
    int failed = 0;
    for (auto item = items.GetFirst(); item; item = items.GetNext()) {
        ++index;
        try {
            if (item->Class() != ItemClass::Contact && item->Class() != ItemClass::Appointment) continue;
            all.push_back(ItemToJson(*item, withClass));
        } catch (const HostError& e) {
            ++failed;
            err << "mireo store: item " << index << " left out: " << e.what() << '\n';
        }
    }
    out << all.dump(2) << '\n';
    return failed == 0 ? kOk : kFailed;
}

int Dump(IFolder& folder, std::ostream& out, std::ostream& err) {
    auto items = folder.Items();
    return PrintItems(*items, folder.DefaultItemType() == kFolderMail, out, err);
}

int Find(IFolder& folder, const Options& o, std::ostream& out, std::ostream& err) {
    auto items = folder.Items();
    if (o.sort) {
        std::string s = *o.sort;
        if (s.empty() || s.front() != '[') s = "[" + s + "]";
        items->Sort(ToHostText(s));
    }
    if (o.includeRecurrences) items->SetIncludeRecurrences(true);
    auto found = items->Restrict(ToHostText(*o.restrict));
    return PrintItems(*found, folder.DefaultItemType() == kFolderMail, out, err);
}

int Clear(IFolder& folder, std::ostream& out) {
    auto items = folder.Items();
    std::vector<std::unique_ptr<IItem>> all;
    for (auto item = items->GetFirst(); item; item = items->GetNext()) all.push_back(std::move(item));
    for (auto& item : all) item->Delete();
    out << "deleted " << all.size() << " item" << (all.size() == 1 ? "" : "s") << " from "
        << FromHostText(FolderPathText(folder)) << '\n';
    return kOk;
}

// dump, find and clear: one PATH naming an existing folder (find also needs --restrict).
int OnOneFolder(CHostApplication& app, const std::string& cmd, const Options& o, std::ostream& out,
                std::ostream& err) {
    if (o.positional.size() != 1 || (cmd == "find" && !o.restrict)) {
        err << kUsageText;
        return kUsage;
    }
    auto folder = RequireFolder(app, o.positional[0], err);
    if (!folder) return kFailed;
    if (cmd == "dump") return Dump(*folder, out, err);
    if (cmd == "find") return Find(*folder, o, out, err);
    return Clear(*folder, out);
}

}  // namespace

bool PrepareStorePath(const std::string& path, bool named, std::ostream& err) {
    namespace fs = std::filesystem;
    if (path == ":memory:") return true;
    const fs::path p(std::u8string(path.begin(), path.end()));
    const fs::path folder = p.has_parent_path() ? p.parent_path() : fs::path(".");
    std::error_code ec;
    if (!named) {
        fs::create_directories(folder, ec);
        if (ec) {
            err << "mireo: cannot make the folder of the store \"" << path << "\": " << ec.message() << '\n';
            return false;
        }
        return true;
    }
    if (!fs::is_directory(folder, ec)) {
        err << "mireo: the store \"" << path << "\" cannot be opened: its folder does not exist\n";
        return false;
    }
    const fs::file_status st = fs::status(p, ec);
    if (!fs::exists(st)) return true;  // a new store in an existing folder
    if (!fs::is_regular_file(st)) {
        err << "mireo: the store \"" << path << "\" is not a file\n";
        return false;
    }
    if (fs::file_size(p, ec) == 0 && !ec) {
        // SQLite would take it for a new store and fill it: an empty file the user
        // named is more likely a mistake than a store.
        err << "mireo: the store \"" << path << "\" is an empty file, not a store\n";
        return false;
    }
    return true;
}

int RunStoreCommand(const std::string& storePath, const std::vector<std::string>& args, std::ostream& out,
                    std::ostream& err) {
    if (args.empty() || args[0] == "--help" || args[0] == "help") {
        (args.empty() ? err : out) << kUsageText;
        return args.empty() ? kUsage : kOk;
    }
    Options o;
    if (!ParseOptions(args, o, err)) return kUsage;
    const std::string& cmd = args[0];
    if (cmd != "folders" && cmd != "mkdir" && cmd != "add" && cmd != "dump" && cmd != "find" && cmd != "clear") {
        err << "mireo store: unknown subcommand \"" << cmd << "\"\n" << kUsageText;
        return kUsage;
    }
    try {
        CHostApplication app(DefaultHostStoreOptions(storePath));
        if (cmd == "folders") {
            if (!o.positional.empty()) {
                err << kUsageText;
                return kUsage;
            }
            ListFolders(*app.GetNamespace()->Folders(), out);
            return kOk;
        }
        if (cmd == "mkdir") return Mkdir(app, o, out, err);
        if (cmd == "add") return Add(app, o, out, err);
        return OnOneFolder(app, cmd, o, out, err);  // dump, find, clear
    } catch (const HostError& e) {
        err << "mireo store: " << e.what() << '\n';
        return kFailed;
    } catch (const std::filesystem::filesystem_error& e) {
        err << "mireo store: " << e.what() << '\n';
        return kFailed;
    }
}

}  // namespace mireo::cli
