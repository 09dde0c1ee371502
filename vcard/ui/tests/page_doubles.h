#pragma once
// Doubles for the page tests: a registry kept in memory that counts its writes, and a
// small host (application, explorer, namespace, folders, items, mail) whose answers the
// test sets. They build on Windows as well, where the substitute store does not.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/item_store.h"
#include "platform/hresult.h"
#include "platform/registry.h"
#include "platform/testing/recording_message_box.h"
#include "platform/testing/scratch_folder.h"

namespace mireo::testing_pages {

class CMemoryRegistry : public IRegistry {
public:
    struct Stored {
        std::uint32_t type = kRegNone;
        std::vector<std::uint8_t> data;
    };

    long OpenKey(RegRoot, std::string_view, bool, bool, Key& out) override {
        if (m_refuseOpen) return kErrorAccessDenied;
        out = 1;
        return kErrorSuccess;
    }
    long OpenSubKey(Key, std::string_view, bool, Key&) override { return kErrorFileNotFound; }
    void CloseKey(Key) override {}
    long QueryValue(Key, std::string_view name, std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) override {
        auto it = m_values.find(Fold(name));
        if (it == m_values.end()) return kErrorFileNotFound;
        const auto need = static_cast<std::uint32_t>(it->second.data.size());
        if (type != nullptr) *type = it->second.type;
        if (data == nullptr) {
            if (size != nullptr) *size = need;
            return kErrorSuccess;
        }
        if (size == nullptr) return kErrorInvalidParameter;
        if (*size < need) {
            *size = need;
            return kErrorMoreData;
        }
        std::copy(it->second.data.begin(), it->second.data.end(), data);
        *size = need;
        return kErrorSuccess;
    }
    long SetValue(Key, std::string_view name, std::uint32_t type, const std::uint8_t* data, std::uint32_t size) override {
        m_written.emplace_back(name);
        m_values[Fold(name)] = Stored{type, std::vector<std::uint8_t>(data, data + size)};
        return kErrorSuccess;
    }
    long DeleteValue(Key, std::string_view name) override {
        return m_values.erase(Fold(name)) != 0 ? kErrorSuccess : kErrorFileNotFound;
    }
    long EnumSubKey(Key, std::uint32_t, std::string&) override { return kErrorNoMoreItems; }

    // The names written so far, in order (a name written twice appears twice).
    const std::vector<std::string>& Written() const { return m_written; }
    void ClearWritten() { m_written.clear(); }
    void SetRaw(std::string_view name, std::uint32_t type, std::vector<std::uint8_t> data) {
        m_values[Fold(name)] = Stored{type, std::move(data)};
    }
    bool Has(std::string_view name) const { return m_values.count(Fold(name)) != 0; }
    void RefuseOpen(bool refuse) { m_refuseOpen = refuse; }

private:
    static std::string Fold(std::string_view s) {
        std::string f(s);
        for (char& c : f) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return f;
    }
    std::map<std::string, Stored> m_values;
    std::vector<std::string> m_written;
    bool m_refuseOpen = false;
};

constexpr HRESULT kFail = static_cast<HRESULT>(0x80004005);

// A folder of the test host: a name, its item type and its parent.
struct FolderNode {
    std::u16string name;
    int type = kFolderContact;
    std::shared_ptr<FolderNode> parent;
};
using Node = std::shared_ptr<FolderNode>;

inline Node MakeNode(std::u16string name, int type, Node parent = nullptr) {
    return std::make_shared<FolderNode>(FolderNode{std::move(name), type, std::move(parent)});
}

class CFakeFolder : public IFolder {
public:
    explicit CFakeFolder(Node node) : m_node(std::move(node)) {}
    int DefaultItemType() override { return m_node->type; }
    std::u16string Name() override { return m_node->name; }
    std::unique_ptr<IFolder> Parent() override {
        return m_node->parent ? std::make_unique<CFakeFolder>(m_node->parent) : nullptr;
    }
    std::unique_ptr<IItems> Items() override { throw HostError(kFail, "MAPIFolder"); }
    std::unique_ptr<IFolders> Folders() override { throw HostError(kFail, "MAPIFolder"); }
    std::string EntryId() override { return FromHostText(m_node->name); }
    std::string StoreId() override { return "store"; }
    const Node& GetNode() const { return m_node; }

private:
    Node m_node;
};

// What the test host did: temporary items, mails.
struct HostLog {
    int createdItems = 0;
    int discardedItems = 0;
    int savedItems = 0;
    std::vector<std::u16string> categoriesShown;  // the text the chooser opened with
    struct Mail {
        bool displayed = false;
        std::vector<std::u16string> attachments;
    };
    std::vector<Mail> mails;
};

class CFakeItem : public IItem {
public:
    CFakeItem(ItemClass cls, HostLog* log, std::optional<std::u16string> chooserAnswer)
        : m_class(cls), m_log(log), m_answer(std::move(chooserAnswer)) {}
    ItemClass Class() override { return m_class; }
    Value Get(std::string_view property) override {
        if (property == "Categories") return Value::Text(m_categories);
        throw HostError(kFail, "_ContactItem");
    }
    void Put(std::string_view property, const Value& value) override {
        if (property != "Categories") throw HostError(kFail, "_ContactItem");
        m_categories = value.AsText();
    }
    void Save() override {
        if (m_log) ++m_log->savedItems;
    }
    bool Saved() override { return true; }
    void Delete() override {}
    void Discard() override {
        if (m_log) ++m_log->discardedItems;
    }
    std::string EntryId() override { return {}; }
    std::string StoreId() override { return {}; }
    std::unique_ptr<IRecurrencePattern> GetRecurrencePattern() override { throw HostError(kFail, "_ContactItem"); }
    void ClearRecurrencePattern() override {}
    std::unique_ptr<IRecipients> Recipients() override { throw HostError(kFail, "_ContactItem"); }
    bool ShowCategoriesDialog() override {
        if (m_log) m_log->categoriesShown.push_back(m_categories);
        if (!m_answer) return false;
        m_categories = *m_answer;
        return true;
    }

private:
    ItemClass m_class;
    HostLog* m_log;
    std::optional<std::u16string> m_answer;
    std::u16string m_categories;
};

class CFakeSelection : public ISelection {
public:
    explicit CFakeSelection(std::vector<ItemClass> items) : m_items(std::move(items)) {}
    int Count() override { return static_cast<int>(m_items.size()); }
    std::unique_ptr<IItem> Item(int index) override {
        return std::make_unique<CFakeItem>(m_items.at(static_cast<std::size_t>(index - 1)), nullptr, std::nullopt);
    }

private:
    std::vector<ItemClass> m_items;
};

class CFakeMail : public IMailItem {
public:
    CFakeMail(HostLog& log, std::size_t index, bool failAttach) : m_log(log), m_index(index), m_failAttach(failAttach) {}
    void Display() override { m_log.mails[m_index].displayed = true; }
    void AddAttachment(const std::u16string& path) override {
        if (m_failAttach) throw HostError(kFail, "Attachments");
        m_log.mails[m_index].attachments.push_back(path);
    }

private:
    HostLog& m_log;
    std::size_t m_index;
    bool m_failAttach;
};

// The host: every answer is a public field the test sets.
class CFakeApp : public IApplication {
public:
    bool hasExplorer = true;
    Node explorerFolder;                   // null: the explorer shows no folder
    std::vector<ItemClass> selection;
    Node defaultContacts;
    std::optional<Node> pickAnswer;        // nullopt: the chooser is cancelled
    std::optional<std::u16string> categoriesAnswer;
    bool failExplorer = false;
    bool failNamespace = false;
    bool failAttach = false;
    HostLog log;

