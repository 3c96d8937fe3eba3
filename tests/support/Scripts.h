#pragma once

#include <iconv.h>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

// Helpers shared by the conversion tests.

namespace tolvren::testing {

/// `utf8` encoded as GBK with glibc's iconv (independent of the converter's own ICU path), so
/// test scripts can be written readably.
inline std::string Gbk(std::string_view utf8) {
    iconv_t cd = iconv_open("CP936", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error("iconv cannot convert UTF-8 to CP936");
    }
    std::string out(utf8.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* target = out.data();
    std::size_t outLeft = out.size();
    const std::size_t rc = iconv(cd, &in, &inLeft, &target, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1)) {
        throw std::runtime_error("text not representable in GBK");
    }
    out.resize(out.size() - outLeft);
    return out;
}

/// A GBK script made of `lines` (written in UTF-8 here), each ending in CR LF.
inline std::string Script(std::initializer_list<std::string_view> lines) {
    std::string script;
    for (std::string_view line : lines) {
        script += Gbk(line) + "\r\n";
    }
    return script;
}

/// A document as it lies on disk: byte-order mark, XML declaration, then `lines`, each line
/// ending in CR LF.
inline std::string Document(std::initializer_list<std::string_view> lines) {
    std::string document = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";
    for (std::string_view line : lines) {
        document.append(line).append("\r\n");
    }
    return document;
}

} // namespace tolvren::testing
