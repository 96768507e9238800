// What the fuzz targets share: a failed property ends the run as a finding.
#ifndef FUZZ_SUPPORT_H
#define FUZZ_SUPPORT_H

#include <cstdio>
#include <cstdlib>

inline void require(bool holds, const char *property) {
    if (holds) return;
    std::fprintf(stderr, "property violated: %s\n", property);
    std::abort();
}

#endif
