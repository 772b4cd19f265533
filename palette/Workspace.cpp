#include "palette/Workspace.h"

namespace palette {

Workspace::Workspace() : m_pool(processorCores())
{
}

quint8* Workspace::colourTable()
{
    if (!m_colourTable)
        m_colourTable = std::make_unique_for_overwrite<quint8[]>(kColourTableBytes);
    return m_colourTable.get();
}

} // namespace palette
