#include "KelWriteBatch.h"

#include "KelLink.h"

#include <utility>

namespace {
thread_local KelWriteBatch *t_current = nullptr;
} // namespace

KelWriteBatch::KelWriteBatch() : m_outer(t_current)
{
    t_current = this;
}

KelWriteBatch::~KelWriteBatch()
{
    t_current = m_outer;
    flush();
}

void KelWriteBatch::flush()
{
    const QList<QPointer<KelLink>> links = std::exchange(m_links, {});
    for (const QPointer<KelLink> &link : links) {
        if (link)
            link->flush();
    }
}

KelWriteBatch::Bypass::Bypass() : m_saved(t_current)
{
    t_current = nullptr;
}

KelWriteBatch::Bypass::~Bypass()
{
    t_current = m_saved;
}

KelWriteBatch *KelWriteBatch::current()
{
    return t_current;
}

void KelWriteBatch::add(KelLink *link)
{
    if (!m_links.contains(link))
        m_links.append(link);
}
