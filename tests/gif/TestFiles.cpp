#include "TestFiles.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#ifndef KAPTIV_GIF_CORPUS_DEFAULT
#error "KAPTIV_GIF_CORPUS_DEFAULT must name the corpus directory"
#endif

namespace kaptiv::gif::test {

std::vector<std::filesystem::path> FilesBelow(const std::filesystem::path &dir)
{
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(dir))
        for (const auto &entry : std::filesystem::recursive_directory_iterator(dir))
            if (entry.is_regular_file() && entry.path().filename() != ".gitkeep")
                files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::filesystem::path CorpusDir(const std::string &sub)
{
    const char *root = std::getenv("KAPTIV_GIF_CORPUS");
    return std::filesystem::path(root && *root ? root : KAPTIV_GIF_CORPUS_DEFAULT) / sub;
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + file.string());
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace kaptiv::gif::test
