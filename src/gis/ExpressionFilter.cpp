#include "ExpressionFilter.h"

#include "Dataset.h"

#include <algorithm>
#include <cmath>

namespace gis
{
namespace expressionfilter
{

namespace
{

enum class Op { Less, LessEqual, Greater, GreaterEqual, Equal, NotEqual };

struct Comparison
{
    int field = -1;
    Op op = Op::Equal;
    double value = 0;
    //! An integer field compared with a whole number compares as integers, as OGR does.
    std::optional<qint64> wholeValue;
    //! Set when a text field is compared with a text.
    std::optional<QString> text;
};

//! A clause: one comparison, or all or any of its terms.
struct Clause
{
    enum class Kind { Compare, All, Any } kind = Kind::Compare;
    Comparison comparison;
    std::vector<Clause> terms;
};

struct Token
{
    enum class Kind { Name, Number, Text, Operator, Open, Close } kind;
    QString text;
};

//! Parentheses nested deeper than this are left to OGR.
constexpr int kDeepestNesting = 64;

template <class T>
bool compare( T x, Op op, T value )
{
    switch ( op )
    {
        case Op::Less:
            return x < value;
        case Op::LessEqual:
            return x <= value;
        case Op::Greater:
            return x > value;
        case Op::GreaterEqual:
            return x >= value;
        case Op::Equal:
            return x == value;
        case Op::NotEqual:
            return x != value;
    }
    return false;
}

//! Whether the attribute value \a v satisfies \a c; a null value never does, nor a non-numeric one a number.
bool holds( const QVariant &v, const Comparison &c )
{
    if ( c.text )
        return v.typeId() == QMetaType::QString && compare( *static_cast<const QString *>( v.constData() ), c.op, *c.text );
    switch ( v.typeId() )
    {
        case QMetaType::Double:
            return compare( *static_cast<const double *>( v.constData() ), c.op, c.value );
        case QMetaType::LongLong:
        {
            const qint64 x = *static_cast<const qlonglong *>( v.constData() );
            return c.wholeValue ? compare( x, c.op, *c.wholeValue ) : compare( static_cast<double>( x ), c.op, c.value );
        }
        default:
        {
            bool ok = false;
            const double x = v.isNull() ? 0.0 : v.toDouble( &ok );
            return ok && compare( x, c.op, c.value );
        }
    }
}

bool satisfies( const Dataset &ds, qint64 record, const Clause &clause )
{
    const auto term = [&]( const Clause &t ) { return satisfies( ds, record, t ); };
    switch ( clause.kind )
    {
        case Clause::Kind::Compare:
            return holds( ds.value( record, clause.comparison.field ), clause.comparison );
        case Clause::Kind::All:
            return std::all_of( clause.terms.begin(), clause.terms.end(), term );
        case Clause::Kind::Any:
            return std::any_of( clause.terms.begin(), clause.terms.end(), term );
    }
    return false;
}

std::optional<Op> opOf( const QString &text )
{
    if ( text == QLatin1String( "<" ) )
        return Op::Less;
    if ( text == QLatin1String( "<=" ) )
        return Op::LessEqual;
    if ( text == QLatin1String( ">" ) )
        return Op::Greater;
    if ( text == QLatin1String( ">=" ) )
        return Op::GreaterEqual;
    if ( text == QLatin1String( "=" ) )
        return Op::Equal;
    if ( text == QLatin1String( "<>" ) || text == QLatin1String( "!=" ) )
        return Op::NotEqual;
    return std::nullopt;
}

bool isNameStart( QChar c )
{
    return ( c >= QLatin1Char( 'A' ) && c <= QLatin1Char( 'Z' ) ) || ( c >= QLatin1Char( 'a' ) && c <= QLatin1Char( 'z' ) )
           || c == QLatin1Char( '_' );
}

//! The blanks OGR's reader skips between words.
bool isBlank( QChar c )
{
    return c == QLatin1Char( ' ' ) || c == QLatin1Char( '\t' ) || c == QLatin1Char( '\n' ) || c == QLatin1Char( '\r' );
}

bool isDigit( QChar c )
{
    return c >= QLatin1Char( '0' ) && c <= QLatin1Char( '9' );
}

/**
 * The words of \a where. A number is a plain decimal number (no exponent,
 * no grouping, a point as the separator, digits before it, no plus sign:
 * OGR refuses ".5" and "+5", so they are left to it); a text is quoted in
 * apostrophes, two of them standing for one inside.
 */
std::optional<std::vector<Token>> tokensOf( const QString &where )
{
    std::vector<Token> tokens;
    const qsizetype n = where.size();
    qsizetype i = 0;
    while ( i < n )
    {
        const QChar c = where.at( i );
        const qsizetype start = i;
        if ( isBlank( c ) )
        {
            ++i;
        }
        else if ( isNameStart( c ) )
        {
            while ( i < n && ( isNameStart( where.at( i ) ) || isDigit( where.at( i ) ) ) )
                ++i;
            tokens.push_back( { Token::Kind::Name, where.mid( start, i - start ) } );
        }
        else if ( isDigit( c ) || ( c == QLatin1Char( '-' ) && i + 1 < n && isDigit( where.at( i + 1 ) ) ) )
        {
            ++i;
            while ( i < n && isDigit( where.at( i ) ) )
                ++i;
            if ( i < n && where.at( i ) == QLatin1Char( '.' ) )
            {
                ++i;
                while ( i < n && isDigit( where.at( i ) ) )
                    ++i;
            }
            tokens.push_back( { Token::Kind::Number, where.mid( start, i - start ) } );
        }
        else if ( c == QLatin1Char( '\'' ) )
        {
            QString text;
            for ( ++i;; ++i )
            {
                if ( i >= n )
                    return std::nullopt; // not closed
                if ( where.at( i ) == QLatin1Char( '\'' ) )
                {
                    if ( i + 1 < n && where.at( i + 1 ) == QLatin1Char( '\'' ) )
                        ++i;
                    else
                        break;
                }
                text += where.at( i );
            }
            ++i;
            tokens.push_back( { Token::Kind::Text, text } );
        }
        else if ( c == QLatin1Char( '(' ) || c == QLatin1Char( ')' ) )
        {
            ++i;
            tokens.push_back( { c == QLatin1Char( '(' ) ? Token::Kind::Open : Token::Kind::Close, QString( c ) } );
        }
        else
        {
            for ( const char *op : { "<=", ">=", "<>", "!=", "<", ">", "=" } )
            {
                const QLatin1String text( op );
                if ( QStringView( where ).mid( i ).startsWith( text ) )
                {
                    i += text.size();
                    tokens.push_back( { Token::Kind::Operator, text } );
                    break;
                }
            }
            if ( i == start )
                return std::nullopt;
        }
    }
    return tokens;
}

//! Reads a clause from its words, top-down: any of all of terms; a term is a comparison or a clause in parentheses.
class Reader
{
  public:
    Reader( const Dataset &ds, std::vector<Token> tokens )
        : mDs( ds )
        , mTokens( std::move( tokens ) )
    {
    }

