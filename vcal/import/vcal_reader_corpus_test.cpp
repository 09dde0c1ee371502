// Reads every calendar of the shared sample corpus: nothing crashes, every VEVENT the
// counting pass finds is either handed on or dropped with a reason, and a summary tells
// what was dropped and why, and how long the slowest file took.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include "encoding/mireo_char_converter.h"
#include "engine/logger.h"
#include "platform/ascii.h"
#include "vcal/import/vcal_reader.h"

namespace mireo {
namespace {

std::string ReadBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

MireoCharConverter& Converter() {
    static std::unique_ptr<MireoCharConverter> c = MireoCharConverter::FromText(
        ReadBytes(std::filesystem::path(MIREO_TESTDATA_DIR) / ".." / "resources" / "supportedEncodings.txt"));
    return *c;
}

// Counts the log lines by their message (the part before the TAB).
class CTallyLogger : public ILogger {
public:
    void LogMsg(std::string_view text, long, const char*, int level, int) override {
        if (level < kWarning) return;
        std::string key(text.substr(0, text.find('\t')));
        std::replace(key.begin(), key.end(), '\n', ' ');
        if (key.size() > 60) key = key.substr(0, 60);
        ++messages[key];
    }
    std::map<std::string, int> messages;
};

TEST(VCalReaderCorpus, EveryCalendarReads) {
    const std::filesystem::path root = std::filesystem::path(MIREO_SHARED_DIR) / "corpus";
    std::error_code ec;
    if (!std::filesystem::is_directory(root, ec)) GTEST_SKIP() << "no corpus at " << root.string();
    std::vector<std::filesystem::path> files;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (it->is_regular_file(ec) && (ascii::EndsWithNoCase(name, ".ics") || ascii::EndsWithNoCase(name, ".vcs")))
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());

    CTallyLogger log;
    VCalReaderOptions options;
    options.logger = &log;
    options.computerZone = ZoneRule{};
    int counted = 0, read = 0, dropped = 0, stoppedFiles = 0, emptyFiles = 0;
    std::map<std::string, int> reasons, unknown;
    std::vector<std::string> stopped, droppedFiles;
    double slowest = 0;
    std::string slowestName;
    for (const auto& path : files) {
        SCOPED_TRACE(path.string());
        const std::string bytes = ReadBytes(path);
        const auto t0 = std::chrono::steady_clock::now();
        const int count = CvCalReader::CountEvents(bytes, path.filename().string());
        CvCalReader reader(&Converter(), options);
        reader.Open(bytes, path.filename().string());
        EventRecord event;
        int n = 0;
        CvCalReader::Result r;
        while ((r = reader.Next(event)) == CvCalReader::Result::kEvent) ++n;
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (seconds > slowest) {
            slowest = seconds;
            slowestName = path.filename().string();
        }
        if (r == CvCalReader::Result::kStopped) {
            // An unknown VERSION stops the import; what follows is counted as skipped.
            ++stoppedFiles;
            stopped.push_back(path.parent_path().filename().string() + "/" + path.filename().string());
            EXPECT_LE(n + reader.Dropped(), count);
        } else {
            EXPECT_EQ(n + reader.Dropped(), count);
        }
        counted += count;
        read += n;
        dropped += reader.Dropped();
        if (count == 0) ++emptyFiles;
        for (const auto& [why, k] : reader.DropReasons()) reasons[why] += k;
        if (reader.Dropped() > 0)
            droppedFiles.push_back(path.filename().string() + "(" + std::to_string(reader.Dropped()) + ")");
        for (const auto& [name, k] : reader.UnknownProperties()) unknown[name] += k;
    }
    std::printf("corpus: %zu calendars, %d VEVENT counted, %d handed on, %d dropped, %d files without events\n",
                files.size(), counted, read, dropped, emptyFiles);
    std::printf("slowest file: %s, %.3f s\n", slowestName.c_str(), slowest);
    for (const auto& [why, k] : reasons) std::printf("  dropped %5d  %s\n", k, why.c_str());
    std::printf("files with dropped events:");
    for (const std::string& s : droppedFiles) std::printf(" %s", s.c_str());
    std::printf("\n");
    std::printf("stopped at an unknown VERSION (%d files):", stoppedFiles);
    for (const std::string& s : stopped) std::printf(" %s", s.c_str());
    std::printf("\nwarnings by message:\n");
    for (const auto& [m, k] : log.messages) std::printf("  %5d  %s\n", k, m.c_str());
    std::printf("unknown VEVENT properties:");
    for (const auto& [name, k] : unknown) std::printf(" %s(%d)", name.c_str(), k);
    std::printf("\n");
    EXPECT_GT(read, 0);
}

}  // namespace
}  // namespace mireo
