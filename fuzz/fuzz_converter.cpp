// Whole scripts through ConvertFile: any bytes must give a complete, well-formed document (or a
// clear failure), never a crash, a hang or a stray temporary file.
#include "conversion/CodePage.h"
#include "conversion/LyricConverter.h"

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

const std::string& WorkFolder() {
    static const std::string folder = [] {
        char pattern[] = "/tmp/fuzz_converter.XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            std::abort();
        }
        return std::string(pattern);
    }();
    return folder;
}

int EntryCount(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    int count = 0;
    while (const dirent* entry = readdir(dir)) {
        count += entry->d_name[0] == '.' && entry->d_name[1] != '.' && entry->d_name[1] != '\0';
        count += entry->d_name[0] != '.';
    }
    closedir(dir);
    return count;
}

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string source = WorkFolder() + "/song.ksc";
    const std::string target = WorkFolder() + "/song.kmc";
    const std::string script(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(source, std::ios::binary | std::ios::trunc);
        out << script;
    }

    static const tolvren::LyricConverter converter("fuzz & <author>");
    const tolvren::ConvertResult result = converter.ConvertFile(source, target);
    if (!result.ok()) {
        std::fprintf(stderr, "conversion failed: %s\n", result.reason.c_str());
        std::abort();
    }
    const std::string document = Contents(target);
    if (document != converter.ConvertText(script, "song.ksc")) {
        std::abort(); // the file and the in-memory path must agree byte for byte
    }

    const std::string_view head = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<kmc ";
    const std::string_view tail = "</kmc>\r\n";
    if (!document.starts_with(head) || !document.ends_with(tail)) {
        std::abort();
    }
    for (std::size_t i = document.find('\n'); i != std::string::npos;
         i = document.find('\n', i + 1)) {
        if (i == 0 || document[i - 1] != '\r') {
            std::abort(); // every line feed reaches the disk as CR LF
        }
    }
    if (!tolvren::IsValidUtf8(document) || document.find('\0') != std::string::npos) {
        std::abort();
    }
    if (EntryCount(WorkFolder()) != 2) {
        std::abort(); // no temporary left behind
    }
    return 0;
}
