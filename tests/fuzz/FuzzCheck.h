#pragma once

// What the fuzz targets share: a broken promise stops the run with a
// message, which libFuzzer records together with the input that broke it.

#include <cstdio>
#include <cstdlib>

inline void Require(bool holds, const char* promise) {
    if (holds) return;
    std::fprintf(stderr, "broken promise: %s\n", promise);
    std::abort();
}
