#pragma once

#include "conversion/CodePage.h"

#include <string_view>

// What a script without a byte-order mark is written in, from what its own bytes say. Shared code,
// the same on every platform, so that every script is read alike wherever it is converted.

namespace tolvren {

/// What the bytes of a script say about their encoding.
struct EncodingEvidence {
    bool utf16Le = false; ///< every other byte NUL, as in UTF-16 text
    bool utf16Be = false;
    /// Tag names (歌名, 歌手) at the start of `karaoke.tag('` lines, by the encoding they are in.
    std::size_t utf8Tags = 0;
    std::size_t big5Tags = 0;
    std::size_t gbkTags = 0;
    std::size_t nonAscii = 0;  ///< bytes 0x80 and above
    std::size_t utf8Bytes = 0; ///< of those, the ones that form well-formed UTF-8
    std::size_t fourByte = 0;  ///< GB18030 four-byte sequences
    /// Double-byte pairs as GBK and as Big5 read them: how many, how many common characters, and
    /// how many unassigned, private-use or broken.
    std::size_t gbkPairs = 0, gbkCommon = 0, gbkOdd = 0;
    std::size_t big5Pairs = 0, big5Common = 0, big5Odd = 0;
};

/// Gathers as much evidence as decides, strongest first: where GBK tag names decide, the four-byte
/// sequences are left for whoever decodes the bytes to count (DoubleByteCodePage::Decode); the
/// readings as GBK and Big5 are made only where nothing stronger decides.
EncodingEvidence GatherEvidence(std::string_view bytes);

/// The encoding the evidence makes certain or likely; GBK when nothing speaks against it.
InputEncoding::Kind DecideEncoding(const EncodingEvidence& evidence);

/// The encoding the bytes of a script (its mark removed) make certain or likely, strongest evidence
/// first: every other byte NUL (UTF-16); the names of its tags (karaoke.tag('歌名' and '歌手') in
/// UTF-8, Big5 or GBK; nearly all bytes beyond ASCII forming UTF-8; GB18030's four-byte sequences;
/// lyrics that read as common Chinese in Big5 and not in GBK. GBK (Kind::Gbk) when nothing speaks
/// against it, and also when a short script cannot be told apart.
InputEncoding::Kind DetectEncoding(std::string_view bytes);

} // namespace tolvren
