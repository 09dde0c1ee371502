// Address books of two shapes, written as vCard 3.0 files from a seed, imported and
// exported through the whole contact runs of the substitute store:
//   lean: the spread of contacts of the import benchmark (name, company, two or three
//         phones; an address, a note, a department on some);
//   rich: a book as people keep one: a five-part name, often with title and suffix,
//         nickname, company with department, job title, a note of 150 to 250
//         characters with line breaks, three to five typed phones, one or two
//         addresses, a web page, birthday, e-mail, two or three categories, and a
//         quarter of the cards sharing their name and company with up to ten others.
// For each shape and count it measures the import into an empty folder (keep both),
// the same import again (every card found identical and skipped), the export of the
// folder into one vCard 3.0 file, the store file's size and each run's peak memory,
// with KDE's KContacts parsing the same file beside them; then the growth from the
// smallest to the largest count and whether each target is met.
//
// Each run is a forked child of its own, so that its peak resident size is its own.
//
// Usage: mireo_bench_address_book [--shape lean|rich]... [--seed S] [--repeat R] [counts...]
//            default: both shapes, seed 1, 10000 and 100000 cards, each timing once;
//            with R repeats the fastest run of each is shown, with the highest peak;
//            the repeats go round all the books in turn.
//        mireo_bench_address_book --write lean|rich N SEED FILE   (the book alone)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/vcard/bench_common.h"
#include "bench/vcard/import_run.h"
#include "vcard/vcard_writer.h"

namespace mireo {
namespace {

using namespace bench;
namespace fs = std::filesystem;

constexpr double kMiB = 1024.0 * 1024.0;

enum class Shape { kLean, kRich };
const char* ShapeName(Shape s) { return s == Shape::kLean ? "lean" : "rich"; }

// splitmix64: the same numbers from the same seed on every machine and library.
class CRandom {
public:
    explicit CRandom(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
    template <std::size_t N>
    const char* Pick(const char* const (&list)[N]) { return list[Below(static_cast<int>(N))]; }

private:
    std::uint64_t m_state;
};

constexpr const char* kGiven[] = {"Anna", "Jan", "Petra", "Tomas", "Eva", "Martin", "Lucie", "Jakub", "Hana", "Pavel",
                                  "Maria", "Lukas", "Sofia", "David", "Klara", "Adam", "Ines", "Oliver", "Zoe", "Henrik",
                                  "J\u00FCrgen", "Ren\u00E9e", "Bj\u00F6rn", "Zo\u00EB", "Franti\u0161ek", "Ji\u0159\u00ED"};
constexpr const char* kFamily[] = {"Novak", "Svoboda", "Dvo\u0159\u00E1k", "Smith", "Johnson", "M\u00FCller",
                                   "Schneider", "Garcia", "Rossi", "Bianchi", "Nowak", "Kowalski", "Andersson",
                                   "Nielsen", "O'Brien", "Murphy", "Dubois", "Laurent", "Horvat", "Kova\u010D",
                                   "Tanaka", "Silva", "Santos", "Peeters", "Janssen", "Virtanen", "Berg", "Weber"};
constexpr const char* kTitle[] = {"Dr.", "Mr.", "Ms.", "Prof.", "Ing.", "Mgr."};
constexpr const char* kSuffix[] = {"Jr.", "Sr.", "PhD", "III", "MBA", "CSc."};
constexpr const char* kNick[] = {"Sunny", "Doc", "Bear", "Kiki", "Max", "Jo", "Bee", "Tom"};
constexpr const char* kCompanyWord[] = {"Kestrel", "Ardent", "Bluewater", "Corvid", "Elmfield", "Granite", "Helix",
                                        "Juniper", "Lumen", "Meridian", "Northwind", "Orchard", "Pioneer", "Quarry"};
constexpr const char* kCompanyKind[] = {"Logistics", "Systems", "Foods", "Partners", "Labs", "Holdings", "Textiles"};
constexpr const char* kDepartment[] = {"Purchasing", "Sales", "Research", "Finance", "Legal", "Support", "Marketing"};
constexpr const char* kJob[] = {"Head of Purchasing", "Sales Manager", "Engineer", "Accountant", "Counsel",
                                "Team Lead", "Director", "Analyst"};
constexpr const char* kCategory[] = {"Business", "Customers", "Suppliers", "Personal", "Holiday Cards", "Key Customer",
                                     "Competition", "Ideas", "VIP", "Friends"};
constexpr const char* kStreet[] = {"Main St", "Long Lane", "Station Road", "Market Square", "Hlavn\u00ED",
                                   "Lindenstra\u00DFe", "Rue du Lac", "Harbour View"};
constexpr const char* kCity[] = {"Springfield", "Praha", "Brno", "M\u00FCnchen", "Lyon", "Porto", "Gda\u0144sk", "Aarhus"};
constexpr const char* kCountry[] = {"USA", "Czech Republic", "Germany", "France", "Portugal", "Poland", "Denmark"};
constexpr const char* kNoteLine[] = {"Met at the trade fair in spring",  "wants a quote for the next season",
                                     "prefers calls before noon",        "send the catalogue by post",
                                     "asked about volume discounts\\, again", "knows our director from school",
                                     "follow up after the holidays",      "invoice address differs from the office",
                                     "allergic to nuts - mind the gift basket", "speaks German and French"};
constexpr const char* kTelType[] = {"WORK,VOICE", "HOME,VOICE", "CELL", "WORK,FAX", "PAGER", "HOME,FAX", "CAR"};

// A code of letters for a number ("Bxe"): names that real books do not repeat.
std::string Letters(std::uint64_t n) {
    std::string s;
    do {
        s += static_cast<char>('a' + n % 26);
        n /= 26;
    } while (n != 0);
    s[0] = static_cast<char>(s[0] - 'a' + 'A');
    return s;
}

// A content line folded at 75 octets (between UTF-8 sequences), CRLF after it.
void Line(std::string& out, const std::string& line) {
    std::size_t pos = 0, width = 75;
    while (line.size() - pos > width) {
        std::size_t cut = pos + width;
        while (cut > pos && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
        out.append(line, pos, cut - pos);
        out += "\r\n ";
        pos = cut;
        width = 74;
    }
    out.append(line, pos, std::string::npos);
    out += "\r\n";
}

std::string Phone(CRandom& r) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "+%d %03d %03d %03d", 1 + r.Below(49), r.Below(1000), r.Below(1000), r.Below(1000));
    return buf;
}

std::string Date(int year, int month, int day) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, month, day);
    return buf;
}

