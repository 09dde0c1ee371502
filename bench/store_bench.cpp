// Substitute host store timings: adding and saving contacts, Restrict lookups on
// [FullName] in a full folder, and a duplicate-checked import (Restrict, then Add
// and Save), each at 10,000 and at 100,000 items, with the growth between them.
// Each timing is taken on the wall clock and as processor time (user + system): on a
// busy machine the wall clock counts other programs' time too.
// usage: store_bench [--repeat R] [DIR] (default: the system's temporary folder)
//        With R repeats every measurement is taken R times, alternating the sizes, and
//        the fastest is kept (wall clock and processor time each): on a shared machine
//        the fastest run is the one least slowed by other programs.
// Each size is measured in a process of its own, so that every run starts as the
// first did: a process that has already grown its heap and page cache adds the next
// 10,000 contacts a quarter faster, which would flatter the small size only.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "hoststore/host_store.h"

using namespace mireo;

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Wall and processor time since it was made.
struct Timer {
    Clock::time_point wall = Clock::now();
    double cpu = CpuSeconds();
};

struct Time {
    double wall = 0, cpu = 0;
};

Time Since(const Timer& t) { return Time{std::chrono::duration<double>(Clock::now() - t.wall).count(), CpuSeconds() - t.cpu}; }

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
    Time add, lookup, import;
};

Row Measure(const std::string& dir, int n) {
    Row row{n, {}, {}, {}};
    const std::string path = dir + "/mireo_bench_" + std::to_string(n) + ".db";
    {
        auto app = Fresh(path);
        auto items = app->GetNamespace()->GetDefaultFolder(DefaultFolder::Contacts)->Items();
        Timer t0;
        for (int i = 0; i < n; ++i) {
            auto c = items->Add(ItemType::Contact);
            c->Put("FirstName", Value::Text(Name("First", i)));
            c->Put("LastName", Value::Text(Name("Last", i)));
            c->Put("CompanyName", Value::Text(Name("Company", i % 997)));
            c->Put("Email1Address", Value::Text(Name("mail", i) + u"@example.org"));
            c->Put("BusinessTelephoneNumber", Value::Text(u"+1 555 0100"));
            c->Save();
        }
        row.add = Since(t0);
        std::fprintf(stderr, "%d: add %.2fs (cpu %.2fs)\n", n, row.add.wall, row.add.cpu);

        std::mt19937 rnd(42);
        std::uniform_int_distribution<int> pick(0, n - 1);
        std::size_t found = 0;
        t0 = Timer{};
        for (int k = 0; k < n; ++k) {
            const int i = pick(rnd);
            auto r = items->Restrict(u"[FullName] = \"" + Name("First", i) + u" " + Name("Last", i) + u"\"");
            found += static_cast<std::size_t>(r->Count());
        }
        row.lookup = Since(t0);
        std::fprintf(stderr, "%d: lookup %.2fs (cpu %.2fs)\n", n, row.lookup.wall, row.lookup.cpu);
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
        Timer t0;
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
        row.import = Since(t0);
    }
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
    return row;
}


// Measure(dir, n) in a child process.
Row MeasureApart(const std::string& dir, int n) {
    std::fflush(stdout);
    std::fflush(stderr);
    int fds[2];
    if (pipe(fds) != 0) return Measure(dir, n);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const Row row = Measure(dir, n);
        const bool sent = write(fds[1], &row, sizeof row) == static_cast<ssize_t>(sizeof row);
        std::fflush(stderr);
        _exit(sent ? 0 : 1);
    }
    close(fds[1]);
    Row row{n, {}, {}, {}};
    const bool got = read(fds[0], &row, sizeof row) == static_cast<ssize_t>(sizeof row);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!got) {
        std::fprintf(stderr, "the measurement of %d items failed\n", n);
        std::exit(1);
    }
    return row;
}

Time Fastest(Time a, Time b) { return Time{std::min(a.wall, b.wall), std::min(a.cpu, b.cpu)}; }

Row Fastest(const Row& a, const Row& b) {
    return Row{a.n, Fastest(a.add, b.add), Fastest(a.lookup, b.lookup), Fastest(a.import, b.import)};
}

}  // namespace

int main(int argc, char** argv) {
    int repeat = 1;
    std::string dir = std::filesystem::temp_directory_path().string();
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--repeat" && i + 1 < argc) repeat = std::max(1, std::atoi(argv[++i]));
        else dir = argv[i];
    }
    Row small = MeasureApart(dir, 10000);
    Row large = MeasureApart(dir, 100000);
    for (int k = 1; k < repeat; ++k) {
        small = Fastest(small, MeasureApart(dir, 10000));
        large = Fastest(large, MeasureApart(dir, 100000));
    }
    if (repeat > 1) std::printf("(the fastest of %d runs)\n", repeat);
    std::printf("%-30s %8s %8s %8s %8s %9s %9s %7s %7s\n", "operation", "10k (s)", "cpu", "100k (s)", "cpu", "items/s",
                "cpu:it/s", "growth", "cpu:gr");
    auto line = [](const char* what, Time a, Time b, int n) {
        std::printf("%-30s %8.3f %8.3f %8.3f %8.3f %9.0f %9.0f %7.2f %7.2f\n", what, a.wall, a.cpu, b.wall, b.cpu, n / b.wall,
                    n / b.cpu, b.wall / a.wall, b.cpu / a.cpu);
    };
    line("add + save contacts", small.add, large.add, large.n);
    line("Restrict [FullName] (+Count)", small.lookup, large.lookup, large.n);
    line("import: Restrict + add + save", small.import, large.import, large.n);
    const bool ok = large.n / large.add.wall >= 20000 && large.n / large.lookup.wall >= 20000 &&
                    large.add.wall / small.add.wall <= 11 && large.lookup.wall / small.lookup.wall <= 11;
    std::printf("targets (>= 20,000/s saved and looked up, growth <= 11, wall clock): %s\n", ok ? "met" : "NOT met");
    return 0;
}
