#pragma once
// Output files double for failure paths: wraps a real file system and behaves like a
// disk that fills up. Every file shares one byte budget; a write that does not fit
// writes what still fits and fails, as a full disk does. Creations can be made to fail
// from the n-th one on, and removals are recorded.
#include <algorithm>
#include <cstddef>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/output_files.h"

namespace mireo::test {

class CFillingOutputFiles : public IOutputFiles {
public:
    explicit CFillingOutputFiles(IOutputFiles& inner) : m_inner(inner) {}

    // Bytes that still fit on the disk, over all files from now on.
    void SetCapacity(std::size_t bytes) { m_left = bytes; }
    // The n-th creation from now on (1 = the next) and every later one fail.
    void FailCreatesFrom(int nth) { m_failCreateAt = m_creates + nth; }

    bool Exists(const std::string& path) override { return m_inner.Exists(path); }
    CreateResult CreateNew(const std::string& path, std::unique_ptr<IOutputFile>& file) override {
        return Wrap(path, false, file);
    }
    CreateResult CreateReplacing(const std::string& path, std::unique_ptr<IOutputFile>& file) override {
        return Wrap(path, true, file);
    }
    bool Remove(const std::string& path) override {
        m_removed.push_back(path);
        return m_inner.Remove(path);
    }

    const std::vector<std::string>& Removed() const { return m_removed; }
    int Creates() const { return m_creates; }
    std::size_t Written() const { return m_written; }

private:
    class CFile : public IOutputFile {
    public:
        CFile(CFillingOutputFiles& owner, std::unique_ptr<IOutputFile> inner)
            : m_owner(owner), m_inner(std::move(inner)) {}
        bool Write(std::string_view bytes) override {
            const std::size_t fits = std::min(bytes.size(), m_owner.m_left);
            if (fits > 0 && !m_inner->Write(bytes.substr(0, fits))) return false;
            m_owner.m_left -= fits;
            m_owner.m_written += fits;
            return fits == bytes.size();
        }
        bool Close() override { return m_inner->Close(); }
        void Abandon() override { m_inner->Abandon(); }

    private:
        CFillingOutputFiles& m_owner;
        std::unique_ptr<IOutputFile> m_inner;
    };

    CreateResult Wrap(const std::string& path, bool always, std::unique_ptr<IOutputFile>& file) {
        ++m_creates;
        if (m_failCreateAt > 0 && m_creates >= m_failCreateAt) return CreateResult::kFailed;
        std::unique_ptr<IOutputFile> inner;
        const CreateResult r = always ? m_inner.CreateReplacing(path, inner) : m_inner.CreateNew(path, inner);
        if (r == CreateResult::kCreated) file = std::make_unique<CFile>(*this, std::move(inner));
        return r;
    }

    IOutputFiles& m_inner;
    std::size_t m_left = std::numeric_limits<std::size_t>::max();
    std::size_t m_written = 0;
    int m_creates = 0;
    int m_failCreateAt = 0;
    std::vector<std::string> m_removed;
};

}  // namespace mireo::test
