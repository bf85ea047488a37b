// Input: a profile as bytes. A refusal names the file and a line; an accepted profile is one
// that the writer writes again and the reader reads back the same.
#include "FuzzCheck.h"

#include "ProfileFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const std::optional<Profile> profile = ParseProfile(bytes, QStringLiteral("f.toml"), &error);
    if (!profile) {
        FUZZ_CHECK(error.startsWith(u"f.toml:") && error.size() > 8, "a refusal names the file and says why", error);
        return 0;
    }
    const std::optional<QByteArray> text = ProfileText(*profile, &error);
    FUZZ_CHECK(text.has_value(), "what was read can be written", error);
    const std::optional<Profile> again = ParseProfile(*text, QStringLiteral("f.toml"), &error);
    FUZZ_CHECK(again && *again == *profile, "what was written reads back the same", error);
    return 0;
}