    std::u16string Version() override { return u"11.0.0.0"; }
    std::unique_ptr<IExplorer> ActiveExplorer() override;
    std::unique_ptr<INamespace> GetNamespace() override;
    std::unique_ptr<IItem> CreateItem(ItemType) override {
        ++log.createdItems;
        return std::make_unique<CFakeItem>(ItemClass::Contact, &log, categoriesAnswer);
    }
    std::unique_ptr<IMailItem> CreateMailItem() override {
        log.mails.emplace_back();
        return std::make_unique<CFakeMail>(log, log.mails.size() - 1, failAttach);
    }
};

class CFakeExplorer : public IExplorer {
public:
    explicit CFakeExplorer(CFakeApp& app) : m_app(app) {}
    std::unique_ptr<IFolder> CurrentFolder() override {
        return m_app.explorerFolder ? std::make_unique<CFakeFolder>(m_app.explorerFolder) : nullptr;
    }
    void SetCurrentFolder(IFolder& folder) override {
        if (m_app.failExplorer) throw HostError(kFail, "_Explorer");
        m_app.explorerFolder = static_cast<CFakeFolder&>(folder).GetNode();
    }
    std::unique_ptr<ISelection> Selection() override { return std::make_unique<CFakeSelection>(m_app.selection); }
    void Activate() override {}

private:
    CFakeApp& m_app;
};

class CFakeNamespace : public INamespace {
public:
    explicit CFakeNamespace(CFakeApp& app) : m_app(app) {}
    std::unique_ptr<IFolder> GetDefaultFolder(DefaultFolder) override {
        if (!m_app.defaultContacts) throw HostError(kFail, "_NameSpace");
        return std::make_unique<CFakeFolder>(m_app.defaultContacts);
    }
    std::unique_ptr<IFolder> PickFolder() override {
        if (!m_app.pickAnswer) return nullptr;
        return std::make_unique<CFakeFolder>(*m_app.pickAnswer);
    }
    std::unique_ptr<IFolders> Folders() override { throw HostError(kFail, "_NameSpace"); }
    std::unique_ptr<IItem> GetItemFromID(const std::string&) override { throw HostError(kFail, "_NameSpace"); }

private:
    CFakeApp& m_app;
};

inline std::unique_ptr<IExplorer> CFakeApp::ActiveExplorer() {
    if (failExplorer) throw HostError(kFail, "_Application");
    return hasExplorer ? std::make_unique<CFakeExplorer>(*this) : nullptr;
}

inline std::unique_ptr<INamespace> CFakeApp::GetNamespace() {
    if (failNamespace) throw HostError(kFail, "_Application");
    return std::make_unique<CFakeNamespace>(*this);
}

// The pages' tests: a memory registry, recorded message boxes, a host whose store has
// Contacts (with Work below it) and Calendar, and a scratch folder of the test's own.
class PageTest : public ::testing::Test {
protected:
    explicit PageTest(const std::string& prefix)
        : m_scope(m_box), m_dir(prefix + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-") {
        m_top = MakeNode(u"Personal Folders", kFolderMail);
        m_contacts = MakeNode(u"Contacts", kFolderContact, m_top);
        m_work = MakeNode(u"Work", kFolderContact, m_contacts);
        m_calendar = MakeNode(u"Calendar", kFolderAppointment, m_top);
        m_app.defaultContacts = m_contacts;
    }
    std::string Dir() const { return m_dir.Path().string(); }

    CMemoryRegistry m_reg;
    CRecordingMessageBox m_box;
    CScopedMessageBox m_scope;
    CFakeApp m_app;
    Node m_top, m_contacts, m_work, m_calendar;
    test::CScratchFolder m_dir;
};

}  // namespace mireo::testing_pages
