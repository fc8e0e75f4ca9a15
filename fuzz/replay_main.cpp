// A plain main for the fuzz targets when they are not built for libFuzzer:
// runs every file named on the command line, and every regular file of every
// directory named there, through LLVMFuzzerTestOneInput once, in name order.
// The normal builds register it in CTest over the committed corpus, so every
// test run replays the seeds and the inputs that once found a fault.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

// Runs one file; false when it cannot be read.
bool replay_file(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) return false;
    // An exactly sized copy, so that a read past the end is past the allocation.
    std::vector<uint8_t> input(bytes.begin(), bytes.end());
    std::fprintf(stderr, "replaying %s (%zu bytes)\n", path.string().c_str(), input.size());
    LLVMFuzzerTestOneInput(input.empty() ? nullptr : input.data(), input.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR_OR_FILE...\n", argv[0]);
        return 2;
    }
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        fs::path path(argv[i]);
        std::error_code error;
        std::vector<fs::path> files;
        if (fs::is_directory(path, error)) {
            for (const fs::directory_entry& entry : fs::directory_iterator(path, error))
                if (entry.is_regular_file(error)) files.push_back(entry.path());
            if (error) {
                std::fprintf(stderr, "cannot list %s: %s\n", argv[i], error.message().c_str());
                return 1;
            }
            std::sort(files.begin(), files.end());
        } else {
            files.push_back(path);
        }
        for (const fs::path& file : files) {
            if (!replay_file(file)) {
                std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
                return 1;
            }
            ++replayed;
        }
    }
    // A replay that found nothing to run must not pass as a clean one.
    if (replayed == 0) {
        std::fprintf(stderr, "no inputs found\n");
        return 1;
    }
    std::fprintf(stderr, "%d inputs replayed without a finding\n", replayed);
    return 0;
}
