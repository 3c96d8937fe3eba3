#include "conversion/TextFile.h"

#include <algorithm>

namespace tolvren {

TextModeCut ApplyTextModeInput(std::string& bytes) {
    TextModeCut cut;
    const std::size_t ctrlZ = bytes.find('\x1A');
    if (ctrlZ != std::string::npos) {
        constexpr std::string_view nothing(" \t\n\v\f\r\x1A\0", 8);
        const std::string_view rest = std::string_view(bytes).substr(ctrlZ + 1);
        if (rest.find_first_not_of(nothing) != std::string_view::npos) {
            cut.line = 1 + static_cast<std::size_t>(
                               std::count(bytes.begin(), bytes.begin() + ctrlZ, '\n'));
            const auto countLineAt = [&](std::size_t start) {
                cut.lyricLines += rest.substr(start).starts_with(kLyricStatementStart) ? 1 : 0;
            };
            // A Ctrl-Z at the start of a line takes that whole line with it.
            if (ctrlZ == 0 || bytes[ctrlZ - 1] == '\n') {
                countLineAt(0);
            }
            for (std::size_t lineFeed = rest.find('\n'); lineFeed != std::string_view::npos;
                 lineFeed = rest.find('\n', lineFeed + 1)) {
                countLineAt(lineFeed + 1);
            }
        }
        bytes.resize(ctrlZ);
    }
    if (bytes.find('\0') != std::string::npos) {
        std::erase(bytes, '\0');
    }
    return cut;
}

bool LineReader::Next(std::string_view& line) {
    if (m_nPos >= m_text.size()) {
        return false;
    }
    ++m_nLine;
    const std::size_t lineFeed = m_text.find('\n', m_nPos);
    if (lineFeed == std::string_view::npos) {
        line = m_text.substr(m_nPos);
        m_nPos = m_text.size();
        return true;
    }
    line = m_text.substr(m_nPos, lineFeed - m_nPos);
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    m_nPos = lineFeed + 1;
    return true;
}

void AppendCrLf(std::string_view text, std::string& out) {
    std::size_t pos = 0;
    for (;;) {
        const std::size_t lineFeed = text.find('\n', pos);
        if (lineFeed == std::string_view::npos) {
            out.append(text.substr(pos));
            return;
        }
        out.append(text.substr(pos, lineFeed - pos));
        out.append("\r\n");
        pos = lineFeed + 1;
    }
}

void FileSink::WriteText(std::string_view text) {
    std::string bytes;
    AppendCrLf(text, bytes);
    m_writer.Write(bytes);
}

} // namespace tolvren
