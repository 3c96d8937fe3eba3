#include "conversion/ChineseConversion.h"

#include "conversion/ChineseDictionaries.h"
#include "conversion/FieldUtils.h"
#include "conversion/TimedLines.h"

#include <algorithm>
#include <array>
#include <bit>
#include <bitset>
#include <cstdint>
#include <map>
#include <mutex>

namespace tolvren {

namespace {

// A text cut into its characters as OpenCC steps through one, by the lead byte alone (the texts
// here are well-formed UTF-8), with each character's code point.
class Characters {
public:
    void Read(std::string_view text) {
        m_text = text;
        if (m_codes.size() < text.size()) {
            m_codes.resize(text.size());
            m_starts.resize(text.size() + 1);
        }
        const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
        std::uint32_t* starts = m_starts.data();
        char32_t* codes = m_codes.data();
        std::size_t count = 0;
        for (std::size_t at = 0; at < text.size(); ++count) {
            starts[count] = static_cast<std::uint32_t>(at);
            const unsigned lead = bytes[at];
            // Most characters of a lyric are Chinese, three bytes in UTF-8.
            if (lead >= 0xE0 && lead < 0xF0 && text.size() - at >= 3) {
                codes[count] =
                    (lead & 0x0Fu) << 12 | (bytes[at + 1] & 0x3Fu) << 6 | (bytes[at + 2] & 0x3Fu);
                at += 3;
                continue;
            }
            const std::size_t length = std::min<std::size_t>(lead < 0xC0   ? 1
                                                             : lead < 0xE0 ? 2
                                                             : lead < 0xF0 ? 3
                                                                           : 4,
                                                             text.size() - at);
            codes[count] = CodeOf(bytes + at, length);
            at += length;
        }
        m_nCount = count;
        starts[count] = static_cast<std::uint32_t>(text.size());
    }
    std::size_t Count() const { return m_nCount; }
    char32_t Code(std::size_t i) const { return m_codes[i]; }
    /// The bytes of characters `first` up to `end`.
    std::string_view Text(std::size_t first, std::size_t end) const {
        return {m_text.data() + m_starts[first], std::size_t{m_starts[end] - m_starts[first]}};
    }

private:
    // One past Unicode's last for a byte that starts no character, or one cut short: no key
    // holds it.
    static char32_t CodeOf(const unsigned char* bytes, std::size_t length) {
        constexpr char32_t kNone = 0x110000;
        const unsigned lead = bytes[0];
        if (lead < 0x80) {
            return lead;
        }
        const std::size_t expected = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (lead >= 0xF8 || expected == 1 || length < expected) {
            return kNone;
        }
        char32_t code = lead & (0x7Fu >> length);
        for (std::size_t i = 1; i < length; ++i) {
            code = code << 6 | (bytes[i] & 0x3Fu);
        }
        return code;
    }

    std::string_view m_text;
    std::vector<char32_t> m_codes;
    std::vector<std::uint32_t> m_starts; ///< and the text's end after the last
    std::size_t m_nCount = 0;
};

// Appends to a string, a character or a key's value at a time, without asking the string for room
// each time: the pieces are gathered in a buffer of the thread's own and appended in one go.
class Output {
public:
    explicit Output(std::string& text) : m_text(text), m_buffer(Buffer()) {}
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    ~Output() { m_text.append(m_buffer.data(), m_nSize); }

    void Append(std::string_view bytes) {
        if (m_nSize + bytes.size() > m_buffer.size()) {
            m_buffer.resize(std::max(m_buffer.size() * 2, m_nSize + bytes.size() + 256));
        }
        std::copy(bytes.begin(), bytes.end(),
                  m_buffer.begin() + static_cast<std::ptrdiff_t>(m_nSize));
        m_nSize += bytes.size();
    }

private:
    static std::string& Buffer() {
        thread_local std::string buffer;
        return buffer;
    }

