#include "testutil.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/errorlog.h"

namespace pelorus::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pelorus-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Write(std::string_view name, std::string_view content) const {
    const std::filesystem::path p = std::filesystem::path(path_) / std::string(name);
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return p.string();
}

LogCapture::LogCapture() : mark_(ErrorLog::Instance().LineCount()) {}

std::vector<std::string> LogCapture::Lines() const { return ErrorLog::Instance().LinesSince(mark_); }

ReadOptions NoTextures() {
    ReadOptions options;
    options.loadTextures = false;
    return options;
}

std::unique_ptr<RWXObject> ReadScript(std::string_view text, ReadOptions options) {
    return RWXObject::FromText(text, 0, 0, 0, std::move(options), "test.rwx");
}

std::string SourceDir() { return PELORUS_SOURCE_DIR; }
std::string DataDir() { return std::string(PELORUS_SOURCE_DIR) + "/tests/data"; }

}  // namespace pelorus::test
