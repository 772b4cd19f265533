#include "palette/Workspace.h"

namespace palette {

Workspace::Workspace(int threads) : m_pool(threads)
{
}

quint8* Workspace::colourTable()
{
    if (!m_colourTable)
        m_colourTable = std::make_unique_for_overwrite<quint8[]>(kColourTableBytes);
    return m_colourTable.get();
}

} // namespace palette
