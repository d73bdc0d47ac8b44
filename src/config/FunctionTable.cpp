#include "FunctionTable.h"

namespace gpibconfig {

bool FunctionTable::setFuncCount(int count)
{
    if (!validSlot(count))
        return false;
    m_funcCount = count;
    return true;
}

bool FunctionTable::setFunction(int slot, const QString& prompt, const QString& header)
{
    if (!validSlot(slot))
        return false;
    m_prompt[static_cast<std::size_t>(slot - 1)] = prompt;
    m_header[static_cast<std::size_t>(slot - 1)] = header;
    return true;
}

QString FunctionTable::FuncPrompt(int slot) const
{
    return validSlot(slot) ? m_prompt[static_cast<std::size_t>(slot - 1)] : QString();
}

QString FunctionTable::FuncHeader(int slot) const
{
    return validSlot(slot) ? m_header[static_cast<std::size_t>(slot - 1)] : QString();
}

} // namespace gpibconfig
