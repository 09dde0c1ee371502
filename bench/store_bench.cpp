// Substitute host store timings: adding and saving contacts, Restrict lookups on
// [FullName] in a full folder, and a duplicate-checked import (Restrict, then Add
// and Save), each at 10,000 and at 100,000 items, with the growth between them.
// usage: store_bench [DIR] (default: the system's temporary folder)
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "hoststore/host_store.h"

using namespace mireo;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

std::u16string Name(const char* prefix, int i) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s%07d", prefix, i);
    return ToHostText(buf);
}

std::unique_ptr<CHostApplication> Fresh(const std::string& path) {
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
    return std::make_unique<CHostApplication>(HostStoreOptions{path, u"11.0.0.0", "M/d/yyyy"});
}

struct Row {
    int n;
    double add, lookup, import;
};

Row Measure(const std::string& dir, int n) {
    Row row{n, 0, 0, 0};
    const std::string path = dir + "/mireo_bench_" + std::to_string(n) + ".db";
    {
        auto app = Fresh(path);
        auto items = app->GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts)->Items();
        auto t0 = Clock::now();
        for (int i = 0; i < n; ++i) {
            auto c = items->Add(ItemType::Contact);
            c->Put("FirstName", Value::Text(Name("First", i)));
            c->Put("LastName", Value::Text(Name("Last", i)));
            c->Put("CompanyName", Value::Text(Name("Company", i % 997)));
            c->Put("Email1Address", Value::Text(Name("mail", i) + u"@example.org"));
            c->Put("BusinessTelephoneNumber", Value::Text(u"+1 555 0100"));
            c->Save();
        }
        row.add = Seconds(t0, Clock::now());
        std::fprintf(stderr, "%d: add %.2fs\n", n, row.add);

        std::mt19937 rnd(42);
        std::uniform_int_distribution<int> pick(0, n - 1);
        std::size_t found = 0;
        t0 = Clock::now();
        for (int k = 0; k < n; ++k) {
            const int i = pick(rnd);
            auto r = items->Restrict(u"[FullName] = \"" + Name("First", i) + u" " + Name("Last", i) + u"\"");
            found += static_cast<std::size_t>(r->Count());
        }
        row.lookup = Seconds(t0, Clock::now());
        std::fprintf(stderr, "%d: lookup %.2fs\n", n, row.lookup);
        if (found != static_cast<std::size_t>(n)) std::fprintf(stderr, "lookups found %zu of %d\n", found, n);
    }
    {
        // An import into a folder that already holds n contacts: search, then add.
        auto app = Fresh(path);
        auto folder = app->GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts);
        auto items = folder->Items();
        for (int i = 0; i < n; ++i) {
            auto c = items->Add(ItemType::Contact);
            c->Put("LastName", Value::Text(Name("Old", i)));
            c->Save();
        }
        auto t0 = Clock::now();
        for (int i = 0; i < n; ++i) {
            const std::u16string first = Name("New", i);
            auto dup = items->Restrict(u"[FullName] = \"" + first + u" X\" AND [CompanyName] = \"Acme\"");
            if (dup->GetFirst()) continue;
            auto c = items->Add(ItemType::Contact);
            c->Put("FirstName", Value::Text(first));
            c->Put("LastName", Value::Text(u"X"));
            c->Put("CompanyName", Value::Text(u"Acme"));
            c->Save();
        }
        row.import = Seconds(t0, Clock::now());
    }
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
    return row;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string();
    const Row small = Measure(dir, 10000);
    const Row large = Measure(dir, 100000);
    std::printf("%-34s %12s %12s %12s %12s\n", "operation", "10,000 (s)", "100,000 (s)", "items/s", "growth x10");
    auto line = [](const char* what, double a, double b, int n) {
        std::printf("%-34s %12.3f %12.3f %12.0f %12.2f\n", what, a, b, n / b, b / a);
    };
    line("add + save contacts", small.add, large.add, large.n);
    line("Restrict [FullName] (+Count)", small.lookup, large.lookup, large.n);
    line("import: Restrict + add + save", small.import, large.import, large.n);
    const bool ok = large.n / large.add >= 20000 && large.n / large.lookup >= 20000 && large.add / small.add <= 11 &&
                    large.lookup / small.lookup <= 11;
    std::printf("targets (>= 20,000/s saved and looked up, growth <= 11): %s\n", ok ? "met" : "NOT met");
    return 0;
}