struct Identity {
    std::string title, given, middle, family, suffix, company;
};

// The name and company of rich cards: three quarters have their own, the others
// share theirs with one to ten more cards.
class CIdentities {
public:
    CIdentities(std::uint64_t seed, int count) : m_seed(seed), m_count(count) {}
    Identity For(int i) {
        CRandom r(m_seed * 7919 + static_cast<std::uint64_t>(i) * 104729 + 1);
        if (r.Below(4) != 0) return Make(r, static_cast<std::uint64_t>(i));
        if (m_left == 0) {
            CRandom g(m_seed * 31 + static_cast<std::uint64_t>(m_groups) + 0x5151);
            m_group = Make(g, static_cast<std::uint64_t>(m_count) + static_cast<std::uint64_t>(m_groups));
            m_left = 2 + g.Below(10);  // 2 to 11 cards to a name
            ++m_groups;
        }
        --m_left;
        return m_group;
    }

private:
    static Identity Make(CRandom& r, std::uint64_t unique) {
        Identity id;
        if (r.Below(3) != 0) id.title = r.Pick(kTitle);
        id.given = r.Pick(kGiven);
        id.middle = Letters(unique);
        id.family = r.Pick(kFamily);
        if (r.Below(3) == 0) id.suffix = r.Pick(kSuffix);
        id.company = std::string(r.Pick(kCompanyWord)) + " " + r.Pick(kCompanyKind) + " " + std::to_string(r.Below(3000));
        return id;
    }
    std::uint64_t m_seed;
    int m_count;
    int m_left = 0;
    int m_groups = 0;
    Identity m_group;
};

// In vCard 3.0 a "," or ";" in a value is escaped; an apostrophe is not.
std::string Joined(std::initializer_list<std::string> parts) {
    std::string s;
    for (const std::string& p : parts) {
        if (p.empty()) continue;
        if (!s.empty()) s += ' ';
        s += p;
    }
    return s;
}

