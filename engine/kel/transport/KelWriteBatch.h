#pragma once

#include <QList>
#include <QPointer>

class KelLink;

// While one exists on a thread, what links send from there is queued, and it flushes them as it
// ends: one write per link instead of one per reply. A delivery pass holds one, so the answers
// its slots give go out together when the pass ends. Batches nest.
class KelWriteBatch
{
public:
    KelWriteBatch();
    ~KelWriteBatch();
    KelWriteBatch(const KelWriteBatch &) = delete;
    KelWriteBatch &operator=(const KelWriteBatch &) = delete;

    // The innermost batch of this thread, or none.
    static KelWriteBatch *current();
    // The link queued bytes: flush it at the end.
    void add(KelLink *link);
    // Writes what the links queued so far; the batch goes on.
    void flush();

    // While one exists, writes on this thread go out at once, as without a batch (behind what
    // their link holds in the batch).
    class Bypass
    {
    public:
        Bypass();
        ~Bypass();
        Bypass(const Bypass &) = delete;
        Bypass &operator=(const Bypass &) = delete;

    private:
        KelWriteBatch *m_saved;
    };

private:
    KelWriteBatch *m_outer;
    QList<QPointer<KelLink>> m_links;
};
