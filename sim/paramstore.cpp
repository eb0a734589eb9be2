#include "sim/paramstore.h"

namespace linksim {

qint64 ParameterStore::value(const QString &name, qint64 fallback) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_values.value(name, fallback);
}

std::optional<qint64> ParameterStore::find(const QString &name) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_values.constFind(name);
    if (it == m_values.constEnd())
        return std::nullopt;
    return *it;
}

void ParameterStore::setValue(const QString &name, qint64 value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_values.insert(name, value);
    m_revision.fetch_add(1, std::memory_order_release);
}

QHash<QString, qint64> ParameterStore::snapshot() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_values;
}

} // namespace linksim