void RichCard(std::string& out, std::uint64_t seed, int i, const Identity& id) {
    CRandom r(seed * 1000003 + static_cast<std::uint64_t>(i));
    Line(out, "BEGIN:VCARD");
    Line(out, "VERSION:3.0");
    Line(out, "N:" + id.family + ";" + id.given + ";" + id.middle + ";" + id.title + ";" + id.suffix);
    Line(out, "FN:" + Joined({id.title, id.given, id.middle, id.family, id.suffix}));
    Line(out, std::string("NICKNAME:") + r.Pick(kNick));
    Line(out, "ORG:" + id.company + ";" + r.Pick(kDepartment));
    Line(out, std::string("TITLE:") + r.Pick(kJob));
    std::string note;
    const int target = 150 + r.Below(101);
    while (note.size() < static_cast<std::size_t>(target)) {
        if (!note.empty()) note += r.Below(2) ? "\\n" : ". ";
        note += r.Pick(kNoteLine);
    }
    note.resize(static_cast<std::size_t>(target));
    if (note.back() == '\\') note.pop_back();  // no escape cut in two
    Line(out, "NOTE:" + note + ".");
    const int phones = 3 + r.Below(3);
    const int first = r.Below(7);
    for (int k = 0; k < phones; ++k) Line(out, std::string("TEL;TYPE=") + kTelType[(first + k) % 7] + ":" + Phone(r));
    const int addresses = 1 + r.Below(2);
    for (int k = 0; k < addresses; ++k) {
        Line(out, std::string("ADR;TYPE=") + (k == 0 ? "WORK" : "HOME") + ":;Building " + std::to_string(1 + r.Below(9)) +
                      ";" + std::to_string(1 + r.Below(200)) + " " + r.Pick(kStreet) + ";" + r.Pick(kCity) + ";;" +
                      std::to_string(10000 + r.Below(90000)) + ";" + r.Pick(kCountry));
    }
    Line(out, "URL:https://www." + Letters(static_cast<std::uint64_t>(i) + 77) + ".example.com/people/" +
                  Letters(static_cast<std::uint64_t>(i) * 7 + 3));
    Line(out, "BDAY:" + Date(1940 + r.Below(65), 1 + r.Below(12), 1 + r.Below(28)));
    Line(out, "EMAIL;TYPE=INTERNET:" + id.middle + "." + Letters(static_cast<std::uint64_t>(i)) + "." +
                  std::to_string(r.Below(100)) + "@mail.example-corporation.org");
    const int cats = 2 + r.Below(2);
    const int c0 = r.Below(10);
    std::string categories;
    for (int k = 0; k < cats; ++k) categories += std::string(k ? "," : "") + kCategory[(c0 + 3 * k) % 10];
    Line(out, "CATEGORIES:" + categories);
    Line(out, "REV:" + Date(2020 + r.Below(6), 1 + r.Below(12), 1 + r.Below(28)) + "T10:20:30Z");
    Line(out, "END:VCARD");
}

// The lean card: the spread of bench::FillContact, with numbers from the seed.
void LeanCard(std::string& out, std::uint64_t seed, int i) {
    CRandom r(seed * 1000003 + static_cast<std::uint64_t>(i));
    const std::string given = "First " + std::to_string(i);
    const std::string family = std::string(i % 7 == 0 ? "M\u00FCller-" : "Smith-") + "Last " + std::to_string(i % 2000);
    Line(out, "BEGIN:VCARD");
    Line(out, "VERSION:3.0");
    Line(out, "N:" + family + ";" + given + ";;;");
    Line(out, "FN:" + given + " " + family);
    Line(out, "ORG:Company " + std::to_string(i % 500) + (i % 3 == 0 ? ";Sales\\, North" : ""));
    Line(out, i % 11 == 0 ? "TITLE:Head of\\nPurchasing" : "TITLE:Manager");
    Line(out, "TEL;TYPE=WORK,VOICE:" + Phone(r));
    Line(out, "TEL;TYPE=CELL:" + Phone(r));
    if (i % 2 == 0) Line(out, "TEL;TYPE=HOME,VOICE:" + Phone(r));
    if (i % 4 == 0)
        Line(out, std::string("ADR;TYPE=WORK:;;") + (i % 8 == 0 ? "1 Main St\\nSuite 200" : "1 Main St") +
                      ";Springfield;;62701;USA");
    if (i % 5 == 0) {
        std::string body = "Met at the fair\\; wants a quote.\\nCall back on Monday\\, after 10 \u20AC.";
        if (i % 50 == 0) {
            for (int k = 0; k < 60; ++k) body += " More notes about the contact\\, line after line.\\n";
        }
        Line(out, "NOTE:" + body);
    }
    Line(out, "EMAIL;TYPE=INTERNET:person" + std::to_string(i) + "@example.com");
    Line(out, i % 2 == 0 ? "CATEGORIES:Business,Customers" : "CATEGORIES:Personal");
    Line(out, "BDAY:" + Date(1970 + r.Below(30), 1 + r.Below(12), 1 + r.Below(28)));
    Line(out, "REV:" + Date(2007 + r.Below(10), 1 + r.Below(12), 1 + r.Below(28)) + "T08:00:00Z");
    if (i % 13 == 0) Line(out, "CLASS:PRIVATE");
    Line(out, "END:VCARD");
}

