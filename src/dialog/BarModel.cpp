#include "dialog/BarModel.h"

#include <algorithm>

namespace tolvren {

void BarModel::SetRange(int lower, int upper) {
    m_nLower = lower;
    m_nUpper = upper;
}

bool BarModel::SetPos(int pos, int width) {
    m_nPosition = pos;
    const int filled = FilledWidth(width);
    if (filled == m_nLastBarWidth) {
        return false;
    }
    m_nLastBarWidth = filled;
    return true;
}

bool BarModel::SetCaption(const std::string& caption) {
    if (caption == m_strCaption) {
        return false;
    }
    m_strCaption = caption;
    return true;
}

double BarModel::Fraction() const {
    return static_cast<double>(m_nPosition - m_nLower) / static_cast<double>(m_nUpper - m_nLower);
}

int BarModel::FilledWidth(int width) const {
    if (!HasRange()) {
        return 0;
    }
    // A position outside the range would otherwise paint beyond the bar or backwards.
    return static_cast<int>(static_cast<double>(width) * std::clamp(Fraction(), 0.0, 1.0));
}

std::string BarModel::DisplayText() const {
    if (!m_strCaption.empty()) {
        return m_strCaption;
    }
    if (!HasRange()) {
        return {};
    }
    return std::to_string(static_cast<int>(Fraction() * 100.0)) + "%";
}

} // namespace tolvren
