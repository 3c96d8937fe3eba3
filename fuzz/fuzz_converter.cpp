// Whole scripts through ConvertFile, in every output format and with every way of choosing the
// encoding: any bytes must give a complete, well-formed document (or a clear failure), never a
// crash, a hang or a stray temporary file. The first byte picks the format and the encoding.
#include "conversion/CodePage.h"
#include "conversion/LyricConverter.h"
#include "conversion/TimedDocuments.h"

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// One scratch folder for the whole fuzzing session, removed again when the fuzzer exits.
struct ScratchFolder {
    std::string path;
    ScratchFolder() {
        char pattern[] = "/tmp/fuzz_converter.XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            std::abort();
        }
        path = pattern;
    }
    ~ScratchFolder() {
        std::remove((path + "/song.ksc").c_str());
        std::remove((path + "/song.doc").c_str());
        rmdir(path.c_str());
    }
};

const std::string& WorkFolder() {
    static const ScratchFolder folder;
    return folder.path;
}

int EntryCount(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    int count = 0;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        count += name != "." && name != "..";
    }
    closedir(dir);
    return count;
}

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    using tolvren::LyricConverter;
    using tolvren::OutputFormat;
    static const OutputFormat formats[] = {OutputFormat::Kmc, OutputFormat::Xml, OutputFormat::Lrc,
                                           OutputFormat::Ass};
    static const std::vector<LyricConverter> converters = [] {
        std::vector<LyricConverter> all;
        for (const char* encoding : {"gbk", "auto", "utf-8", "big5", "gb18030"}) {
            for (const OutputFormat format : formats) {
                all.emplace_back("fuzz & <author>", format,
                                 *tolvren::InputEncoding::FromName(encoding));
            }
        }
        return all;
    }();
    const OutputFormat format = formats[data[0] % converters.size() % 4];
    const LyricConverter& converter = converters[data[0] % converters.size()];
    const std::string script(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string source = WorkFolder() + "/song.ksc";
    const std::string target = WorkFolder() + "/song.doc";
    {
        std::ofstream out(source, std::ios::binary | std::ios::trunc);
        out << script;
    }

    const tolvren::ConvertResult result = converter.ConvertFile(source, target);
    if (!result.ok()) {
        std::fprintf(stderr, "conversion failed: step %d error %d\n",
                     static_cast<int>(result.io.step), result.io.error);
        std::abort();
    }
    const std::string document = Contents(target);
    Check(document == converter.ConvertText(script, "song.ksc")); // file and memory agree
    Check(EntryCount(WorkFolder()) == 2);                         // no temporary left behind

    Check(document.starts_with("\xEF\xBB\xBF"));
    if (format == OutputFormat::Kmc || format == OutputFormat::Xml) {
        Check(document.starts_with(
            "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<kmc "));
        Check(document.ends_with("</kmc>\r\n"));
    }
    for (std::size_t i = document.find('\n'); i != std::string::npos;
         i = document.find('\n', i + 1)) {
        Check(i > 0 && document[i - 1] == '\r'); // every line feed reaches the disk as CR LF
    }
    Check(tolvren::IsValidUtf8(document) && document.find('\0') == std::string::npos);

    // The table of code page 936 pairs decodes exactly as ICU does.
    Check(tolvren::ToUtf8(script) == tolvren::ToUtf8ThroughPlatform(script));
    std::vector<std::string_view> units;
    tolvren::SplitUnits(script, units);
    std::size_t unitBytes = 0;
    for (const std::string_view unit : units) {
        Check(unit.data() >= script.data() && unit.data() + unit.size() <= script.data() + size);
        unitBytes += unit.size();
    }
    Check(unitBytes <= script.size());
    (void)tolvren::ParseTime(script);
    return 0;
}
