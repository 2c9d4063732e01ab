#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kaptiv::gif::test {

// Every file below the directory, sorted, for tables of inputs.
std::vector<std::filesystem::path> FilesBelow(const std::filesystem::path &dir);

// A directory of the GIF corpus (KAPTIV_GIF_CORPUS, else the one in the source tree), e.g. "real".
std::filesystem::path CorpusDir(const std::string &sub);

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path &file);

} // namespace kaptiv::gif::test
