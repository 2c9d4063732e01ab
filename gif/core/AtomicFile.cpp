#include "gif/core/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <system_error>

namespace kaptiv::gif {

namespace {

[[noreturn]] void Fail(const std::filesystem::path &file, const std::string &reason)
{
    throw FileWriteError("Cannot create file \"" + file.string() + "\". " + reason);
}

std::string ErrnoText(int error) { return std::generic_category().message(error); }

std::filesystem::path TemporaryBeside(const std::filesystem::path &target)
{
    static constexpr char Hex[] = "0123456789abcdef";
    std::random_device random;
    std::string suffix = ".";
    for (int i = 0; i < 8; ++i)
        suffix += Hex[random() % 16];
    return target.parent_path() / (target.filename().string() + suffix + ".tmp");
}

} // namespace

AtomicFileWriter::AtomicFileWriter(std::filesystem::path target) : target_(std::move(target))
{
    std::error_code ec;
    if (std::filesystem::exists(target_, ec)) {
        // An existing file we may not write stays as it is, as writing over it in place would.
        std::FILE *existing = std::fopen(target_.string().c_str(), "r+b");
        if (!existing)
            Fail(target_, ErrnoText(errno));
        std::fclose(existing);
    }
    for (int attempt = 0; attempt < 16 && !file_; ++attempt) {
        temporary_ = TemporaryBeside(target_);
        file_ = std::fopen(temporary_.string().c_str(), "wbx");
        if (!file_ && errno != EEXIST)
            break;
    }
    if (!file_)
        Fail(target_, ErrnoText(errno));
}

AtomicFileWriter::~AtomicFileWriter()
{
    if (file_)
        std::fclose(file_);
    if (!committed_) {
        std::error_code ignored;
        std::filesystem::remove(temporary_, ignored);
    }
}

void AtomicFileWriter::Commit(std::span<const std::uint8_t> bytes)
{
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
    const int writeError = errno;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!written || !closed)
        Fail(target_, ErrnoText(written ? errno : writeError));

    std::error_code ec;
    const auto permissions = std::filesystem::status(target_, ec).permissions();
    if (!ec && permissions != std::filesystem::perms::unknown)
        std::filesystem::permissions(temporary_, permissions, ec);
    std::filesystem::rename(temporary_, target_, ec);
    if (ec)
        Fail(target_, ec.message());
    committed_ = true;
}

} // namespace kaptiv::gif
