// nvkdb's command line. Every command is given a database that is not there, so each run goes
// through the whole argument check and then stops at the file: the exit code must say which of
// the two refused, and no file but the tool's own may be touched.
#include "fuzz/FuzzCheck.h"
#include "fuzz/ToolArguments.h"
#include "tools/nvkdb/Nvkdb.h"

#include <filesystem>
#include <fstream>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args = nvfuzz::SplitArguments(data, size);
    const std::string folder = nvfuzz::RunFolder();
    const std::string missing = folder + "missing/NVKDB.edb";
    const std::string templateFile = folder + "template.bin";
    static const bool made = [&] {
        std::ofstream(templateFile, std::ios::binary) << "template bytes";
        return true;
    }();
    (void)made;

    if (args.empty())
        return 0;
    // The database path is always ours; a template's data comes from our file.
    args.insert(args.begin() + 1, missing);
    for (std::size_t i = 2; i + 1 < args.size(); ++i)
        if (args[i] == "--data-file")
            args[++i] = templateFile;
    // create --force enciphers a whole 9 MB image before it finds the folder missing: slow, and
    // past the arguments.
    if (args[0] == "create")
        for (const std::string& a : args)
            if (a == "--force")
                return 0;

    std::ostringstream out;
    std::ostringstream err;
    const int code = nvkdb::Run(args, out, err);
    const bool help = args[0] == "--help" || args[0] == "-h" || args[0] == "help";
    if (help) {
        NV_FUZZ_CHECK(code == nvkdb::kOk);
        NV_FUZZ_CHECK(out.str() == nvkdb::kUsageText);
        return 0;
    }
    // Nothing can succeed without the database, and nothing can find it malformed.
    NV_FUZZ_CHECK(code == nvkdb::kUsage || code == nvkdb::kBadValue || code == nvkdb::kFileError);
    NV_FUZZ_CHECK(out.str().empty());
    NV_FUZZ_CHECK(err.str().rfind("nvkdb: ", 0) == 0);
    if (code == nvkdb::kFileError)
        NV_FUZZ_CHECK(err.str().find(missing) != std::string::npos);
    NV_FUZZ_CHECK(!std::filesystem::exists(folder + "missing"));
    return 0;
}
