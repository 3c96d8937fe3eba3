// ConvertFile on a realistic song and on a large script, each beside a plain copy of the same
// file; decoding GBK with the table of pairs, with ICU alone and with glibc iconv; and writing a
// document as an unnamed file against a named temporary; and the look for a killed run's
// temporaries before a run writes into a folder.
#include "conversion/CodePage.h"
#include "conversion/LyricConverter.h"
#include "conversion/TextFile.h"
#include "files/AtomicFileWriter.h"

#include <benchmark/benchmark.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iconv.h>
#include <string>
#include <unistd.h>

namespace {

using namespace tolvren;

std::string Gbk(std::string_view utf8) {
    iconv_t cd = iconv_open("CP936", "UTF-8");
    std::string out(utf8.size() * 2, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* target = out.data();
    std::size_t outLeft = out.size();
    iconv(cd, &in, &inLeft, &target, &outLeft);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

std::string Time(long ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%02ld:%02ld.%03ld", ms / 60000, ms / 1000 % 60, ms % 1000);
    return text;
}

// A script like the ones singers' tools write: header statements, then one lyric statement per
// line, mostly Chinese with some English, timings per character.
std::string MakeScript(std::size_t targetSize) {
    static const char* const chinese[] = {"窗外的月光静静洒落", "我把思念写成一首歌",
                                          "你说过的话还在耳边", "像风一样轻轻地吹过",
                                          "如果时间可以停留",   "这一首情歌唱给你听"};
    static const char* const english[] = {"Carries me through wind and rain",
                                          "It''s the only place I''ve been"};
    std::string script = Gbk("karaoke := CreateKaraokeObject;\r\nkaraoke.rows := 2;\r\n"
                             "karaoke.TimeOffset := 0;\r\nkaraoke.tag('歌名', '情歌');\r\n"
                             "karaoke.tag('歌手', '林小雨');\r\n\r\n");
    long t = 12500;
    for (int i = 0; script.size() < targetSize; ++i) {
        const bool isEnglish = i % 5 == 4;
        const std::string text = isEnglish ? english[i % 2] : Gbk(chinese[i % 6]);
        const long length = 4200 + i % 7 * 130;
        script += "karaoke.add('" + Time(t) + "', '" + Time(t + length) + "', '" + text +
                  "', '439,576,453,590,467,604,481,618,495');\r\n";
        t = (t + length + 600) % 3600000;
    }
    return script;
}

struct Files {
    std::filesystem::path folder;
    std::string song;  // ~4 KB
    std::string large; // ~10 MB
    std::size_t songSize = 0;
    std::size_t largeSize = 0;

    Files() {
        char pattern[] = "/var/tmp/bench_convert.XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            std::abort();
        }
        folder = pattern;
        song = (folder / "song.ksc").string();
        large = (folder / "large.ksc").string();
        const std::string songBytes = MakeScript(4 * 1024);
        const std::string largeBytes = MakeScript(10 * 1024 * 1024);
        std::ofstream(song, std::ios::binary) << songBytes;
        std::ofstream(large, std::ios::binary) << largeBytes;
        songSize = songBytes.size();
        largeSize = largeBytes.size();
    }
    ~Files() { std::filesystem::remove_all(folder); }
};

Files& TheFiles() {
    static Files files;
    return files;
}

const std::string& Source(int which) {
    return which == 0 ? TheFiles().song : TheFiles().large;
}
std::size_t SourceSize(int which) {
    return which == 0 ? TheFiles().songSize : TheFiles().largeSize;
}

void BM_ConvertFile(benchmark::State& state) {
    const LyricConverter converter("作者");
    const std::string target = (TheFiles().folder / "out.kmc").string();
    const int which = static_cast<int>(state.range(0));
    for (auto _ : state) {
        const ConvertResult result = converter.ConvertFile(Source(which), target);
        if (!result.ok()) {
            state.SkipWithError("conversion failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * SourceSize(which)));
    state.SetLabel(which == 0 ? "4 KB song" : "10 MB script");
}
BENCHMARK(BM_ConvertFile)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The floor: read the whole file and write it to a new file, nothing else.
void BM_PlainCopy(benchmark::State& state) {
    const std::string target = (TheFiles().folder / "copy.kmc").string();
    const int which = static_cast<int>(state.range(0));
    std::string buffer;
    for (auto _ : state) {
        ReadWholeFile(Source(which), buffer);
        const int file = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (file < 0 ||
            write(file, buffer.data(), buffer.size()) != static_cast<ssize_t>(buffer.size())) {
            state.SkipWithError("copy failed");
            break;
        }
        close(file);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * SourceSize(which)));
    state.SetLabel(which == 0 ? "4 KB song" : "10 MB script");
}
BENCHMARK(BM_PlainCopy)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A GBK script of about 1 MB, as the decoder sees it.
const std::string& Script() {
    static const std::string script = MakeScript(1024 * 1024);
    return script;
}

void BM_ToUtf8(benchmark::State& state) {
    const bool icuAlone = state.range(0) != 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(icuAlone ? ToUtf8ThroughPlatform(Script()) : ToUtf8(Script()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Script().size()));
    state.SetLabel(icuAlone ? "ICU alone" : "table of pairs, ICU for the rest");
}
BENCHMARK(BM_ToUtf8)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// glibc iconv with the same contract: one descriptor reused, invalid bytes become U+FFFD.
void AppendUtf8Iconv(iconv_t cd, std::string_view gbk, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + gbk.size() * 3 + 16);
    char* in = const_cast<char*>(gbk.data());
    std::size_t inLeft = gbk.size();
    char* target = out.data() + start;
    std::size_t outLeft = out.size() - start;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &target, &outLeft) != static_cast<std::size_t>(-1)) {
            break;
        }
        if (errno != EILSEQ && errno != EINVAL) {
            break;
        }
        std::memcpy(target, "\xEF\xBF\xBD", 3);
        target += 3;
        outLeft -= 3;
        ++in;
        --inLeft;
    }
    out.resize(static_cast<std::size_t>(target - out.data()));
}

