#pragma once
// Doubles for the tests of the engine and of what runs in it: a host with nothing in it,
// a registry that opens nothing (the settings keep their defaults) and a fixed locale.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/item_store.h"
#include "platform/locale_info.h"
#include "platform/registry.h"

namespace mireo::test {

// Every object the host would make fails to be made, as a host without the outside
// library or any item would.
class CNoHost : public IApplication, public IMapiFactory {
public:
    std::u16string Version() override { return u"11.0.0.0"; }
    std::unique_ptr<IExplorer> ActiveExplorer() override { return nullptr; }
    std::unique_ptr<INamespace> GetNamespace() override { return nullptr; }
    std::unique_ptr<IItem> CreateItem(ItemType) override { throw HostError(kENotImpl, "_Application"); }
    std::unique_ptr<IMailItem> CreateMailItem() override { throw HostError(kENotImpl, "_Application"); }
    std::unique_ptr<ISafeItem> CreateSafeContactItem() override { throw HostError(kCoEClassString, "SafeContactItem"); }
    std::unique_ptr<ISafeItem> CreateSafeAppointmentItem() override {
        throw HostError(kCoEClassString, "SafeAppointmentItem");
    }
    std::unique_ptr<IMapiUtils> CreateMapiUtils() override { throw HostError(kCoEClassString, "MapiUtils"); }
};

// Records the key paths asked for and opens none of them.
class CClosedRegistry : public IRegistry {
public:
    long OpenKey(RegRoot, std::string_view path, bool, bool, Key&) override {
        m_opened.emplace_back(path);
        return kErrorAccessDenied;
    }
    long OpenSubKey(Key, std::string_view, bool, Key&) override { return kErrorAccessDenied; }
    void CloseKey(Key) override {}
    long QueryValue(Key, std::string_view, std::uint32_t*, std::uint8_t*, std::uint32_t*) override {
        return kErrorInvalidHandle;
    }
    long SetValue(Key, std::string_view, std::uint32_t, const std::uint8_t*, std::uint32_t) override {
        return kErrorInvalidHandle;
    }
    long DeleteValue(Key, std::string_view) override { return kErrorInvalidHandle; }
    long EnumSubKey(Key, std::uint32_t, std::string&) override { return kErrorNoMoreItems; }

    std::vector<std::string> m_opened;
};

// The list separator "|", so that a run's environment shows where it came from.
class CFixedLocale : public ILocaleInfo {
public:
    std::string ListSeparator() override { return "|"; }
    std::string ShortDateFormat() override { return "M/d/yyyy"; }
};

}  // namespace mireo::test
