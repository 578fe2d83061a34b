#include "platform/MemFile.h"

#include <algorithm>
#include <cstring>

std::size_t CMemFile::Read(void* pBuf, std::size_t nCount) {
    const std::size_t n = std::min(nCount, m_source.size() - m_position);
    if (n > 0)
        std::memcpy(pBuf, m_source.data() + m_position, n);
    m_position += n;
    return n;
}

bool CMemFile::Write(const void* pBuf, std::size_t nCount) {
    const auto* p = static_cast<const std::uint8_t*>(pBuf);
    m_written.insert(m_written.end(), p, p + nCount);
    return true;
}
