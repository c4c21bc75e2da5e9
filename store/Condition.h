#pragma once

#include <QString>
#include <QVariant>
#include <vector>

namespace qb {

class Statement;

// A condition on the rows of a table, kept as the program built it:
// comparisons of a field with a value, and the words that join them
// ("  and (", " or ", ")"). It has two forms. text() is the condition as the
// record set's statement reports it, each value written into it
// (vorndata::condition). The engine gets engineText(), in which each value
// is a parameter that bind() fills in, so no value is ever read back out of
// the text: a quote, a zero character or an "=" inside a value is just part
// of the value.
//
// A condition made of words alone (fromText) goes to the engine as it stands.
class Condition
{
public:
    enum class Compare {
        SameText, // jet::sameText(): blanks and control characters at the ends and letter case do not count
        Like,     // the program's LIKE (JetLike.h); the value is the pattern
        Less,
        LessOrEqual,
        Equal,
        Greater,
        GreaterOrEqual,
    };

    Condition() = default;
    // A condition given as text: it is its own engine form.
    static Condition fromText(const QString& text);
    // One comparison of `field` with `value` (a text, a whole number, a real
    // number, or Null, which no row matches), which the statement shows as `shown`.
    static Condition comparison(const QString& field, Compare compare, const QVariant& value,
                                const QString& shown);

    Condition& operator+=(const QString& words);
    Condition& operator+=(const Condition& other);

    const QString& text() const { return m_text; }
    bool isBlank() const { return m_text.trimmed().isEmpty(); }

    // The form for the engine, its parameters numbered from `firstParameter`.
    QString engineText(int firstParameter = 1) const;
    int parameterCount() const;
    // Binds the values to the parameters of engineText(firstParameter).
    void bind(Statement& statement, int firstParameter = 1) const;

private:
    struct Piece
    {
        QString words; // when `field` is empty: text that both forms share
        QString field;
        Compare compare = Compare::Equal;
        QVariant value;
    };
    QString m_text;
    std::vector<Piece> m_pieces;
};

} // namespace qb
