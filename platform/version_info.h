#pragma once
// The add-in module's own product version, as the writers put it into PRODID.

namespace mireo {

struct ProductVersionInfo {
    int major = 1;
    int minor = 0;
    int build = 0;
    friend bool operator==(const ProductVersionInfo&, const ProductVersionInfo&) = default;
};

// Windows: the product version of the module's version resource: the high and low
// words of its most significant double word and the low word of the least significant
// one; (1, 0, 0) when the resource cannot be read. Linux: the version the build was
// configured with.
ProductVersionInfo ProductVersion();

}  // namespace mireo
