#include "DecidedRegex.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

namespace {

constexpr std::size_t kFirstJitStackBytes = 32 * 1024;
constexpr std::size_t kMaxJitStackBytes = 8 * 1024 * 1024;
constexpr int kErrorTextUnits = 256;

QString ErrorText(int code)
{
    PCRE2_UCHAR16 buffer[kErrorTextUnits];
    const int n = pcre2_get_error_message(code, buffer, kErrorTextUnits);
    return n < 0 ? QStringLiteral("error %1").arg(code)
                 : QString::fromUtf16(reinterpret_cast<const char16_t *>(buffer), n);
}

// One large JIT stack per thread, made when a match first needs more than the default.
pcre2_jit_stack *BigJitStack()
{
    struct Holder
    {
        pcre2_jit_stack *stack = pcre2_jit_stack_create(kFirstJitStackBytes, kMaxJitStackBytes, nullptr);
        ~Holder() { pcre2_jit_stack_free(stack); }
    };
    thread_local Holder holder;
    return holder.stack;
}

// Text that is valid UTF-16: an unpaired surrogate becomes U+FFFD, as it would on the wire.
QString ValidText(QStringView text)
{
    QString out = text.toString();
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (out[i].isHighSurrogate() && i + 1 < out.size() && out[i + 1].isLowSurrogate())
            ++i;
        else if (out[i].isSurrogate())
            out[i] = QChar::ReplacementCharacter;
    }
    return out;
}

bool IsValidUtf16(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return false;
    }
    return true;
}

} // namespace

struct DecidedRegex::Compiled
{
    pcre2_code *code = nullptr;
    bool jit = false;
    // The pattern again, anchored at both ends as it is compiled, for whole-text matches: the
    // compiled matcher takes anchors only that way. Null where that matcher cannot be had.
    pcre2_code *whole = nullptr;
    ~Compiled()
    {
        pcre2_code_free(code);
        pcre2_code_free(whole);
    }
};

DecidedRegex::DecidedRegex(const QString &pattern) : m_pattern(pattern)
{
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code *code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.utf16()), PCRE2_SIZE(pattern.size()),
                                     PCRE2_UTF, &error, &offset, nullptr);
    if (!code) {
        m_error = ErrorText(error);
        m_errorOffset = qsizetype(offset);
        return;
    }
    auto compiled = std::make_shared<Compiled>();
    compiled->code = code;
    compiled->jit = pcre2_jit_compile(code, PCRE2_JIT_COMPLETE) == 0;
    if (compiled->jit) {
        compiled->whole = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.utf16()), PCRE2_SIZE(pattern.size()),
                                        PCRE2_UTF | PCRE2_ANCHORED | PCRE2_ENDANCHORED, &error, &offset, nullptr);
        if (compiled->whole && pcre2_jit_compile(compiled->whole, PCRE2_JIT_COMPLETE) != 0) {
            pcre2_code_free(compiled->whole);
            compiled->whole = nullptr;
        }
    }
    m_compiled = std::move(compiled);
}

DecidedRegex::~DecidedRegex() = default;
DecidedRegex::DecidedRegex(const DecidedRegex &other) = default;
DecidedRegex &DecidedRegex::operator=(const DecidedRegex &other) = default;
DecidedRegex::DecidedRegex(DecidedRegex &&) noexcept = default;
DecidedRegex &DecidedRegex::operator=(DecidedRegex &&) noexcept = default;

bool DecidedRegex::isValid() const
{
    return m_compiled != nullptr;
}

DecidedRegex::Result DecidedRegex::match(QStringView subject, Anchoring anchoring) const
{
    Result result;
    if (!m_compiled) {
        result.outcome = Outcome::Undecided;
        result.why = m_error;
        return result;
    }
    const QString valid = IsValidUtf16(subject) ? QString() : ValidText(subject);
    const QStringView text = valid.isNull() ? subject : QStringView(valid);
    const auto *units = reinterpret_cast<PCRE2_SPTR>(text.utf16());
    const auto length = PCRE2_SIZE(text.size());
    // The text is valid UTF-16 by now: no second check.
    const bool whole = anchoring == Anchoring::Whole;
    pcre2_code *code = whole && m_compiled->whole ? m_compiled->whole : m_compiled->code;
    const uint32_t options = PCRE2_NO_UTF_CHECK | (whole && !m_compiled->whole ? PCRE2_ANCHORED | PCRE2_ENDANCHORED : 0);

    std::unique_ptr<pcre2_match_data, decltype(&pcre2_match_data_free)> data(
        pcre2_match_data_create_from_pattern(code, nullptr), &pcre2_match_data_free);
    std::unique_ptr<pcre2_match_context, decltype(&pcre2_match_context_free)> context(
        pcre2_match_context_create(nullptr), &pcre2_match_context_free);
    pcre2_set_heap_limit(context.get(), kMaxHeapKiB);
    pcre2_set_match_limit(context.get(), kMaxSteps);

    // The compiled matcher first (anchors given at match time are not for it), then with a
    // larger stack, then the interpreter, whose memory lives on the heap within the limit above.
    int rc = PCRE2_ERROR_JIT_STACKLIMIT;
    if (m_compiled->jit && (!whole || m_compiled->whole)) {
        rc = pcre2_match(code, units, length, 0, options, data.get(), context.get());
        if (rc == PCRE2_ERROR_JIT_STACKLIMIT) {
            pcre2_jit_stack_assign(context.get(), nullptr, BigJitStack());
            rc = pcre2_match(code, units, length, 0, options, data.get(), context.get());
        }
    }
    if (rc == PCRE2_ERROR_JIT_STACKLIMIT)
        rc = pcre2_match(code, units, length, 0, options | PCRE2_NO_JIT, data.get(), context.get());

    if (rc == PCRE2_ERROR_NOMATCH) {
        result.outcome = Outcome::NoMatch;
        return result;
    }
    if (rc < 0) {
        result.outcome = Outcome::Undecided;
        result.why = ErrorText(rc);
        return result;
    }
    result.outcome = Outcome::Match;
    const PCRE2_SIZE *ovector = pcre2_get_ovector_pointer(data.get());
    const uint32_t groups = pcre2_get_ovector_count(data.get());
    for (uint32_t i = 0; i < groups; ++i) {
        const PCRE2_SIZE start = ovector[2 * i];
        const PCRE2_SIZE end = ovector[2 * i + 1];
        result.captured << (start == PCRE2_UNSET ? QString() : text.sliced(qsizetype(start), qsizetype(end - start)).toString());
    }
    return result;
}
