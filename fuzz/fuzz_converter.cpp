// Input: a value text as UTF-8. Reading it may only fail with MivError; a value it reads must
// write back to a text that reads as the same value and writes as the same text.
#include "FuzzCheck.h"

#include "MivConverter.h"
#include "MivError.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const MivConverter converter;
    MivVariant value;
    try {
        value = converter.TextToValue(text);
    } catch (const MivError &e) {
        FUZZ_CHECK(!e.description().isEmpty(), "a refusal says why");
        return 0;
    }

    QString written;
    try {
        written = converter.ValueToText(value);
    } catch (const MivError &e) {
        FuzzFail("a value read from text can be written", text + u'\n' + e.description());
    }
    MivVariant reread;
    try {
        reread = converter.TextToValue(written);
    } catch (const MivError &e) {
        FuzzFail("written text reads back", text + u'\n' + written + u'\n' + e.description());
    }
    FUZZ_CHECK(reread == value, "written text reads back as the same value", text + u'\n' + written);
    FUZZ_CHECK(converter.ValueToText(reread) == written, "writing is stable", text + u'\n' + written);
    return 0;
}
