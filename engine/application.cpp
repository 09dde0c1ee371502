#include "engine/item_store.h"

namespace mireo {

int MajorVersionOf(std::u16string_view version, int fallback) {
    const std::size_t dot = version.find(u'.');
    if (dot == std::u16string_view::npos || dot == 0) return fallback;
    int n = 0;
    for (std::size_t i = 0; i < dot; ++i) {
        const char16_t c = version[i];
        if (c < u'0' || c > u'9' || n > 100000) return fallback;
        n = n * 10 + (c - u'0');
    }
    return n;
}

int IApplication::MajorVersion(int fallback) {
    if (!m_major) m_major = MajorVersionOf(Version(), -1);
    return *m_major < 0 ? fallback : *m_major;
}

}  // namespace mireo
