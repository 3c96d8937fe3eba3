#pragma once

#include <string>

namespace tolvren {

/// What a self-painting progress bar shows, whatever draws it: a range, a position, a caption,
/// the width of the filled part, the text over the bar, and whether a change is worth a repaint.
/// Both TextProgressCtrls keep one and paint from it.
///
/// Repaints are kept to what the eye can see: a new position needs one only when the filled
/// width moves by at least one pixel (or after a resize), a caption only when it changes.
class BarModel {
public:
    /// Stores the bounds; nothing needs repainting. An empty range (lower >= upper) paints an
    /// empty bar with no text.
    void SetRange(int lower, int upper);
    /// Stores `pos`; true when the filled part of a bar `width` pixels wide is no longer what was
    /// last painted.
    bool SetPos(int pos, int width);
    /// The caption shown instead of the percentage (UTF-8; "" brings the percentage back); true
    /// when it changed.
    bool SetCaption(const std::string& caption);
    /// The bar's size changed: the next position repaints whatever width it gives.
    void Resized() { m_nLastBarWidth = -1; }

    int GetPos() const { return m_nPosition; }
    const std::string& Caption() const { return m_strCaption; }
    bool HasRange() const { return m_nLower < m_nUpper; }
    /// Pixels of a bar `width` pixels wide that are filled: truncated, and within the bar even for
    /// a position outside the range.
    int FilledWidth(int width) const;
    /// The caption, or else the percentage truncated ("28%" for 29 of 100, as the worker's own
    /// percentage is); "" for an empty range.
    std::string DisplayText() const;

private:
    double Fraction() const;

    int m_nPosition = 0;
    int m_nUpper = 100;
    int m_nLower = 0;
    std::string m_strCaption;
    int m_nLastBarWidth = -1; ///< filled width at the last repaint; -1: none yet
};

} // namespace tolvren
