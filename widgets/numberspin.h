#pragma once

#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QStyleOptionSpinBox>

#include <functional>
#include <type_traits>

// What the two number editors share about typed text. A value may be typed with "." or "," as its
// decimal separator whatever the locale, and beyond the limits: it is limited when the editor
// commits, and the user is told which limit was applied. Group separators are never taken, so
// "2,5" cannot become 25.
namespace NumberInput
{

// The number a text stands for: an optional sign, digits, and with decimals > 0 one separator
// followed by at most that many digits. False when the text is no such number (yet).
bool parse(const QString& text, int decimals, double* value);

// Either separator becomes the locale's, so the field shows the number as it will be understood.
// Returns the validator's verdict: Acceptable within [min, max], Intermediate while the text can
// still become a number or lies beyond a limit, Invalid for anything else.
QValidator::State validate(QString& text, int decimals, double min, double max, const QLocale& locale);

// The value a typed text stands for, limited to [min, max]; current when the text is no number.
double valueOf(const QString& text, int decimals, double min, double max, double current);

// Replaces a typed number beyond the limits by the limit it goes beyond, written by format. Returns
// what the user is told about it, or nothing when the text was left alone.
QString limit(QString& text, int decimals, double min, double max, const std::function<QString(double)>& format);

// A spin box wide enough for the widest of texts and its arrows, and no wider: in a wide cell the
// arrows stay next to the number.
QSize spinBoxSize(const QAbstractSpinBox* spin, const QStyleOptionSpinBox& option, const QStringList& texts);

} // namespace NumberInput

// The typing rules above on QSpinBox or QDoubleSpinBox, and what the commit needs to know: whether
// the user changed the value at all, and which limit replaced a typed number.
template <class Spin>
class NumberSpin : public Spin
{
    static_assert(std::is_same_v<Spin, QSpinBox> || std::is_same_v<Spin, QDoubleSpinBox>);
    using Value = decltype(std::declval<Spin>().value());

public:
    explicit NumberSpin(QWidget* parent) : Spin(parent)
    {
        QObject::connect(Spin::lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
            m_bChangedByUser = NumberInput::parse(text, decimalCount(), nullptr);
            m_bBlank = false;
            m_sLimitNote.clear();
        });
    }

    // The user typed a number or stepped the value since the editor was filled.
    bool changedByUser() const { return m_bChangedByUser; }
    // Why the value differs from the typed one; empty when no limit was applied.
    QString limitNote() const { return m_sLimitNote; }
    // Shows `text` in place of the value until the user types or steps: an empty field where the value
    // has no single number to show, the file's own text where the box cannot hold the number.
    void showText(const QString& text)
    {
        m_bBlank = true;
        m_sShown = text;
        Spin::lineEdit()->setText(text);
    }

    QValidator::State validate(QString& text, int& pos) const override
    {
        Q_UNUSED(pos);
        return NumberInput::validate(text, decimalCount(), Spin::minimum(), Spin::maximum(), Spin::locale());
    }

    void fixup(QString& text) const override
    {
        const QString note =
            NumberInput::limit(text, decimalCount(), Spin::minimum(), Spin::maximum(),
                               [this](double limit) { return this->textFromValue(static_cast<Value>(limit)); });
        if (!note.isEmpty())
            m_sLimitNote = note;
    }

    Value valueFromText(const QString& text) const override
    {
        return static_cast<Value>(
            NumberInput::valueOf(text, decimalCount(), Spin::minimum(), Spin::maximum(), Spin::value()));
    }

    QSize sizeHint() const override
    {
        QStyleOptionSpinBox option;
        Spin::initStyleOption(&option);
        return NumberInput::spinBoxSize(this, option,
                                        {this->textFromValue(Spin::minimum()), this->textFromValue(Spin::maximum()),
                                         Spin::text() + QLatin1Char('0')});
    }

protected:
    void stepBy(int steps) override
    {
        Spin::stepBy(steps);
        m_bChangedByUser = true;
        m_bBlank = false;
        m_sLimitNote.clear();
    }

    // Showing puts the value's text back into the field.
    void showEvent(QShowEvent* event) override
    {
        Spin::showEvent(event);
        if (m_bBlank)
            Spin::lineEdit()->setText(m_sShown);
    }

private:
    int decimalCount() const
    {
        if constexpr (std::is_same_v<Spin, QDoubleSpinBox>)
            return Spin::decimals();
        else
            return 0;
    }

    bool m_bChangedByUser = false;
    bool m_bBlank = false;
    QString m_sShown;             // what the field shows in place of the value while m_bBlank
    mutable QString m_sLimitNote; // set while the typed text is fixed up
};
