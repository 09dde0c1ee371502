// Reads every .vcf of the shared sample corpus: nothing crashes, the counting pass
// agrees with the cards read, and a summary tells what was passed over.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "vcard/tests/reader_support.h"
#include "vcard/vcard_reader.h"

namespace mireo {
namespace {

const char* KindName(VCardProblemKind kind) {
    switch (kind) {
        case VCardProblemKind::kInvalidQuotedPrintable: return "invalid quoted-printable (message 135)";
        case VCardProblemKind::kLineTooLong: return "line too long";
        case VCardProblemKind::kCardTooLong: return "card too long";
        case VCardProblemKind::kUnknownCharset: return "unknown charset";
        case VCardProblemKind::kInvalidDate: return "invalid date";
        case VCardProblemKind::kCardWithoutEnd: return "card without END (counted failed)";
        case VCardProblemKind::kTelephoneWithoutSlot: return "telephone without a free field (logged)";
    }
    return "?";
}

TEST(VCardReaderCorpus, EveryFileReads) {
    const std::filesystem::path root = std::filesystem::path(MIREO_SHARED_DIR) / "corpus";
    std::error_code ec;
    if (!std::filesystem::is_directory(root, ec)) GTEST_SKIP() << "no corpus at " << root.string();

    std::vector<std::filesystem::path> files;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec) && it->path().extension() == ".vcf") files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());

    VCardReaderStats total;
    int cards = 0, messages = 0, emptyFiles = 0, namedCards = 0, fieldsSet = 0;
    for (const auto& path : files) {
        SCOPED_TRACE(path.string());
        const std::string bytes = test::ReadFileBytes(path.string());
        int fileMessages = 0;
        VCardReaderOptions options;
        options.invalidElement = [&](const std::string&) { ++fileMessages; };
        CvCardReader reader(&test::ShippedConverter(), options);
        const auto read = reader.ReadAll(bytes, path.filename().string());
        EXPECT_EQ(static_cast<int>(read.size()), CvCardReader::CountCards(bytes));
        cards += static_cast<int>(read.size());
        messages += fileMessages;
        if (read.empty()) ++emptyFiles;
        for (const VCardCard& card : read) {
            for (std::size_t i = 0; i < ContactRecordProperties().size(); ++i) fieldsSet += card.IsSet(i) ? 1 : 0;
            if (!card.contact.FullName.empty() || !card.contact.LastName.empty() || !card.contact.FirstName.empty()) {
                ++namedCards;
            }
        }
        const VCardReaderStats& s = reader.Stats();
        for (const auto& [name, count] : s.unknownProperties) total.unknownProperties[name] += count;
        for (const auto& [kind, count] : s.problems) total.problems[kind] += count;
        total.cardsWithoutEnd += s.cardsWithoutEnd;
        total.endsWithoutBegin += s.endsWithoutBegin;
    }

    std::printf("vCard corpus: %zu files, %d cards (%d with a name, %d fields filled), %d files without a card\n",
                files.size(), cards, namedCards, fieldsSet, emptyFiles);
    std::printf("  cards without END: %d, END without BEGIN: %d, message 135: %d\n", total.cardsWithoutEnd,
                total.endsWithoutBegin, messages);
    for (const auto& [kind, count] : total.problems) std::printf("  %s: %d\n", KindName(kind), count);
    std::vector<std::pair<int, std::string>> unknown;
    for (const auto& [name, count] : total.unknownProperties) unknown.emplace_back(count, name);
    std::sort(unknown.rbegin(), unknown.rend());
    std::printf("  properties passed over (%zu names):", unknown.size());
    for (std::size_t i = 0; i < unknown.size() && i < 30; ++i) {
        std::printf("%s %s %d", i % 6 == 0 ? "\n   " : "", unknown[i].second.c_str(), unknown[i].first);
    }
    std::printf("\n");
}

}  // namespace
}  // namespace mireo
