#pragma once

#include <string>
#include <string_view>

// Code-page conversion: KSC scripts are GBK (Windows code page 936), KMC documents UTF-8.

struct UConverter;

namespace tolvren {

/// Decodes GBK (Windows code page 936) into UTF-8 with ICU's "windows-936" converter, opened once
/// per decoder. Bytes that are not valid GBK become U+FFFD; nothing else is dropped. Not for use
/// by two threads at once: give each thread its own decoder.
class GbkDecoder {
public:
    GbkDecoder();
    ~GbkDecoder();
    GbkDecoder(const GbkDecoder&) = delete;
    GbkDecoder& operator=(const GbkDecoder&) = delete;

    /// Appends the UTF-8 form of `gbk` to `out`. A double-byte character cut off at the end of
    /// `gbk` becomes U+FFFD, so cut texts only at bytes below 0x40 (never a trail byte).
    void AppendUtf8(std::string_view gbk, std::string& out);

private:
    UConverter* m_pGbk = nullptr;
    UConverter* m_pUtf8 = nullptr;
};

/// The UTF-8 form of the GBK text `gbk`, using this thread's decoder.
std::string ToUtf8(std::string_view gbk);

/// Appends the UTF-8 form of `gbk` to `out`, using this thread's decoder.
void AppendUtf8(std::string_view gbk, std::string& out);

/// True when `bytes` is well-formed UTF-8 (no overlongs, surrogates or values past U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

/// A Linux file name (bytes) as UTF-8: valid UTF-8 is taken as it is, anything else is decoded
/// as GBK (names written by Windows tools onto Linux file systems).
std::string FileNameToUtf8(std::string_view name);

} // namespace tolvren