bool WriteBook(Shape shape, int count, std::uint64_t seed, const std::string& file) {
    std::ofstream f(file, std::ios::binary | std::ios::trunc);
    CIdentities ids(seed, count);
    std::string out;
    for (int i = 0; i < count; ++i) {
        if (shape == Shape::kRich) {
            RichCard(out, seed, i, ids.For(i));
        } else {
            LeanCard(out, seed, i);
        }
        if (out.size() > (1 << 20)) {
            f.write(out.data(), static_cast<std::streamsize>(out.size()));
            out.clear();
        }
    }
    f.write(out.data(), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(f.flush());
}

// A run in a forked child: wall time seen from here, processor time and peak resident
// size from the kernel's account of the child.
struct Measured {
    bool ok = false;
    double seconds = 0;
    double cpu = 0;
    long peakKb = 0;
};

template <typename Body>
Measured RunMeasured(Body body) {
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int rc = body();
        std::fflush(stdout);
        std::fflush(stderr);
        _exit(rc);
    }
    int status = 0;
    rusage u{};
    wait4(pid, &status, 0, &u);
    Measured m;
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.cpu = u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    m.peakKb = u.ru_maxrss;
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return m;
}

std::uint64_t StoreBytes(const std::string& store) {
    std::uint64_t n = 0;
    for (const char* suffix : {"", "-wal"}) {
        std::error_code ec;
        const auto size = fs::file_size(store + suffix, ec);
        if (!ec) n += size;
    }
    return n;
}

int CountCards(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) n += line.rfind("END:VCARD", 0) == 0;
    return n;
}

struct Row {
    Shape shape = Shape::kLean;
    int count = 0;
    std::uint64_t fileBytes = 0, storeBytes = 0, exportBytes = 0;
    ImportResult first, second;
    Measured exported;
    ParseResult kcontacts;
    bool countersOk = false;
};

std::string Verdict(bool pass) { return pass ? "PASS" : "FAIL"; }

}  // namespace
}  // namespace mireo

