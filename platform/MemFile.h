#pragma once

#include "platform/File.h"

#include <span>

// A file held in memory: reads from bytes the caller keeps alive, or collects
// what is written. Lets readers and writers run on bytes without the disk.
class CMemFile : public CFile {
public:
    CMemFile() = default;
    explicit CMemFile(std::span<const std::uint8_t> data) : m_source(data) {}

    std::size_t Read(void* pBuf, std::size_t nCount) override;
    bool SeekToBegin() override {
        m_position = 0;
        return true;
    }
    bool Write(const void* pBuf, std::size_t nCount) override;
    std::uint64_t GetLength() const override { return m_source.size(); }

    const std::vector<std::uint8_t>& GetWritten() const { return m_written; }

private:
    std::span<const std::uint8_t> m_source;
    std::size_t m_position = 0;
    std::vector<std::uint8_t> m_written;
};