    //! The whole clause, or nothing when it is not one this evaluator reads.
    std::optional<Clause> clause()
    {
        std::optional<Clause> c = anyOf( 0 );
        if ( !c || mPos != mTokens.size() )
            return std::nullopt;
        return c;
    }

  private:
    bool atKeyword( const char *word ) const
    {
        return mPos < mTokens.size() && mTokens[mPos].kind == Token::Kind::Name
               && mTokens[mPos].text.compare( QLatin1String( word ), Qt::CaseInsensitive ) == 0;
    }

    bool at( Token::Kind kind ) const { return mPos < mTokens.size() && mTokens[mPos].kind == kind; }

    //! Terms read by \a next, joined by \a keyword, as one clause of \a kind (or the one term alone).
    template <class Next> std::optional<Clause> joined( const char *keyword, Clause::Kind kind, Next next )
    {
        Clause joint;
        joint.kind = kind;
        while ( true )
        {
            std::optional<Clause> term = next();
            if ( !term )
                return std::nullopt;
            joint.terms.push_back( std::move( *term ) );
            if ( !atKeyword( keyword ) )
                break;
            ++mPos;
        }
        if ( joint.terms.size() == 1 )
            return std::move( joint.terms.front() );
        return joint;
    }

    std::optional<Clause> anyOf( int depth )
    {
        return joined( "OR", Clause::Kind::Any, [&] { return allOf( depth ); } );
    }

    std::optional<Clause> allOf( int depth )
    {
        return joined( "AND", Clause::Kind::All, [&] { return term( depth ); } );
    }

    std::optional<Clause> term( int depth )
    {
        if ( at( Token::Kind::Open ) )
        {
            if ( depth >= kDeepestNesting )
                return std::nullopt;
            ++mPos;
            std::optional<Clause> inner = anyOf( depth + 1 );
            if ( !inner || !at( Token::Kind::Close ) )
                return std::nullopt;
            ++mPos;
            return inner;
        }
        std::optional<Comparison> c = comparison();
        if ( !c )
            return std::nullopt;
        Clause leaf;
        leaf.comparison = std::move( *c );
        return leaf;
    }

    //! "field op number" for a numeric field, "field = 'text'" or "field <> 'text'" for a text field.
    std::optional<Comparison> comparison()
    {
        if ( mPos + 3 > mTokens.size() || mTokens[mPos].kind != Token::Kind::Name
             || mTokens[mPos + 1].kind != Token::Kind::Operator )
            return std::nullopt;
        const Token &name = mTokens[mPos];
        const Token &value = mTokens[mPos + 2];
        Comparison c;
        c.field = mDs.fieldIndex( name.text );
        const std::optional<Op> op = opOf( mTokens[mPos + 1].text );
        if ( c.field < 0 || !op )
            return std::nullopt;
        c.op = *op;
        const int type = mDs.fieldType( c.field );
        if ( value.kind == Token::Kind::Text )
        {
            if ( type != FieldString || ( c.op != Op::Equal && c.op != Op::NotEqual ) )
                return std::nullopt;
            c.text = value.text;
        }
        else if ( value.kind == Token::Kind::Number )
        {
            if ( type != FieldInteger && type != FieldDouble )
                return std::nullopt;
            bool ok = false;
            c.value = value.text.toDouble( &ok );
            if ( !ok || !std::isfinite( c.value ) )
                return std::nullopt;
            if ( type == FieldInteger && !value.text.contains( QLatin1Char( '.' ) ) )
            {
                const qint64 whole = value.text.toLongLong( &ok );
                if ( ok )
                    c.wholeValue = whole;
            }
        }
        else
        {
            return std::nullopt;
        }
        mPos += 3;
        return c;
    }

    const Dataset &mDs;
    std::vector<Token> mTokens;
    size_t mPos = 0;
};

} // namespace

std::optional<std::vector<qint64>> evaluate( const Dataset &ds, const QString &where )
{
    std::optional<std::vector<Token>> tokens = tokensOf( where );
    if ( !tokens )
        return std::nullopt;
    const std::optional<Clause> clause = Reader( ds, std::move( *tokens ) ).clause();
    if ( !clause )
        return std::nullopt;

    std::vector<qint64> found;
    const qint64 n = ds.recordCount();
    for ( qint64 r = 0; r < n; ++r )
    {
        if ( satisfies( ds, r, *clause ) )
            found.push_back( r );
    }
    return found;
}

} // namespace expressionfilter
} // namespace gis
