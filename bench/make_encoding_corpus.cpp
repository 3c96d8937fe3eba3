// Writes a seeded corpus of songs in the encodings a library without byte-order marks holds, for
// measuring how scripts are told apart:
//   make_encoding_corpus FOLDER SIMPLIFIED.txt TRADITIONAL.txt SONGS [SEED]
// The texts are UTF-8, one phrase per line (translations of system messages serve well: real
// Chinese that has nothing to do with the detector's own table). Runs of Chinese characters are
// cut into lyric lines. Under FOLDER, one folder per set:
//   gbk, gbk-traditional   simplified and traditional text in GBK
//   big5                   traditional text in Big5
//   gb18030                simplified text with names and emoji beyond GBK (four-byte sequences)
//   utf8-stray             simplified text in UTF-8 with one to three stray bytes
// A third of the songs name no title or singer (no karaoke.tag lines), and a fifth are short (one
// to three lines). Names say which: t1/t0 (tags or none) and nNNNN (Chinese characters).

#include <cstdio>
#include <filesystem>
#include <fmt/format.h>
#include <fstream>
#include <iconv.h>
#include <random>
#include <string>
#include <vector>

namespace {

// The Chinese characters of a UTF-8 line, as runs (each run a vector of characters).
std::vector<std::vector<std::string>> Runs(const std::string& line) {
    std::vector<std::vector<std::string>> runs;
    std::vector<std::string> run;
    for (std::size_t i = 0; i < line.size();) {
        const auto lead = static_cast<unsigned char>(line[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const std::string c = line.substr(i, length);
        i += length;
        // U+4E00..U+9FFF: E4 B8 80 .. E9 BF BF.
        if (length == 3 && c >= "\xE4\xB8\x80" && c <= "\xE9\xBF\xBF") {
            run.push_back(c);
        } else if (!run.empty()) {
            runs.push_back(std::move(run));
            run.clear();
        }
    }
    if (!run.empty()) {
        runs.push_back(std::move(run));
    }
    return runs;
}

std::vector<std::vector<std::string>> ReadPhrases(const char* path) {
    std::ifstream in(path);
    std::vector<std::vector<std::string>> phrases;
    for (std::string line; std::getline(in, line);) {
        for (auto& run : Runs(line)) {
            if (run.size() >= 2) {
                phrases.push_back(std::move(run));
            }
        }
    }
    return phrases;
}

// `text` in `encoding`; empty when a character has no form there.
std::string Encode(const std::string& text, const char* encoding) {
    iconv_t cd = iconv_open(encoding, "UTF-8");
    std::string out(text.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* target = out.data();
    std::size_t outLeft = out.size();
    const std::size_t rc = iconv(cd, &in, &inLeft, &target, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1)) {
        return {};
    }
    out.resize(out.size() - outLeft);
    return out;
}

std::string Time(int ms) {
    return fmt::format("{:02}:{:02}.{:03}", ms / 60000, ms / 1000 % 60, ms % 1000);
}

struct Song {
    std::string title;
    std::string singer;
    std::vector<std::string> lines;
    int characters = 0;
};

Song MakeSong(const std::vector<std::vector<std::string>>& phrases, std::mt19937& rng) {
    std::uniform_int_distribution<std::size_t> pick(0, phrases.size() - 1);
    const auto phrase = [&](std::size_t most) {
        const auto& words = phrases[pick(rng)];
        std::string text;
        for (std::size_t i = 0; i < words.size() && i < most; ++i) {
            text += words[i];
        }
        return text;
    };
    Song song;
    song.title = phrase(6);
    song.singer = phrase(3);
    const int lines = std::uniform_int_distribution<int>(0, 4)(rng) == 0
                          ? std::uniform_int_distribution<int>(1, 3)(rng)
                          : std::uniform_int_distribution<int>(12, 40)(rng);
    for (int i = 0; i < lines; ++i) {
        song.lines.push_back(phrase(12));
    }
    return song;
}

// A song as a script in UTF-8 (to be encoded as a whole), with or without its tag lines.
std::string Script(const Song& song, bool tags) {
    std::string script;
    if (tags) {
        script += "karaoke.tag('歌名', '" + song.title + "');\r\n";
        script += "karaoke.tag('歌手', '" + song.singer + "');\r\n";
    }
    int now = 10000;
    for (const std::string& line : song.lines) {
        std::string durations;
        int end = now;
        for (std::size_t i = 0; i < line.size(); i += 3) {
            durations += (i ? "," : "") + std::to_string(300);
            end += 300;
        }
        script += "karaoke.add('" + Time(now) + "', '" + Time(end) + "', '" + line + "', '" +
                  durations + "');\r\n";
        now = end + 500;
    }
    return script;
}

int Characters(const Song& song, bool tags) {
    std::size_t bytes = 0;
    for (const std::string& line : song.lines) {
        bytes += line.size();
    }
    if (tags) {
        bytes += song.title.size() + song.singer.size();
    }
    return static_cast<int>(bytes / 3);
}

bool Write(const std::string& path, const std::string& bytes) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        std::perror(path.c_str());
        return false;
    }
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    return std::fclose(out) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr,
                     "usage: make_encoding_corpus FOLDER SIMPLIFIED TRADITIONAL SONGS [SEED]\n");
        return 2;
    }
    const std::string root = argv[1];
    const auto simplified = ReadPhrases(argv[2]);
    const auto traditional = ReadPhrases(argv[3]);
    const int songs = std::atoi(argv[4]);
    std::mt19937 rng(argc > 5 ? static_cast<unsigned>(std::atol(argv[5])) : 2026u);
    if (simplified.empty() || traditional.empty()) {
        std::fprintf(stderr, "make_encoding_corpus: no Chinese text in the phrase files\n");
        return 1;
    }
    // Beyond GBK: CJK extension B names and emoji, which GB18030 writes in four bytes.
    const std::vector<std::string> beyond = {"𠀀", "𡃁", "𪚥", "𤭢", "😀", "🎤", "❤️"};
    for (const char* set : {"gbk", "gbk-traditional", "big5", "gb18030", "utf8-stray"}) {
        std::filesystem::create_directories(root + "/" + set);
    }
    for (int i = 0; i < songs; ++i) {
        const bool tags = i % 3 != 0;
        Song song = MakeSong(simplified, rng);
        const std::string stem =
            fmt::format("t{}-n{:04}-song{:04}.ksc", tags ? 1 : 0, Characters(song, tags), i);
        bool ok = Write(root + "/gbk/" + stem, Encode(Script(song, tags), "GBK"));

        Song rich = song;
        std::uniform_int_distribution<std::size_t> which(0, beyond.size() - 1);
        rich.singer += beyond[which(rng)];
        rich.lines.back() += beyond[which(rng)];
        ok = ok && Write(root + "/gb18030/" + stem, Encode(Script(rich, tags), "GB18030"));

        std::string stray = Script(song, tags);
        std::uniform_int_distribution<std::size_t> at(0, stray.size() - 1);
        for (int k = 0; k <= i % 3; ++k) {
            std::size_t p = at(rng);
            while (p < stray.size() && (static_cast<unsigned char>(stray[p]) & 0xC0) == 0x80) {
                ++p; // between two characters
            }
            stray.insert(p, 1, static_cast<char>(0xA0 + k * 0x17));
        }
        ok = ok && Write(root + "/utf8-stray/" + stem, stray);

        // Traditional text: the same songs in both code pages, where Big5 has every character.
        Song old = MakeSong(traditional, rng);
        const std::string oldScript = Script(old, tags);
        const std::string big5 = Encode(oldScript, "CP950");
        if (!big5.empty()) {
            const std::string oldStem =
                fmt::format("t{}-n{:04}-song{:04}.ksc", tags ? 1 : 0, Characters(old, tags), i);
            ok = ok && Write(root + "/big5/" + oldStem, big5) &&
                 Write(root + "/gbk-traditional/" + oldStem, Encode(oldScript, "GBK"));
        }
        if (!ok) {
            return 1;
        }
    }
    return 0;
}
