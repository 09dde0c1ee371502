#pragma once
// The pieces of the contact export run that tests and the benchmark use on their own:
// the value encoder over the shared character converter and the reading of one contact
// into a record.
#include <cstdint>
#include <string>
#include <utility>
#include <string_view>
#include <vector>

#include "engine/item_store.h"
#include "vcard/contact_record.h"
#include "vcard/vcard_writer.h"

namespace mireo {

class MireoCharConverter;

// Encodes with the converter's current charset, whose name is taken when the encoder
// is made (after the wizard's encoding became current). A value the converter cannot
// convert (-2) is written empty.
class CConverterValueEncoder : public IValueEncoder {
public:
    explicit CConverterValueEncoder(MireoCharConverter& converter);
    std::string CharsetName() override { return m_charset; }
    int Encode(std::u16string_view text, std::string& out) override;
    bool EncodesAsUtf8() override { return m_utf8; }
    // Whether a value since the last call lost characters (written as "?"), and resets.
    bool TakeLossy() { return std::exchange(m_lossy, false); }

private:
    MireoCharConverter& m_converter;
    std::string m_charset;
    bool m_lossy = false;
    bool m_utf8 = false;  // UTF-8 holds every character: no converter round and no loss check
    std::u16string m_back;
};

// Results of reading a contact.
constexpr int kContactRead = 0;
constexpr int kContactCannotBuild = -1;

// Fills `record` with the export properties of the contact: object-model ones through
// `item`, guarded ones through `safe` (whose item is already set); the IM address
// only for host major version 10 and later. A failed read of a guarded property (or of
// NetMeetingServer) gives kContactCannotBuild; any other failed read throws HostError.
// Every field of the record is set (those the export does not read are emptied), so
// one record can serve a whole run.
int ReadContactRecord(IItem& item, ISafeItem& safe, int hostMajorVersion, ContactRecord& record);

// ReadContactRecord for the contacts of one run: the host resolves each property name
// on the first contact rather than on every read, and the texts go into the record's
// strings, whose storage a record reused from contact to contact keeps.
class CContactReader {
public:
    explicit CContactReader(int hostMajorVersion);
    int Read(IItem& item, ISafeItem& safe, ContactRecord& record);

private:
    struct Entry {
        enum class Way : std::uint8_t { kItemText, kSafeText, kValue };
        const ContactPropertyInfo* info;
        PropertyRef ref;
        std::u16string ContactRecord::*text;  // the field of a text, else null
        Way way;
        bool failsCard;  // a failed read fails the card
    };
    static void ReadEntry(IItem& item, ISafeItem& safe, Entry& e, ContactRecord& record);
    std::vector<Entry> m_read;                         // in the table's order
    std::vector<const ContactPropertyInfo*> m_unread;  // emptied on every read
};

}  // namespace mireo
