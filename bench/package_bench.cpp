// Loading a firmware package with a 32 MiB data area: read, integrity check,
// unscrambling and cutting out the firmware image. Reports MB/s per load and
// the peak resident memory of one load from a file against the file's size.
//
//   bench_package [benchmark options]
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "files/EncryptionPSW.h"
#include "files/FileChecksum.h"
#include "files/PSWFile.h"
#include "sim/mkfile/MkFile.h"

namespace {

constexpr size_t DATA_AREA = 32u << 20;

std::string g_folder;

std::string PackagePath(int generation) {
    return g_folder + "/bench_gen" + std::to_string(generation) + ".psw";
}

// Built in a child process, so that the builder's own memory never counts in
// this process's peak.
bool WritePackages() {
    pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        // The first generation's 3-byte length cannot hold 32 MiB: it is
        // measured with the largest data area it can carry.
        for (int generation : {1, 2}) {
            mkfile::PackageLayout layout;
            layout.generation = generation;
            layout.key = 0x5B;  // odd key: the rotation changes every 4 bytes
            layout.firmware = mkfile::Pattern(generation == 2 ? DATA_AREA : 0xFFFFFF, 3);
            layout.numBanks = 32;
            mkfile::Bytes file = mkfile::BuildPackage(layout);
            std::ofstream out(PackagePath(generation), std::ios::binary);
            out.write(reinterpret_cast<const char*>(file.data()),
                      static_cast<std::streamsize>(file.size()));
            if (!out) _exit(1);
        }
        _exit(0);
    }
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<unsigned char> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in),
                                      std::istreambuf_iterator<char>());
}

long PeakRssKiB() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// One load from the file, measured before anything else grows the process.
void ReportPeakMemory(int generation) {
    const std::string path = PackagePath(generation);
    long before = PeakRssKiB();
    long fileSize = 0;
    {
        PSWFile package;
        if (!package.LoadPSWFromFile(path.c_str(), true)) {
            fprintf(stderr, "cannot load %s\n", path.c_str());
            exit(1);
        }
        fileSize = package.iSize;
    }
    long after = PeakRssKiB();
    printf(
        "generation %d: file %.1f MiB, peak resident %.1f MiB (before loading %.1f MiB), "
        "%.2f x the file\n",
        generation, fileSize / 1048576.0, after / 1024.0, before / 1024.0,
        after * 1024.0 / fileSize);
}

void BM_LoadPackageFromMemory(benchmark::State& state) {
    const std::vector<unsigned char> file = ReadAll(PackagePath(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        PSWFile package;
        bool ok = package.LoadPSWFromMemory(file.data(), static_cast<int64_t>(file.size()), true);
        if (!ok) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(package.iSize);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(file.size()));
}
BENCHMARK(BM_LoadPackageFromMemory)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_LoadPackageFromFile(benchmark::State& state) {
    const std::string path = PackagePath(static_cast<int>(state.range(0)));
    int64_t size = 0;
    for (auto _ : state) {
        PSWFile package;
        if (!package.LoadPSWFromFile(path.c_str(), true)) state.SkipWithError("load failed");
        size = package.iSize;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * size);
}
BENCHMARK(BM_LoadPackageFromFile)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The two passes over the data on their own.
void BM_Unscramble(benchmark::State& state) {
    std::vector<unsigned char> data = mkfile::Pattern(DATA_AREA, 1);
    const unsigned char key = static_cast<unsigned char>(state.range(0));
    for (auto _ : state) {
        EncryptionPSW::DecryptionBuffer(key, data.data(), 0, static_cast<int64_t>(data.size()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * DATA_AREA);
}
BENCHMARK(BM_Unscramble)->Arg(0x5B)->Arg(0x5A)->Unit(benchmark::kMillisecond);

void BM_Checksum(benchmark::State& state) {
    std::vector<unsigned char> data = mkfile::Pattern(DATA_AREA, 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(FileChecksum::Compute(data.data(), data.size()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * DATA_AREA);
}
BENCHMARK(BM_Checksum)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    char folder[] = "/tmp/prnbenchXXXXXX";
    if (mkdtemp(folder) == nullptr) return 1;
    g_folder = folder;
    if (!WritePackages()) {
        fprintf(stderr, "cannot write the packages\n");
        return 1;
    }
    // The peak only grows: the smaller package first.
    ReportPeakMemory(1);
    ReportPeakMemory(2);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (int generation : {1, 2}) remove(PackagePath(generation).c_str());
    rmdir(folder);
    return 0;
}
