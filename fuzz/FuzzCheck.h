#pragma once

#include <QString>

#include <cstdio>
#include <cstdlib>

// A broken invariant: says which, with the values involved, and aborts so that the fuzzer keeps
// the input as a crash.
[[noreturn]] inline void FuzzFail(const char *what, const QString &detail = QString())
{
    std::fprintf(stderr, "invariant broken: %s\n%s\n", what, qUtf8Printable(detail));
    std::abort();
}

// A macro so that the detail, often costly to build, is built only on failure.
#define FUZZ_CHECK(ok, what, ...)                         \
    do {                                                  \
        if (!(ok))                                        \
            FuzzFail(what, QString(__VA_ARGS__));         \
    } while (false)
