#include "ui/AssOptionsDialog.h"

#include "batch/Messages.h"
#include "ui/DialogUnits.h"
#include "ui/PathText.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSpinBox>

namespace tolvren {

namespace {

QColor ColourOf(std::uint32_t rgb) {
    return QColor::fromRgb(static_cast<QRgb>(rgb));
}

QString ColourText(std::uint32_t rgb) {
    return ColourOf(rgb).name(QColor::HexRgb).toUpper();
}

} // namespace

// The sample line on a dark ground, as a video shows it: the left half sung, the right not yet,
// the colours split at one edge as the progress bar splits its text.
class AssSample : public QWidget {
public:
    AssSample(const AssChoices& choices, QWidget* parent) : QWidget(parent), m_choices(choices) {
        setAccessibleName(QStringLiteral("示例"));
    }
    void Show(const AssChoices& choices) {
        m_choices = choices;
        update();
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        const AssSampleLook look = SampleLookOf(m_choices);
        const SampleSize size = SampleSizeOf(look, height());
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        painter.setRenderHint(QPainter::Antialiasing);
        QFont font(FromText(look.fontName));
        font.setPixelSize(std::max(1, static_cast<int>(size.font)));
        font.setBold(look.bold);
        font.setItalic(look.italic);
        const QString text = FromText(std::string(AssSampleText()));
        QPainterPath path;
        const QFontMetricsF metrics(font);
        const double width = metrics.horizontalAdvance(text);
        const QPointF origin((this->width() - width) / 2,
                             (height() + metrics.ascent() - metrics.descent()) / 2);
        path.addText(origin, font, text);
        painter.strokePath(path, QPen(ColourOf(look.outline.rgb), 2 * size.outline));
        const double split = origin.x() + width / 2;
        for (const auto& [part, colour] :
             {std::pair{QRectF(0, 0, split, height()), look.sung.rgb},
              {QRectF(split, 0, this->width() - split, height()), look.unsung.rgb}}) {
            painter.setClipRect(part);
            painter.fillPath(path, ColourOf(colour));
        }
    }

private:
    AssChoices m_choices;
};

AssOptionsDialog::AssOptionsDialog(const AssChoices& choices, QWidget* parent)
    : QDialog(parent), m_choices(choices) {
    setObjectName(QStringLiteral("assOptionsDialog"));
    setWindowTitle(QStringLiteral("ASS 选项"));
    setFont(DialogFont());
    const DialogUnits du(font());
    setFixedSize(du.Size(230, 149));
    auto place = [&du](QWidget* control, int x, int y, int w, int h) {
        control->setGeometry(du.Rect(x, y, w, h));
        return control;
    };
    auto button = [this, &place](int x, int y, int w) {
        auto* control = new QPushButton(this);
        place(control, x, y, w, 14);
        control->setAutoDefault(false);
        return control;
    };
    auto label = [this, &place](const char* text, int x, int y, int w, QWidget* buddy) {
        auto* control = new QLabel(QString::fromUtf8(text), this);
        place(control, x, y, w, 8);
        control->setBuddy(buddy);
        if (buddy != nullptr) { // a screen reader names the box by its label
            buddy->setAccessibleName(control->text().chopped(1));
        }
    };
    auto milliseconds = [this, &place](int x, int y, const std::string& text) {
        auto* control = new QLineEdit(FromText(text), this);
        place(control, x, y, 44, 13);
        control->setPlaceholderText(FromText(std::string(AssByScriptText())));
        return control;
    };

    // Created in tab order.
    m_btnFont = button(49, 9, 108);
    m_spinSize = new QSpinBox(this);
    place(m_spinSize, 187, 9, 36, 13);
    m_spinSize->setRange(1, kAssMaxFontSize);
    m_spinSize->setValue(choices.size);
    m_btnSung = button(49, 27, 58);
    m_btnUnsung = button(163, 27, 60);
    m_comboRows = new QComboBox(this);
    place(m_comboRows, 49, 45, 58, 13);
    for (const std::string& entry : AssRowEntries()) {
        m_comboRows->addItem(FromText(entry));
    }
    m_comboRows->setCurrentIndex(choices.rows);
    m_checkTitle = new QCheckBox(QStringLiteral("片头（歌名与歌手）"), this);
    place(m_checkTitle, 117, 46, 106, 10);
    m_checkTitle->setChecked(choices.titleCard);
    m_editLead = milliseconds(49, 63, choices.lead);
    m_editLinger = milliseconds(163, 63, choices.linger);
    m_sample = new AssSample(choices, this);
    place(m_sample, 7, 83, 216, 38);
    QPushButton* ok = button(119, 128, 50);
    ok->setText(QStringLiteral("确定"));
    ok->setDefault(true);
    QPushButton* cancel = button(173, 128, 50);
    cancel->setText(QStringLiteral("取消"));
    label("字体：", 7, 12, 40, m_btnFont);
    label("字号：", 162, 12, 24, m_spinSize);
    label("已唱颜色：", 7, 30, 40, m_btnSung);
    label("未唱颜色：", 117, 30, 44, m_btnUnsung);
    label("行数：", 7, 47, 40, m_comboRows);
    label("提前显示：", 7, 65, 40, m_editLead);
    label("毫秒", 96, 65, 16, nullptr);
    label("延后消失：", 117, 65, 44, m_editLinger);
    label("毫秒", 210, 65, 16, nullptr);
    ShowPicks();

    connect(m_btnFont, &QPushButton::clicked, this, &AssOptionsDialog::PickFont);
    connect(m_btnSung, &QPushButton::clicked, this, [this] { PickColour(m_choices.sung); });
    connect(m_btnUnsung, &QPushButton::clicked, this, [this] { PickColour(m_choices.unsung); });
    connect(m_spinSize, &QSpinBox::valueChanged, this, [this](int size) {
        m_choices.size = size;
        ShowPicks();
    });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

AssChoices AssOptionsDialog::Choices() const {
    AssChoices choices = m_choices;
    choices.size = m_spinSize->value();
    choices.rows = m_comboRows->currentIndex();
    choices.lead = m_editLead->text().trimmed().toStdString();
    choices.linger = m_editLinger->text().trimmed().toStdString();
    choices.titleCard = m_checkTitle->isChecked();
    return choices;
}

void AssOptionsDialog::PickFont() {
    bool ok = false;
    const QFont font =
        QFontDialog::getFont(&ok, QFont(FromText(m_choices.font)), this, QStringLiteral("字体"));
    if (ok) {
        m_choices.font = font.family().toStdString();
        ShowPicks();
    }
}

void AssOptionsDialog::PickColour(std::uint32_t& colour) {
    const QColor picked = QColorDialog::getColor(ColourOf(colour), this);
    if (picked.isValid()) {
        colour = picked.rgb() & 0xFFFFFFU;
        ShowPicks();
    }
}

void AssOptionsDialog::ShowPicks() {
    m_btnFont->setText(FromText(m_choices.font));
    m_btnSung->setText(ColourText(m_choices.sung));
    m_btnUnsung->setText(ColourText(m_choices.unsung));
    m_sample->Show(m_choices);
}

bool EditAssOptions(QWidget* parent, AssChoices& choices) {
    AssOptionsDialog dialog(choices, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    choices = dialog.Choices();
    return true;
}

} // namespace tolvren