    std::string& m_text;
    std::string& m_buffer;
    std::size_t m_nSize = 0;
};

bool HasAscii(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The ASCII of a text, in order.
std::string AsciiOf(std::string_view text) {
    std::string ascii;
    std::copy_if(text.begin(), text.end(), std::back_inserter(ascii),
                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return ascii;
}

std::size_t UnitCount(std::string_view text) {
    thread_local std::vector<std::string_view> units;
    SplitUnits(text, units);
    return units.size();
}

// A table from numbers (not 0) to values, open addressing in one block of memory: small enough to
// stay in a core's cache, which is most of what the look-ups of a conversion cost.
template <typename Value>
class NumberTable {
public:
    /// Room for `count` numbers.
    void Reserve(std::size_t count) {
        m_nShift = 64 - static_cast<int>(std::bit_width(std::max<std::size_t>(count * 2, 16) - 1));
        m_slots.assign(std::size_t{1} << (64 - m_nShift), {});
    }
    /// The value of `key`, made when it is missing.
    Value& operator[](std::uint64_t key) {
        std::size_t at = Slot(key);
        while (m_slots[at].key != 0 && m_slots[at].key != key) {
            at = (at + 1) & (m_slots.size() - 1);
        }
        m_slots[at].key = key;
        return m_slots[at].value;
    }
    const Value* Find(std::uint64_t key) const {
        for (std::size_t at = Slot(key);; at = (at + 1) & (m_slots.size() - 1)) {
            if (m_slots[at].key == key) {
                return &m_slots[at].value;
            }
            if (m_slots[at].key == 0) {
                return nullptr;
            }
        }
    }

private:
    std::size_t Slot(std::uint64_t key) const {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15u) >> m_nShift);
    }
    struct Entry {
        std::uint64_t key = 0;
        Value value{};
    };
    std::vector<Entry> m_slots;
    int m_nShift = 64;
};

} // namespace

// A dictionary of OpenCC's, ready to say which of its keys is the longest that begins at a place
// of a text, as OpenCC's tries say it, but in a step or two for most places: the keys by their
// first character, longer keys also by their first two, with the lengths that keys beginning so
// have, all in small tables of numbers that stay in a core's cache.
class ChineseConverter::Dictionary {
public:
    struct Value {
        std::string_view text;      ///< the key's first value, what OpenCC writes for it
        std::size_t characters = 0; ///< in it
        bool bReshapes = false; ///< it has not as many characters as its key, or ASCII in either
    };
    struct Match {
        std::size_t characters = 0; ///< of the key; 0 when no key begins there
        Value value;
    };

    /// `text` is OpenCC's text form of the dictionary and outlives it.
    explicit Dictionary(std::string_view text) : m_text(text) {
        struct Entry {
            std::uint64_t pair; ///< the first two characters; the first alone for a key of one
            std::size_t characters;
            Stored key;
            Stored value;
            bool bReshapes;
        };
        std::vector<Entry> entries;
        std::vector<std::uint64_t> singles;
        std::vector<std::uint64_t> pairs;
        Characters characters;
        for (std::size_t at = 0; at < text.size();) {
            std::size_t end = text.find('\n', at);
            end = end == std::string_view::npos ? text.size() : end;
            const std::string_view line = text.substr(at, end - at);
            at = end + 1;
            const std::size_t tab = line.find('\t');
            if (tab == 0 || tab == std::string_view::npos) {
                continue;
            }
            const std::string_view values = line.substr(tab + 1);
            const std::string_view value = values.substr(0, values.find(' '));
            characters.Read(value);
            const std::size_t valueCharacters = characters.Count();
            const std::string_view key = line.substr(0, tab);
            characters.Read(key);
            // OpenCC's longest keys have 16 characters; the tests hold every key to OpenCC's
            // own matching, so one longer than this would be found there.
            if (characters.Count() > kMaxCharacters || key.size() > 0xFFFF ||
                value.size() > 0xFFFF) {
                continue;
            }
            const bool single = characters.Count() == 1;
            const std::uint64_t pair = single ? characters.Code(0) : PairOf(characters, 0);
            const bool reshapes =
                valueCharacters != characters.Count() || HasAscii(key) || HasAscii(value);
            entries.push_back({pair, characters.Count(), StoredOf(key), StoredOf(value), reshapes});
            entries.back().value.characters = static_cast<std::uint16_t>(valueCharacters);
            (single ? singles : pairs).push_back(pair);
        }
        m_bSingles = !singles.empty();
        m_bLonger = !pairs.empty();
        m_singles.Reserve(singles.size());
        m_longer.Reserve(pairs.size());
        m_pairs.Reserve(Distinct(pairs));
        for (const Entry& entry : entries) {
            if (entry.characters == 1) {
                NoteFirst(static_cast<char32_t>(entry.pair));
                m_singles[entry.pair] = {entry.value, entry.bReshapes};
                continue;
            }
            NoteFirst(static_cast<char32_t>(entry.pair >> 32));
            m_pairs[entry.pair] |= std::uint64_t{1} << (entry.characters - 2); // k + 2 of them
            m_pairFilter[FilterBit(entry.pair)] = true;
            m_longer[KeyNumber(Text(entry.key))] = {entry.key, entry.value, entry.bReshapes};
        }
    }

