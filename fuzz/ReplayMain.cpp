// Runs every file of the given folders (or the given files) through the fuzz target once, so
// that a corpus is a regression suite without libFuzzer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

std::vector<std::filesystem::path> Inputs(const std::filesystem::path &arg)
{
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(arg)) {
        for (const auto &entry : std::filesystem::directory_iterator(arg)) {
            if (entry.is_regular_file())
                files.push_back(entry.path());
        }
    } else if (std::filesystem::is_regular_file(arg)) {
        files.push_back(arg);
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <corpus folder or file>...\n", argv[0]);
        return 2;
    }
    int run = 0;
    for (int i = 1; i < argc; ++i) {
        const auto files = Inputs(argv[i]);
        if (files.empty()) {
            // A misspelt folder must not pass as an empty corpus.
            std::fprintf(stderr, "%s: no inputs\n", argv[i]);
            return 1;
        }
        for (const auto &file : files) {
            std::ifstream in(file, std::ios::binary);
            const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            std::fprintf(stderr, "%s\n", file.string().c_str());
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
            ++run;
        }
    }
    std::printf("%d inputs replayed\n", run);
    return 0;
}
