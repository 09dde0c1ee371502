// The compiled-in product version (Linux has no version resource).
#include "platform/version_info.h"

#include "mireo_version.h"

namespace mireo {

ProductVersionInfo ProductVersion() {
    return ProductVersionInfo{MIREO_VERSION_MAJOR, MIREO_VERSION_MINOR, MIREO_VERSION_PATCH};
}

}  // namespace mireo