    /// The longest key that the characters from `at` on begin with, up to `end`.
    Match Longest(const Characters& text, std::size_t at, std::size_t end) const {
        if (!MayBegin(text.Code(at))) {
            return {};
        }
        if (m_bLonger && at + 1 < end) {
            const std::uint64_t pair = PairOf(text, at);
            const std::uint64_t* lengths =
                m_pairFilter[FilterBit(pair)] ? m_pairs.Find(pair) : nullptr;
            if (lengths != nullptr) {
                const std::size_t longest = static_cast<std::size_t>(std::bit_width(*lengths)) + 1;
                for (std::size_t characters = std::min(longest, end - at); characters >= 2;
                     --characters) {
                    if ((*lengths >> (characters - 2) & 1) == 0) {
                        continue;
                    }
                    const std::string_view key = text.Text(at, at + characters);
                    const Longer* longer = m_longer.Find(KeyNumber(key));
                    if (longer != nullptr && Text(longer->key) == key) {
                        return {characters, ValueOf(longer->value, longer->bReshapes)};
                    }
                }
            }
        }
        if (const Single* single = m_bSingles ? m_singles.Find(text.Code(at)) : nullptr;
            single != nullptr) {
            return {1, ValueOf(single->value, single->bReshapes)};
        }
        return {};
    }

    /// Whether a key may begin with `code`; false only where none does.
    bool MayBegin(char32_t code) const { return code >= m_bmpFirsts.size() || m_bmpFirsts[code]; }

private:
    static constexpr std::size_t kMaxCharacters = 65; // the bits of a mask, from 2 characters
    static constexpr int kFilterBits = 19;

    // A piece of the dictionary's text.
    struct Stored {
        std::uint32_t offset = 0;
        std::uint16_t length = 0;
        std::uint16_t characters = 0;
    };
    struct Single {
        Stored value;
        bool bReshapes = false;
    };
    struct Longer {
        Stored key;
        Stored value;
        bool bReshapes = false;
    };

    static std::uint64_t PairOf(const Characters& text, std::size_t at) {
        return std::uint64_t{text.Code(at)} << 32 | text.Code(at + 1);
    }
    static std::size_t FilterBit(std::uint64_t pair) {
        return static_cast<std::size_t>((pair * 0xD6E8FEB86659FD93u) >> (64 - kFilterBits));
    }
    // A key's bytes as a number (FNV-1a, never 0); a look-up compares the key itself too.
    static std::uint64_t KeyNumber(std::string_view key) {
        std::uint64_t number = 0xCBF29CE484222325u;
        for (const char c : key) {
            number = (number ^ static_cast<unsigned char>(c)) * 0x100000001B3u;
        }
        return number | 1;
    }
    static std::size_t Distinct(std::vector<std::uint64_t>& numbers) {
        std::sort(numbers.begin(), numbers.end());
        return static_cast<std::size_t>(
            std::distance(numbers.begin(), std::unique(numbers.begin(), numbers.end())));
    }
    Stored StoredOf(std::string_view piece) const {
        return {static_cast<std::uint32_t>(piece.data() - m_text.data()),
                static_cast<std::uint16_t>(piece.size()), 0};
    }
    std::string_view Text(Stored piece) const { return m_text.substr(piece.offset, piece.length); }
    void NoteFirst(char32_t code) {
        if (code < m_bmpFirsts.size()) {
            m_bmpFirsts[code] = true;
        }
    }
    Value ValueOf(Stored piece, bool reshapes) const {
        return {Text(piece), piece.characters, reshapes};
    }

