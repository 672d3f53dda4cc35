// A load and a save of a full database file through CTemplateDatabase, beside the cipher alone on
// the same image in the same run; and the extra memory a load needs besides the caller's image.
// Windows build, run under Wine by hand:
//   scripts/wine-run.sh build/windows/bin/database_bench.exe [ROUNDS]
#include "database/Rijndael.h"
#include "database/TemplateDatabase.h"
#include "database/TemplateImage.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

SIZE_T PeakPrivateBytes() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakPagefileUsage;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 9;
    const std::wstring folder =
        L"C:\\ProgramData\\NorvikWbf\\bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(L"C:\\ProgramData\\NorvikWbf", nullptr);
    if (!CreateDirectoryW(folder.c_str(), nullptr)) {
        std::fprintf(stderr, "database_bench: cannot make %ls\n", folder.c_str());
        return 3;
    }

    nvdb::ImageBuffer image;
    for (std::size_t i = 0; i < image.size(); ++i)
        image.data()[i] = static_cast<unsigned char>(i * 2654435761u >> 24);
    CTemplateDatabase database(folder.c_str());
    if (!database.SaveDatabase(image.data())) {
        std::fprintf(stderr, "database_bench: first save failed\n");
        return 3;
    }

    // The load's extra memory, measured first, while the peak is still that of the image alone.
    const SIZE_T peakBefore = PeakPrivateBytes();
    const int loaded = database.LoadDatabase(image.data());
    const SIZE_T loadExtra = PeakPrivateBytes() - peakBefore;

    // Each round times the cipher alone and the file operation back to back, so that the load
    // of a shared machine falls on both alike; key set-up is part of each, as in every load and save.
    auto cipherAlone = [&](bool encrypt) {
        const double start = Now();
        CRijndael cipher;
        cipher.SetKey(nvdb::kDatabaseKey, 32, 32);
        if (encrypt)
            cipher.EncipherBuffer(image.data(), image.data(), image.size());
        else
            cipher.DecipherBuffer(image.data(), image.data(), image.size());
        return Now() - start;
    };
    int failures = loaded ? 0 : 1;
    std::vector<double> decipher, load, loadRatio, encipher, save, saveRatio;
    for (int i = 0; i < rounds; ++i) {
        decipher.push_back(cipherAlone(false));
        double start = Now();
        failures += database.LoadDatabase(image.data()) ? 0 : 1;
        load.push_back(Now() - start);
        loadRatio.push_back(load.back() / decipher.back());
        encipher.push_back(cipherAlone(true));
        start = Now();
        failures += database.SaveDatabase(image.data()) ? 0 : 1;
        save.push_back(Now() - start);
        saveRatio.push_back(save.back() / encipher.back());
    }
    const SIZE_T saveExtra = PeakPrivateBytes() - peakBefore;

    // The yardstick: what one more image costs in the same measure.
    SIZE_T oneImage = 0;
    {
        const SIZE_T peak = PeakPrivateBytes();
        std::vector<unsigned char> another(nvdb::kImageSize, 1);
        oneImage = PeakPrivateBytes() - peak;
        failures += another[another.size() - 1] == 1 ? 0 : 1;
    }

    DeleteFileW((folder + L"\\NVKDB.edb").c_str());
    RemoveDirectoryW(folder.c_str());

    std::printf("database image %zu bytes, %d rounds, medians (ms)\n", nvdb::kImageSize, rounds);
    std::printf("  decipher alone %7.1f   load %7.1f   load / decipher in the same round %.3f\n",
                Median(decipher), Median(load), Median(loadRatio));
    std::printf("  encipher alone %7.1f   save %7.1f   save / encipher in the same round %.3f\n",
                Median(encipher), Median(save), Median(saveRatio));
    std::printf("  peak extra private bytes: load %zu (%.2f images), loads and saves %zu; one more image "
                "measures %zu\n",
                static_cast<size_t>(loadExtra), static_cast<double>(loadExtra) / nvdb::kImageSize,
                static_cast<size_t>(saveExtra), static_cast<size_t>(oneImage));
    if (failures != 0) {
        std::fprintf(stderr, "database_bench: %d loads or saves failed\n", failures);
        return 4;
    }
    return 0;
}
