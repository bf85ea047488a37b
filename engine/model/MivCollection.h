#pragma once

#include "MivError.h"

#include <map>
#include <memory>

// Objects of one kind under stable indexes: removing one item renumbers no other.
template<typename T>
class MivCollection
{
public:
    T *Item(qint32 index) const
    {
        auto it = m_items.find(index);
        if (it == m_items.end())
            throw MivError(MivCode::InvalidArg, QStringLiteral("No item with index %1").arg(index));
        return it->second.get();
    }
    qint32 Count() const { return qint32(m_items.size()); }
    void Remove(qint32 index)
    {
        auto it = m_items.find(index);
        if (it == m_items.end())
            throw MivError(MivCode::InvalidArg, QStringLiteral("No item with index %1").arg(index));
        std::unique_ptr<T> gone = std::move(it->second);
        m_items.erase(it);
        gone.reset();
    }

    // For the owner: takes an object, gives it the next index.
    qint32 nextIndex() { return m_next++; }
    T *insert(qint32 index, std::unique_ptr<T> item)
    {
        T *raw = item.get();
        m_items.emplace(index, std::move(item));
        return raw;
    }
    const std::map<qint32, std::unique_ptr<T>> &items() const { return m_items; }

private:
    std::map<qint32, std::unique_ptr<T>> m_items;
    qint32 m_next = 1;
};