    std::string_view m_text;
    std::bitset<0x10000>
        m_bmpFirsts;               ///< the keys' first characters in the Basic Multilingual Plane
    bool m_bSingles = false;       ///< keys of one character there are
    bool m_bLonger = false;        ///< longer ones
    NumberTable<Single> m_singles; ///< keys of one character, by its code point
    NumberTable<std::uint64_t> m_pairs; ///< bit k: a key of k + 2 characters begins so
    std::bitset<std::size_t{1} << kFilterBits> m_pairFilter; ///< which pairs m_pairs may hold
    NumberTable<Longer> m_longer;                            ///< by KeyNumber
};

std::string_view ChineseModeName(ChineseMode mode) {
    switch (mode) {
    case ChineseMode::Off:
        return "";
    case ChineseMode::S2t:
        return "s2t";
    case ChineseMode::S2tw:
        return "s2tw";
    case ChineseMode::S2twp:
        return "s2twp";
    case ChineseMode::S2hk:
        return "s2hk";
    case ChineseMode::T2s:
        return "t2s";
    case ChineseMode::Tw2s:
        return "tw2s";
    case ChineseMode::Tw2sp:
        return "tw2sp";
    case ChineseMode::Hk2s:
        return "hk2s";
    }
    return "";
}

std::optional<ChineseMode> ChineseModeFromName(std::string_view name) {
    const std::string lower = LowerAscii(name);
    for (const ChineseMode mode : kChineseModes) {
        if (mode != ChineseMode::Off && lower == ChineseModeName(mode)) {
            return mode;
        }
    }
    return std::nullopt;
}

ChineseConverter::ChineseConverter(
    ChineseMode mode, std::string_view segmentation,
    std::initializer_list<std::initializer_list<std::string_view>> steps,
    ChineseMode withoutRegionalWords)
    : m_mode(mode), m_pSegmentation(&DictionaryNamed(segmentation)),
      m_withoutRegionalWords(withoutRegionalWords) {
    for (const auto& names : steps) {
        Step& step = m_steps.emplace_back();
        for (const std::string_view name : names) {
            step.push_back(&DictionaryNamed(name));
        }
    }
}

const ChineseConverter::Dictionary& ChineseConverter::DictionaryNamed(std::string_view name) {
    static std::mutex mutex;
    static std::map<std::string_view, std::unique_ptr<const Dictionary>> dictionaries;
    const std::lock_guard lock(mutex);
    std::unique_ptr<const Dictionary>& dictionary = dictionaries[name];
    if (!dictionary) {
        dictionary = std::make_unique<const Dictionary>(ChineseDictionaryText(name));
    }
    return *dictionary;
}

// The steps of each mode are those of OpenCC's configuration of the same name.
const ChineseConverter* ChineseConverter::Of(ChineseMode mode) {
    switch (mode) {
    case ChineseMode::Off:
        return nullptr;
    case ChineseMode::S2t: {
        static const ChineseConverter s2t(mode, "STPhrases", {{"STPhrases", "STCharacters"}});
        return &s2t;
    }
    case ChineseMode::S2tw: {
        static const ChineseConverter s2tw(mode, "STPhrases",
                                           {{"STPhrases", "STCharacters"}, {"TWVariants"}});
        return &s2tw;
    }
    case ChineseMode::S2twp: {
        static const ChineseConverter s2twp(
            mode, "STPhrases", {{"STPhrases", "STCharacters"}, {"TWPhrases"}, {"TWVariants"}},
            ChineseMode::S2tw);
        return &s2twp;
    }
    case ChineseMode::S2hk: {
        static const ChineseConverter s2hk(mode, "STPhrases",
                                           {{"STPhrases", "STCharacters"}, {"HKVariants"}});
        return &s2hk;
    }
    case ChineseMode::T2s: {
        static const ChineseConverter t2s(mode, "TSPhrases", {{"TSPhrases", "TSCharacters"}});
        return &t2s;
    }
    case ChineseMode::Tw2s: {
        static const ChineseConverter tw2s(
            mode, "TSPhrases",
            {{"TWVariantsRevPhrases", "TWVariantsRev"}, {"TSPhrases", "TSCharacters"}});
        return &tw2s;
    }
    case ChineseMode::Tw2sp: {
        static const ChineseConverter tw2sp(
            mode, "TSPhrases",
            {{"TWPhrasesRev", "TWVariantsRevPhrases", "TWVariantsRev"},
             {"TSPhrases", "TSCharacters"}},
            ChineseMode::Tw2s);
        return &tw2sp;
    }
    case ChineseMode::Hk2s: {
        static const ChineseConverter hk2s(
            mode, "TSPhrases",
            {{"HKVariantsRevPhrases", "HKVariantsRev"}, {"TSPhrases", "TSCharacters"}});
        return &hk2s;
    }
    }
    return nullptr;
}

// OpenCC's way: the text is cut into segments, each the longest key of the segmenting dictionary
// where one begins and otherwise a run of characters that begin none; every step then converts
// each segment on its own, from its start, by the longest key of the first of its dictionaries
// that has one, a character without any coming through as it is.
void ChineseConverter::Convert(std::string_view text, std::string& out) const {
    Apply(text, out);
}

bool ChineseConverter::Apply(std::string_view text, std::string& out) const {
    struct Segment {
        std::size_t end = 0; ///< in the characters of its step's text
        bool bKey = false;   ///< a key of the segmenting dictionary, of `value`
        Dictionary::Value value;
    };
    thread_local Characters characters;
    thread_local std::vector<Segment> segments;
    thread_local std::vector<Segment> nextSegments;
    thread_local std::string buffers[2];
    bool reshaped = false;
    int filled = -1; // the buffer that holds the text of the next step; none for `text`
    characters.Read(text);
    segments.clear();
    const std::size_t count = characters.Count();
    std::size_t run = 0;
    for (std::size_t at = 0; at < count;) {
        const Dictionary::Match match = m_pSegmentation->Longest(characters, at, count);
        if (match.characters == 0) {
            ++at;
            continue;
        }
        if (run < at) {
            segments.push_back({at, false, {}});
        }
        at += match.characters;
        segments.push_back({at, true, match.value});
        run = at;
    }
    if (run < count) {
        segments.push_back({count, false, {}});
    }

    for (std::size_t s = 0; s < m_steps.size(); ++s) {
        const bool last = s + 1 == m_steps.size();
        // Into the buffer that does not hold the step's own text.
        std::string& stepText = last ? out : buffers[filled == 0 ? 1 : 0];
        if (!last) {
            stepText.clear();
        }
        // Where the first step begins with the segmenting dictionary, the segmentation has
        // answered for it already: a key's segment is the key, and no key of it begins anywhere
        // in a run, whose every character the segmentation has tried.
        const bool segmented = s == 0 && m_steps[0].front() == m_pSegmentation;
        const auto dictionaries = m_steps[s].begin() + (segmented ? 1 : 0);
        // A step none of whose keys begins with any character of the text leaves it as it is
        // (Taiwan's and Hong Kong's few words and variants, for most lines).
        bool untouched = !segmented;
        for (std::size_t at = 0; at < characters.Count() && untouched; ++at) {
            untouched = std::none_of(dictionaries, m_steps[s].end(), [&](const Dictionary* d) {
                return d->MayBegin(characters.Code(at));
            });
        }
        if (untouched) {
            if (last) {
                out.append(characters.Text(0, characters.Count()));
            }
            continue;
        }
        nextSegments.clear();
        // Characters that come through as they are wait until a key is replaced; a step that
        // replaces none leaves the text alone.
        bool changed = false;
        {
            Output to(stepText);
            std::size_t copied = 0;
            const auto replace = [&](std::size_t at, const Dictionary::Value& value,
                                     std::size_t after) {
                to.Append(characters.Text(copied, at));
                to.Append(value.text);
                copied = after;
                changed = true;
                reshaped = reshaped || value.bReshapes;
            };
            std::size_t begin = 0;
            std::size_t written = 0; // characters of the step's text
            for (const Segment& segment : segments) {
                if (segmented && segment.bKey) {
                    replace(begin, segment.value, segment.end);
                    written += segment.value.characters;
                }
                for (std::size_t at = begin; at < segment.end && !(segmented && segment.bKey);) {
                    Dictionary::Match match;
                    for (auto dictionary = dictionaries;
                         dictionary != m_steps[s].end() && match.characters == 0; ++dictionary) {
                        match = (*dictionary)->Longest(characters, at, segment.end);
                    }
                    if (match.characters == 0) {
                        ++at;
                        ++written;
                        continue;
                    }
                    replace(at, match.value, at + match.characters);
                    written += match.value.characters;
                    at += match.characters;
                }
                nextSegments.push_back({written, false, {}});
                begin = segment.end;
            }
            if (changed || last) {
                to.Append(characters.Text(copied, characters.Count()));
            }
        }
        if (!changed) {
            continue; // the same characters in the same segments
        }
        std::swap(segments, nextSegments);
        if (!last) {
            filled = &stepText == &buffers[0] ? 0 : 1;
            characters.Read(stepText);
        }
    }
    return reshaped;
}

ChineseMode ChineseConverter::ConvertSung(std::string_view text, std::string& out) const {
    const std::size_t start = out.size();
    // Only the regional words map a key to another number of characters, or to or from ASCII;
    // a line that none of those touched keeps its shape.
    if (!Apply(text, out) || m_withoutRegionalWords == ChineseMode::Off) {
        return m_mode;
    }
    const std::string_view converted = std::string_view(out).substr(start);
    if (UnitCount(converted) == UnitCount(text) && AsciiOf(converted) == AsciiOf(text)) {
        return m_mode;
    }
    out.resize(start);
    Of(m_withoutRegionalWords)->Convert(text, out);
    return m_withoutRegionalWords;
}

} // namespace tolvren
