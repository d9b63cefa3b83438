#include "app/fontselection.h"

namespace {

void move(const QString &family, QStringList &from, QStringList &to)
{
    from.removeAll(family);
    to.append(family);
}

} // namespace

FontSelection::FontSelection(const QStringList &inUse, const QStringList &installed)
    : m_available(installed)
    , m_inUse(inUse.isEmpty() ? installed : inUse)
{
    for (const QString &family : qAsConst(m_inUse))
        m_available.removeAll(family);
}

void FontSelection::useAll()
{
    m_inUse += m_available;
    m_available.clear();
}

void FontSelection::unuseAll()
{
    m_available += m_inUse;
    m_inUse.clear();
}

void FontSelection::use(const QString &family)
{
    move(family, m_available, m_inUse);
}

void FontSelection::unuse(const QString &family)
{
    move(family, m_inUse, m_available);
}
