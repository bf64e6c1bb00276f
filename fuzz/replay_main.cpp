// Runs saved fuzz inputs through the fuzz targets without libFuzzer, so the corpus and every
// finding kept in it are replayed by CTest in any build.
//
//   fuzz_replay CORPUS_DIR          every file under CORPUS_DIR/<target>/ through that target,
//                                   after the empty input; fails when a target has no directory
//   fuzz_replay TARGET FILE...      the given files through one target

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "FuzzEntry.h"

namespace kelvane::fuzz {

namespace {

std::vector<Target>& Table() {
    static std::vector<Target> table;
    return table;
}

// Reads a whole file into a buffer of exactly its size, so that a read past the end is caught by
// AddressSanitizer in a sanitizer build.
bool RunFile(const Target& target, const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t size = bytes.size();
    const std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[size == 0 ? 1 : size]);
    std::copy(bytes.begin(), bytes.end(), buffer.get());
    target.function(buffer.get(), size);
    return true;
}

const Target* FindTarget(const std::string& name) {
    for (const Target& t : Table()) {
        if (t.name == name) return &t;
    }
    return nullptr;
}

int RunCorpus(const std::filesystem::path& root) {
    std::vector<Target> targets = Table();
    std::sort(targets.begin(), targets.end(),
              [](const Target& a, const Target& b) { return a.name < b.name; });
    bool ok = true;
    for (const Target& target : targets) {
        const std::filesystem::path dir = root / target.name;
        if (!std::filesystem::is_directory(dir)) {
            std::fprintf(stderr, "%s: no corpus directory %s\n", target.name.c_str(), dir.c_str());
            ok = false;
            continue;
        }
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
            if (entry.is_regular_file()) files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());

        const std::uint8_t none = 0;
        target.function(&none, 0);
        std::size_t ran = 0;
        for (const auto& file : files) {
            std::fprintf(stderr, "%s: %s\n", target.name.c_str(), file.filename().c_str());
            if (RunFile(target, file)) {
                ++ran;
            } else {
                ok = false;
            }
        }
        std::printf("%s: %zu inputs replayed\n", target.name.c_str(), ran);
    }
    return ok ? 0 : 1;
}

}  // namespace

bool RegisterTarget(const char* name, TargetFunction function) {
    Table().push_back({name, function});
    return true;
}

const std::vector<Target>& Targets() { return Table(); }

}  // namespace kelvane::fuzz

int main(int argc, char** argv) {
    using namespace kelvane::fuzz;
    if (argc == 2) return RunCorpus(argv[1]);
    if (argc > 2) {
        const Target* target = FindTarget(argv[1]);
        if (!target) {
            std::fprintf(stderr, "no fuzz target named %s\n", argv[1]);
            return 2;
        }
        bool ok = true;
        for (int i = 2; i < argc; ++i) ok = RunFile(*target, argv[i]) && ok;
        return ok ? 0 : 1;
    }
    std::fprintf(stderr, "usage: %s CORPUS_DIR | %s TARGET FILE...\n", argv[0], argv[0]);
    return 2;
}
