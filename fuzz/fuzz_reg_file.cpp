// Feeds any bytes to the registry-file parser. Besides not crashing, what the parser
// keeps must survive a save and a second reading unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/posix/registry_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const mireo::RegFileData parsed = mireo::ParseRegFile(bytes);
    const std::string saved = mireo::SerializeRegFile(parsed);
    if (mireo::SerializeRegFile(mireo::ParseRegFile(saved)) != saved) std::abort();
    return 0;
}
