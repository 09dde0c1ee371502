#include "ui/folder_path.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/hresult.h"

namespace mireo {
namespace {

// A chain of folders; the node at index 0 is the store's top folder, whose parent
// is the namespace (null). failName/failParent make that level's call fail.
struct Chain {
    std::vector<std::u16string> names;
    int failName = -1;
    int failParent = -1;
    bool loop = false;  // the top folder claims the deepest one as its parent
};

class CFakeFolder : public IFolderNode {
public:
    CFakeFolder(const Chain& chain, int index) : m_chain(chain), m_index(index) {}
    std::u16string Name() override {
        if (m_index == m_chain.failName) throw HostError(kEFail, "MAPIFolder");
        return m_chain.names[static_cast<std::size_t>(m_index)];
    }
    std::unique_ptr<IFolderNode> Parent() override {
        if (m_index == m_chain.failParent) throw HostError(kDispEException, "MAPIFolder");
        if (m_index == 0) {
            if (!m_chain.loop) return nullptr;
            return std::make_unique<CFakeFolder>(m_chain, static_cast<int>(m_chain.names.size()) - 1);
        }
        return std::make_unique<CFakeFolder>(m_chain, m_index - 1);
    }

private:
    const Chain& m_chain;
    int m_index;
};

std::u16string PathOf(const Chain& chain) {
    CFakeFolder deepest(chain, static_cast<int>(chain.names.size()) - 1);
    return FolderPathText(deepest);
}

TEST(FolderPathText, Levels) {
    EXPECT_EQ(PathOf({{u"Personal Folders"}}), u"\\\\Personal Folders");
    EXPECT_EQ(PathOf({{u"Mailbox - Ann", u"Contacts"}}), u"\\\\Mailbox - Ann\\Contacts");
    // Three levels below the top folder: two backslashes, the top, then three names.
    EXPECT_EQ(PathOf({{u"Personal Folders", u"Calendar", u"Work", u"Team \u00e9"}}),
              u"\\\\Personal Folders\\Calendar\\Work\\Team \u00e9");
}

TEST(FolderPathText, FailingCallGivesEmptyText) {
    struct Case {
        const char* name;
        int failName;
        int failParent;
    };
    const Case kCases[] = {
        {"name of the folder itself", 3, -1},
        {"name of the top folder", 0, -1},
        {"parent of the folder itself", -1, 3},
        {"parent of a middle folder", -1, 1},
        {"parent of the top folder", -1, 0},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Chain chain{{u"Top", u"A", u"B", u"C"}, c.failName, c.failParent};
        EXPECT_EQ(PathOf(chain), u"");
    }
}

TEST(FolderPathText, ParentLoopGivesEmptyText) {
    Chain chain{{u"Top", u"A"}};
    chain.loop = true;
    EXPECT_EQ(PathOf(chain), u"");
}

TEST(ParseFolderPath, Forms) {
    struct Case {
        const char* name;
        const char* text;
        bool ok;
        FolderPathSpec want;
    };
    const Case kCases[] = {
        {"one name", "Contacts", true, {"", {"Contacts"}}},
        {"slash", "Calendar/Work", true, {"", {"Calendar", "Work"}}},
        {"backslash", "Calendar\\Work", true, {"", {"Calendar", "Work"}}},
        {"mixed", "Calendar/Work\\Team", true, {"", {"Calendar", "Work", "Team"}}},
        {"rooted", "\\\\Personal Folders\\Calendar\\Work", true, {"Personal Folders", {"Calendar", "Work"}}},
        {"rooted keeps slashes in names", "\\\\Mailbox\\Calendar\\Q1/Q2", true, {"Mailbox", {"Calendar", "Q1/Q2"}}},
        {"rooted with slashes", "//Personal Folders/Calendar/Work", true, {"Personal Folders", {"Calendar", "Work"}}},
        {"top folder only", "\\\\Personal Folders", true, {"Personal Folders", {}}},
        {"top folder with trailing separator", "\\\\Personal Folders\\", true, {"Personal Folders", {}}},
        {"runs of separators", "Calendar//Work\\\\", true, {"", {"Calendar", "Work"}}},
        {"leading single separator", "/Contacts", true, {"", {"Contacts"}}},
        {"names keep spaces", " Calendar / Work ", true, {"", {" Calendar ", " Work "}}},
        {"empty", "", false, {}},
        {"separators only", "/\\/", false, {}},
        {"rooted without a name", "\\\\", false, {}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::optional<FolderPathSpec> got = ParseFolderPath(c.text);
        ASSERT_EQ(got.has_value(), c.ok);
        if (got) {
            EXPECT_EQ(*got, c.want);
        }
    }
}

TEST(ParseFolderPath, ReadsBackThePathText) {
    Chain chain{{u"Personal Folders", u"Calendar", u"Work"}};
    std::u16string text = PathOf(chain);
    // The names are ASCII here, so a plain narrowing is the UTF-8 form.
    std::string narrow(text.begin(), text.end());
    std::optional<FolderPathSpec> parsed = ParseFolderPath(narrow);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->top, "Personal Folders");
    EXPECT_EQ(parsed->names, (std::vector<std::string>{"Calendar", "Work"}));
}

}  // namespace
}  // namespace mireo