void BM_ToUtf8Iconv(benchmark::State& state) {
    iconv_t cd = iconv_open("UTF-8", "CP936");
    std::string out;
    for (auto _ : state) {
        out.clear();
        AppendUtf8Iconv(cd, Script(), out);
        benchmark::DoNotOptimize(out.data());
    }
    iconv_close(cd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Script().size()));
}
BENCHMARK(BM_ToUtf8Iconv)->Unit(benchmark::kMicrosecond);

// The safe write of a new 4 KB document: an unnamed file linked into place, or a named temporary
// renamed to it.
void BM_AtomicWrite(benchmark::State& state) {
    const bool named = state.range(0) != 0;
    AtomicFileWriter::UseUnnamedFiles(!named);
    const std::string target = (TheFiles().folder / "atomic.kmc").string();
    const std::string document(4 * 1024, 'x');
    for (auto _ : state) {
        std::filesystem::remove(target);
        AtomicFileWriter writer(target);
        if (!writer.Open().ok()) {
            state.SkipWithError("cannot create");
            break;
        }
        writer.Write(document);
        if (!writer.Commit().ok()) {
            state.SkipWithError("cannot commit");
            break;
        }
    }
    AtomicFileWriter::UseUnnamedFiles(true);
    state.SetLabel(named ? "named temporary" : "unnamed file");
}
BENCHMARK(BM_AtomicWrite)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

// What a run adds before it writes into a folder: looking for temporaries a killed run left, in a
// folder of 20,000 documents (a library converted before) with two of them.
void BM_RemoveStaleTemporaries(benchmark::State& state) {
    const std::filesystem::path folder = TheFiles().folder / "library";
    std::filesystem::create_directory(folder);
    for (int i = 0; i < 20000; ++i) {
        std::ofstream(folder / ("song " + std::to_string(i) + ".kmc")) << "x";
    }
    const FolderHandle handle(folder.string());
    for (auto _ : state) {
        state.PauseTiming();
        for (const char* stale : {".a.kmc.tolvren-tmp-Ab12Cd", ".b.kmc.tolvren-tmp-Ab12Cd"}) {
            std::ofstream(folder / stale) << "half";
        }
        state.ResumeTiming();
        RemoveStaleTemporaries(handle);
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_RemoveStaleTemporaries)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
