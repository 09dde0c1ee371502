// The comparison for the contact import benchmark: KDE's KContacts parsing a vCard
// file. Reads the whole file into memory (not timed), then times
// VCardConverter::parseVCards alone.
//
// Usage: mireo_bench_kcontacts_parse FILE
// Prints one line: "parse_seconds=S addressees=N file_bytes=B peak_kb=K".
#include <sys/resource.h>

#include <KContacts/VCardConverter>
#include <QByteArray>
#include <QFile>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: cannot open %s\n", argv[0], argv[1]);
        return 1;
    }
    const QByteArray data = file.readAll();
    file.close();

    KContacts::VCardConverter converter;
    const auto start = std::chrono::steady_clock::now();
    const KContacts::Addressee::List list = converter.parseVCards(data);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    std::printf("parse_seconds=%.6f addressees=%lld file_bytes=%lld peak_kb=%ld\n", seconds,
                static_cast<long long>(list.size()), static_cast<long long>(data.size()), u.ru_maxrss);
    return 0;
}