int main(int argc, char** argv) {
    using namespace mireo;
    if (argc == 6 && std::strcmp(argv[1], "--write") == 0)
        return WriteBook(std::strcmp(argv[2], "rich") == 0 ? Shape::kRich : Shape::kLean, std::atoi(argv[3]),
                         std::strtoull(argv[4], nullptr, 10), argv[5])
                   ? 0
                   : 1;

    std::vector<int> counts;
    std::vector<Shape> shapes;
    std::uint64_t seed = 1;
    int repeat = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
            seed = std::strtoull(argv[++i], nullptr, 10);
        } else if (std::strcmp(argv[i], "--shape") == 0 && i + 1 < argc) {
            shapes.push_back(std::strcmp(argv[++i], "rich") == 0 ? Shape::kRich : Shape::kLean);
        } else {
            counts.push_back(std::atoi(argv[i]));
        }
    }
    if (counts.empty()) counts = {10000, 100000};
    std::sort(counts.begin(), counts.end());
    if (shapes.empty()) shapes = {Shape::kLean, Shape::kRich};

    const fs::path self = fs::read_symlink("/proc/self/exe");
    const std::string kcontacts = (self.parent_path() / "mireo_bench_kcontacts_parse").string();
    const bool haveKContacts = access(kcontacts.c_str(), X_OK) == 0;
    const fs::path work = fs::temp_directory_path() / ("mireo_bench_book_" + std::to_string(getpid()));
    fs::create_directories(work);
    int status = 0;
    std::vector<Row> rows;
    const auto tagOf = [](const Row& r) { return std::string(ShapeName(r.shape)) + "-" + std::to_string(r.count); };

    for (Shape shape : shapes) {
        for (int n : counts) {
            Row row;
            row.shape = shape;
            row.count = n;
            const std::string file = (work / (tagOf(row) + ".vcf")).string();
            WriteBook(shape, n, seed, file);
            row.fileBytes = fs::file_size(file);
            std::printf("%s book of %d cards (seed %llu): %.1f MB, %.0f bytes a card\n", ShapeName(shape), n,
                        static_cast<unsigned long long>(seed), row.fileBytes / kMiB,
                        static_cast<double>(row.fileBytes) / n);
            rows.push_back(row);
        }
    }
    // The repeats go round every book, so that each measurement's best is taken from
    // runs spread over the whole sitting: a machine that is slow for a minute then slows
    // one run of each book rather than every run of one, and the growth from count to
    // count is not that minute's.
    for (int k = 0; k < repeat; ++k) {
        for (Row& row : rows) {
            const int n = row.count;
            const std::string tag = tagOf(row);
            const std::string file = (work / (tag + ".vcf")).string();
            const std::string store = (work / (tag + ".db")).string();
            const std::string dir = (work / "out").string();
            std::printf("%s book of %d cards%s\n", ShapeName(row.shape), n,
                        repeat > 1 ? (", round " + std::to_string(k + 1)).c_str() : "");
            RemoveStore(store);
            const ImportResult first = ImportChild(file, store);
            PrintImport("import into an empty folder", first);
            row.first = k == 0 ? first : Faster(row.first, first);
            row.storeBytes = StoreBytes(store);
            const ImportResult second = ImportChild(file, store);
            PrintImport("import again (all identical)", second);
            row.second = k == 0 ? second : Faster(row.second, second);
            fs::remove_all(dir);
            const Measured m = RunMeasured([&]() { return Export(store, dir, kVCard30); });
            std::printf("%-28s %7d cards  %8.3f s (cpu %7.3f s)  %9.0f cards/s  peak %7.1f MB\n",
                        "export to one file", n, m.seconds, m.cpu, n / m.seconds, m.peakKb / 1024.0);
            if (k == 0 || m.seconds < row.exported.seconds) {
                const long peak = std::max(row.exported.peakKb, m.peakKb);
                const bool ok = k == 0 ? m.ok : row.exported.ok && m.ok;
                row.exported = m;
                row.exported.peakKb = peak;
                row.exported.ok = ok;
            } else {
                row.exported.peakKb = std::max(row.exported.peakKb, m.peakKb);
                row.exported.ok = row.exported.ok && m.ok;
            }
            const fs::path exportedFile = fs::path(dir) / "Contacts.vcf";
            const int exportedCards = m.ok && fs::exists(exportedFile) ? CountCards(exportedFile.string()) : -1;
            row.exportBytes = exportedCards >= 0 ? fs::file_size(exportedFile) : 0;
            const bool countersOk = first.ok && second.ok && first.contacts == n && first.succeeded == n &&
                                    first.skipped == 0 && first.failed == 0 && second.contacts == n &&
                                    second.skipped == n && second.succeeded == 0 && second.failed == 0 &&
                                    exportedCards == n;
            row.countersOk = k == 0 ? countersOk : row.countersOk && countersOk;
            if (!countersOk) {
                std::printf("  counters not as expected: the first import must save every card, the second skip every "
                            "one, the export write every one (it wrote %d)\n",
                            exportedCards);
                status = 1;
            }
            if (haveKContacts) KeepKContactsParse(row.kcontacts, KContactsParse(kcontacts, file), k == 0);
            RemoveStore(store);
            fs::remove_all(dir);
        }
    }
    fs::remove_all(work);

    std::printf("\n%5s %7s %6s | %9s %7s %6s | %9s %7s %6s | %8s %7s %6s | %8s | %9s %6s\n", "shape", "N", "file", "import-1",
                "cpu", "peak", "import-2", "cpu", "peak", "export", "cpu", "peak", "store", "KContacts", "peak");
    for (const Row& r : rows) {
        char kc[40];
        if (r.kcontacts.ran) {
            std::snprintf(kc, sizeof kc, "%9.3f %6.1f", r.kcontacts.seconds, r.kcontacts.peakKb / 1024.0);
        } else {
            std::snprintf(kc, sizeof kc, "%9s %6s", haveKContacts ? "failed" : "not built", "");
        }
        std::printf("%5s %7d %6.1f | %9.3f %7.3f %6.1f | %9.3f %7.3f %6.1f | %8.3f %7.3f %6.1f | %8.1f | %s%s\n",
                    ShapeName(r.shape), r.count, r.fileBytes / kMiB, r.first.seconds, r.first.cpu,
                    r.first.peakKb / 1024.0, r.second.seconds, r.second.cpu, r.second.peakKb / 1024.0,
                    r.exported.seconds, r.exported.cpu, r.exported.peakKb / 1024.0, r.storeBytes / kMiB, kc,
                    r.countersOk ? "" : "  (counters wrong)");
    }
    std::printf("(MB: 2^20 bytes; times are seconds, wall-clock and processor%s; store: the file after the first "
                "import)\n",
                repeat > 1 ? ", the fastest of the repeats; peaks the highest" : "");

    for (Shape shape : shapes) {
        const Row* small = nullptr;
        const Row* large = nullptr;
        for (const Row& r : rows) {
            if (r.shape != shape) continue;
            if (small == nullptr) small = &r;
            large = &r;
        }
        if (large == nullptr) continue;
        std::printf("\n%s book\n", ShapeName(shape));
        bool pass = true;
        auto target = [&](bool ok, const char* fmt, auto... args) {
            std::printf(fmt, args...);
            std::printf(": %s\n", Verdict(ok).c_str());
            pass = pass && ok;
        };
        // Import into an empty folder against KContacts' parse of the same file alone.
        const double share = shape == Shape::kRich ? 1.0 : 0.5;
        if (large->kcontacts.ran) {
            target(large->first.seconds < share * large->kcontacts.seconds,
                   "import of %d into an empty folder %.3f s < %sKContacts' parse %.3f s", large->count,
                   large->first.seconds, shape == Shape::kRich ? "" : "half of ", large->kcontacts.seconds);
        } else {
            std::printf("import of %d against KContacts' parse: n/a (KContacts %s)\n", large->count,
                        haveKContacts ? "did not run" : "not built");
            if (haveKContacts) pass = false;
        }
        if (small != large) {
            const double times = static_cast<double>(large->count) / small->count;
            const double limit = 1.1 * times;
            const double g1 = large->first.seconds / small->first.seconds;
            const double g2 = large->second.seconds / small->second.seconds;
            const double g3 = large->exported.seconds / small->exported.seconds;
            target(g1 <= limit && g2 <= limit && g3 <= limit,
                   "growth %d -> %d cards: import-1 %.1fx, import-2 %.1fx, export %.1fx <= %.0fx", small->count,
                   large->count, g1, g2, g3, limit);
        }
        // Export to one file: 1.5 s (rich) or 1 s (lean) a hundred thousand cards.
        const double perLakh = shape == Shape::kRich ? 1.5 : 1.0;
        if (large->count >= 100000) {
            const double limit = perLakh * large->count / 100000.0;
            target(large->exported.ok && large->exported.seconds < limit, "export of %d to one file %.3f s < %.2f s",
                   large->count, large->exported.seconds, limit);
        }
        target(large->storeBytes <= large->fileBytes, "store file %.1f MB <= vCard file %.1f MB", large->storeBytes / kMiB,
               large->fileBytes / kMiB);
        const double fileMiB = large->fileBytes / kMiB;
        const double limit = 2 * fileMiB + kConstantBudgetMiB;
        const double peak =
            std::max({large->first.peakKb, large->second.peakKb, large->exported.peakKb}) / 1024.0;
        target(peak <= limit, "peak %.1f MB <= 2 x file %.1f MB + %.0f MB = %.1f MB", peak, fileMiB, kConstantBudgetMiB,
               limit);
        if (!pass) status = 1;
    }
    return status;
}
