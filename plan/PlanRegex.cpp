#include "PlanRegex.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

namespace {

constexpr PCRE2_SIZE kJitStackStart = 32 * 1024;
constexpr PCRE2_SIZE kJitStackMax = 4 * 1024 * 1024; // a 64 KiB answer through a repeated group
constexpr int kMessageUnits = 256;

QString ErrorText(int code)
{
    PCRE2_UCHAR buffer[kMessageUnits];
    const int length = pcre2_get_error_message(code, buffer, kMessageUnits);
    return length < 0 ? QStringLiteral("error %1").arg(code)
                      : QString::fromUtf16(reinterpret_cast<const char16_t *>(buffer), length);
}

} // namespace

struct PlanRegex::Code
{
    pcre2_code *code = nullptr;
    pcre2_match_context *context = nullptr;
    pcre2_jit_stack *jitStack = nullptr;
    bool jit = false;

    ~Code()
    {
        pcre2_jit_stack_free(jitStack);
        pcre2_match_context_free(context);
        pcre2_code_free(code);
    }
};

PlanRegex::PlanRegex(QString pattern, std::shared_ptr<const Code> code)
    : m_pattern(std::move(pattern)), m_code(std::move(code))
{
}

std::optional<PlanRegex> PlanRegex::compile(const QString &pattern, QString *error)
{
    auto code = std::make_shared<Code>();
    int errorCode = 0;
    PCRE2_SIZE offset = 0;
    // Anchored at both ends: the whole answer must match. Texts are UTF-16 from Qt, and a lone
    // surrogate in an answer must not make the match fail with an error.
    code->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.utf16()), PCRE2_SIZE(pattern.size()),
                               PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_ANCHORED | PCRE2_ENDANCHORED,
                               &errorCode, &offset, nullptr);
    if (!code->code) {
        *error = QStringLiteral("%1 at offset %2").arg(ErrorText(errorCode)).arg(offset);
        return std::nullopt;
    }
    code->context = pcre2_match_context_create(nullptr);
    pcre2_set_match_limit(code->context, kMatchLimit);
    pcre2_set_heap_limit(code->context, kHeapLimitKiB);
    code->jit = pcre2_jit_compile(code->code, PCRE2_JIT_COMPLETE) == 0;
    if (code->jit) {
        code->jitStack = pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr);
        pcre2_jit_stack_assign(code->context, nullptr, code->jitStack);
    }
    return PlanRegex(pattern, std::move(code));
}

PlanRegex::Result PlanRegex::match(const QString &subject) const
{
    std::unique_ptr<pcre2_match_data, decltype(&pcre2_match_data_free)> data(
        pcre2_match_data_create_from_pattern(m_code->code, nullptr), &pcre2_match_data_free);
    const auto run = [&](uint32_t options) {
        return pcre2_match(m_code->code, reinterpret_cast<PCRE2_SPTR>(subject.utf16()), PCRE2_SIZE(subject.size()), 0,
                           options, data.get(), m_code->context);
    };
    int rc = run(0);
    if (rc == PCRE2_ERROR_JIT_STACKLIMIT)
        rc = run(PCRE2_NO_JIT); // the interpreter keeps its frames on the heap, within the heap limit
    Result result;
    if (rc == PCRE2_ERROR_NOMATCH)
        return result;
    if (rc < 0) {
        result.outcome = Outcome::GaveUp;
        result.reason = ErrorText(rc);
        return result;
    }
    result.outcome = Outcome::Match;
    const PCRE2_SIZE *ovector = pcre2_get_ovector_pointer(data.get());
    if (rc > 1 && ovector[2] != PCRE2_UNSET)
        result.group = subject.mid(qsizetype(ovector[2]), qsizetype(ovector[3] - ovector[2]));
    return result;
}
