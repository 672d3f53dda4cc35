// A load and a save of a full database file through CTemplateDatabase, beside the cipher alone and
// the file I/O alone on the same image in the same run; and the extra memory a load needs besides
// the caller's image. Windows build, run under Wine by hand:
//   scripts/wine-run.sh build/windows/bin/database_bench.exe [ROUNDS [PATH]]
// PATH forces one of the cipher's paths (portable, aes-ni, vaes-avx2, vaes-avx512); without it the
// program's own choice runs.
#include "database/Rijndael.h"
#include "database/RijndaelPath.h"
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

constexpr DWORD kChunk = 256 * 1024; // as the database file's reads and writes

// The reads of a load without the cipher: the same open and the same chunks.
bool ReadAlone(const std::wstring& path, unsigned char* buffer, std::size_t size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    for (std::size_t done = 0; ok && done < size;) {
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(kChunk, size - done));
        ok = ReadFile(file, buffer + done, want, &read, nullptr) && read != 0;
        done += read;
    }
    CloseHandle(file);
    return ok;
}

// The file work of a save without the cipher: a new file beside the target written in the same
// chunks, flushed, and renamed over the target.
bool WriteAlone(const std::wstring& folder, const unsigned char* data, std::size_t size) {
    const std::wstring temporary = folder + L"\\io-alone.tmp", target = folder + L"\\io-alone.edb";
    HANDLE file =
        CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    for (std::size_t done = 0; ok && done < size;) {
        DWORD written = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(kChunk, size - done));
        ok = WriteFile(file, data + done, want, &written, nullptr) && written != 0;
        done += written;
    }
    ok = FlushFileBuffers(file) && ok;
    CloseHandle(file);
    return ok &&
           MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
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
    if (argc > 2) {
        bool forced = false;
        for (nvdb::RijndaelPath path : nvdb::kRijndaelPaths) {
            const std::string name = nvdb::PathName(path);
            if (std::wstring(name.begin(), name.end()) == argv[2])
                forced = nvdb::ForcePath(path);
        }
        if (!forced) {
            std::fprintf(stderr, "database_bench: no path %ls on this processor\n", argv[2]);
            return 2;
        }
    }
    const std::wstring folder =
        L"C:\\ProgramData\\NorvikWbf\\bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(L"C:\\ProgramData\\NorvikWbf", nullptr);
    if (!CreateDirectoryW(folder.c_str(), nullptr)) {
        std::fprintf(stderr, "database_bench: cannot make %ls\n", folder.c_str());
        return 3;
    }

    nvdb::ImageBuffer image;
    for (std::size_t i = 0; i < nvdb::kImageSize; ++i)
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
            cipher.EncipherBuffer(image.data(), image.data(), nvdb::kImageSize);
        else
            cipher.DecipherBuffer(image.data(), image.data(), nvdb::kImageSize);
        return Now() - start;
    };
    int failures = loaded ? 0 : 1;
    const std::wstring databaseFile = folder + L"\\NVKDB.edb";
    std::vector<unsigned char> scratch(nvdb::kImageSize);
    std::vector<double> decipher, read, load, loadRatio, loadOver, encipher, write, save, saveRatio, saveOver;
    for (int i = 0; i < rounds; ++i) {
        decipher.push_back(cipherAlone(false));
        double start = Now();
        failures += ReadAlone(databaseFile, scratch.data(), scratch.size()) ? 0 : 1;
        read.push_back(Now() - start);
        start = Now();
        failures += database.LoadDatabase(image.data()) ? 0 : 1;
        load.push_back(Now() - start);
        loadRatio.push_back(load.back() / decipher.back());
        loadOver.push_back(load.back() / (decipher.back() + read.back()));
        encipher.push_back(cipherAlone(true));
        start = Now();
        failures += WriteAlone(folder, scratch.data(), scratch.size()) ? 0 : 1;
        write.push_back(Now() - start);
        start = Now();
        failures += database.SaveDatabase(image.data()) ? 0 : 1;
        save.push_back(Now() - start);
        saveRatio.push_back(save.back() / encipher.back());
        saveOver.push_back(save.back() / (encipher.back() + write.back()));
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

    DeleteFileW(databaseFile.c_str());
    DeleteFileW((folder + L"\\io-alone.edb").c_str());
    RemoveDirectoryW(folder.c_str());

    std::printf("database image %zu bytes, %d rounds, cipher path %s, medians (ms)\n", nvdb::kImageSize,
                rounds, nvdb::PathName(nvdb::ActivePath()));
    std::printf("  decipher alone %7.2f   read alone  %7.2f   load %7.2f   load / decipher %.3f   "
                "load / (decipher + read) %.3f\n",
                Median(decipher), Median(read), Median(load), Median(loadRatio), Median(loadOver));
    std::printf("  encipher alone %7.2f   write alone %7.2f   save %7.2f   save / encipher %.3f   "
                "save / (encipher + write) %.3f\n",
                Median(encipher), Median(write), Median(save), Median(saveRatio), Median(saveOver));
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
