// Writes a seeded corpus of realistic KSC songs for whole-run benchmarks and load tests:
//   make_corpus FOLDER FILES [FOLDERS] [SEED]
// Songs of about 3 KB (GBK, CR LF) spread over nested folders three levels deep.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fmt/format.h>
#include <random>
#include <string>

namespace {

// One GBK level-1 hanzi: lead byte 0xB0..0xD7, trail byte 0xA1..0xFE (0xD7 stops at 0xF9).
std::string Hanzi(std::mt19937& rng) {
    std::uniform_int_distribution<int> lead(0xB0, 0xD6);
    std::uniform_int_distribution<int> trail(0xA1, 0xFE);
    return {static_cast<char>(lead(rng)), static_cast<char>(trail(rng))};
}

std::string Time(int ms) {
    return fmt::format("{:02}:{:02}.{:03}", ms / 60000, ms / 1000 % 60, ms % 1000);
}

std::string Song(std::mt19937& rng) {
    std::string song;
    std::string title;
    for (int i = 0; i < 4; ++i) {
        title += Hanzi(rng);
    }
    song += "karaoke.tag('\xB8\xE8\xC3\xFB', '" + title + "');\r\n";
    song += "karaoke.tag('\xB8\xE8\xCA\xD6', '" + Hanzi(rng) + Hanzi(rng) + "');\r\n";
    song += "karaoke.TimeOffset := 0;\r\n";
    std::uniform_int_distribution<int> syllables(6, 12);
    std::uniform_int_distribution<int> duration(150, 600);
    int now = 12000;
    for (int line = 0; line < 30; ++line) {
        const int n = syllables(rng);
        std::string text;
        std::string timing;
        int end = now;
        for (int s = 0; s < n; ++s) {
            text += Hanzi(rng);
            const int d = duration(rng);
            // Appended piece by piece: `"," + std::to_string(d)` sets off GCC 12's false
            // -Wrestrict warning in an optimised build.
            if (s > 0) {
                timing += ',';
            }
            timing += std::to_string(d);
            end += d;
        }
        song += "karaoke.add('" + Time(now) + "', '" + Time(end) + "', '" + text + "', '" + timing +
                "');\r\n";
        now = end + 800;
    }
    return song;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_corpus FOLDER FILES [FOLDERS] [SEED]\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    const long files = std::atol(argv[2]);
    const long folders = argc > 3 ? std::atol(argv[3]) : 100;
    std::mt19937 rng(argc > 4 ? static_cast<unsigned>(std::atol(argv[4])) : 2026u);
    for (long i = 0; i < files; ++i) {
        const long f = i % folders;
        const auto folder = root / fmt::format("g{:02}", f % 10) / fmt::format("f{:03}", f) /
                            (i % 3 == 0 ? "live" : "");
        std::filesystem::create_directories(folder);
        const auto path = folder / fmt::format("song{:06}.ksc", i);
        std::FILE* out = std::fopen(path.c_str(), "wb");
        if (out == nullptr) {
            std::perror(path.c_str());
            return 1;
        }
        const std::string song = Song(rng);
        std::fwrite(song.data(), 1, song.size(), out);
        std::fclose(out);
    }
    return 0;
}
