// Throughput of CRijndael's buffer mode over one database image (9,014,528 bytes, 32-byte key and
// block), on each path this processor runs, beside libmcrypt's "rijndael-256" in ECB mode on the
// same buffer. After the runs it prints MB/s for each path and its ratio to libmcrypt.
#include "database/Rijndael.h"
#include "database/RijndaelPath.h"

#include <benchmark/benchmark.h>
#include <mcrypt.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kImageSize = 9'014'528;

std::vector<unsigned char>& Image() {
    static std::vector<unsigned char> image = [] {
        std::vector<unsigned char> v(kImageSize);
        std::mt19937 random(7); // NOLINT(cert-msc32-c,cert-msc51-cpp): the same data in every run
        for (auto& b : v)
            b = static_cast<unsigned char>(random());
        return v;
    }();
    return image;
}

const unsigned char kKey[32] = {0x2b, 0x7e, 0x15, 0x16, 0x28, 0xae, 0xd2, 0xa6, 0xab, 0xf7, 0x15,
                                0x88, 0x09, 0xcf, 0x4f, 0x3c, 0x76, 0x2e, 0x71, 0x60, 0xf3, 0x8b,
                                0x4d, 0xa5, 0x6a, 0x78, 0x4d, 0x90, 0x45, 0x19, 0x0c, 0xfe};

std::map<std::string, double> g_mbPerSecond;

void Record(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kImageSize));
}

// Key set-up is part of each run, as it is for every load and save of the database.
void BM_Rijndael(benchmark::State& state, nvdb::RijndaelPath path, bool encrypt) {
    if (!nvdb::ForcePath(path)) {
        state.SkipWithError("this processor lacks the path");
        return;
    }
    auto& image = Image();
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the library's loop
        CRijndael cipher;
        cipher.SetKey(kKey, 32, 32);
        if (encrypt)
            cipher.EncipherBuffer(image.data(), image.data(), image.size());
        else
            cipher.DecipherBuffer(image.data(), image.data(), image.size());
        benchmark::DoNotOptimize(image.data());
    }
    Record(state);
}

void BM_Mcrypt(benchmark::State& state, bool encrypt) {
    auto& image = Image();
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the library's loop
        MCRYPT td =
            mcrypt_module_open(const_cast<char*>("rijndael-256"), nullptr, const_cast<char*>("ecb"), nullptr);
        mcrypt_generic_init(td, const_cast<unsigned char*>(kKey), 32, nullptr);
        if (encrypt)
            mcrypt_generic(td, image.data(), static_cast<int>(image.size()));
        else
            mdecrypt_generic(td, image.data(), static_cast<int>(image.size()));
        mcrypt_generic_deinit(td);
        mcrypt_module_close(td);
        benchmark::DoNotOptimize(image.data());
    }
    Record(state);
}

std::string RunName(nvdb::RijndaelPath path, bool encrypt) {
    return std::string("BM_Rijndael/") + nvdb::PathName(path) + (encrypt ? "/Encipher" : "/Decipher");
}

// Each direction: libmcrypt first, then every path, so that one direction's runs lie close in time.
void RegisterRuns() {
    const nvdb::ProcessorReport report = nvdb::ReadProcessorReport();
    for (bool encrypt : {true, false}) {
        benchmark::RegisterBenchmark(encrypt ? "BM_Mcrypt/Encrypt" : "BM_Mcrypt/Decrypt", BM_Mcrypt, encrypt)
            ->Unit(benchmark::kMillisecond)
            ->MinTime(2.0);
        for (nvdb::RijndaelPath path : nvdb::kRijndaelPaths)
            if (nvdb::PathRuns(path, report))
                benchmark::RegisterBenchmark(RunName(path, encrypt).c_str(), BM_Rijndael, path, encrypt)
                    ->Unit(benchmark::kMillisecond)
                    ->MinTime(2.0);
    }
}

// Collects each run's real-time throughput as the reporter sees it.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const double seconds = run.GetAdjustedRealTime() / 1e3; // reported in milliseconds
            if (seconds > 0)
                g_mbPerSecond[run.benchmark_name()] = kImageSize / 1e6 / seconds;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const nvdb::RijndaelPath fastest = nvdb::ActivePath();
    RegisterRuns();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto get = [](const char* name) {
        // Run names carry options behind the capture name ("BM_Mcrypt/Encrypt/min_time:2.000").
        for (const auto& [runName, mbPerSecond] : g_mbPerSecond)
            if (runName.rfind(name, 0) == 0)
                return mbPerSecond;
        return 0.0;
    };
    const double theirEnc = get("BM_Mcrypt/Encrypt"), theirDec = get("BM_Mcrypt/Decrypt");
    const auto ratio = [](double ours, double theirs) { return theirs > 0 ? ours / theirs : 0.0; };
    std::printf("\nRijndael-256/256 ECB over %zu bytes, key set-up included (MB = 10^6 bytes); "
                "the program uses %s here\n",
                kImageSize, nvdb::PathName(fastest));
    std::printf("  %-12s %12s %8s %12s %8s\n", "path", "encrypt MB/s", "ratio", "decrypt MB/s", "ratio");
    std::printf("  %-12s %12.1f %8.2f %12.1f %8.2f\n", "libmcrypt", theirEnc, 1.0, theirDec, 1.0);
    const nvdb::ProcessorReport report = nvdb::ReadProcessorReport();
    for (nvdb::RijndaelPath path : nvdb::kRijndaelPaths) {
        if (!nvdb::PathRuns(path, report)) {
            std::printf("  %-12s not on this processor\n", nvdb::PathName(path));
            continue;
        }
        const double enc = get(RunName(path, true).c_str()), dec = get(RunName(path, false).c_str());
        std::printf("  %-12s %12.1f %8.2f %12.1f %8.2f\n", nvdb::PathName(path), enc, ratio(enc, theirEnc),
                    dec, ratio(dec, theirDec));
    }
    return 0;
}
