#include "ExpressionFilter.h"

#include "Dataset.h"

#include <QRegularExpression>

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
};

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

//! Whether the attribute value \a v satisfies \a c; a null or non-numeric value never does.
bool holds( const QVariant &v, const Comparison &c )
{
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

/**
 * "field op number": a plain identifier, a comparison and a plain decimal
 * number (no exponent, no grouping, a point as the separator, digits before
 * it, no plus sign: OGR refuses ".5" and "+5", so they are left to it).
 */
std::optional<Comparison> comparisonOf( const Dataset &ds, const QString &text )
{
    static const QRegularExpression pattern( QStringLiteral(
        R"(^\s*([A-Za-z_][A-Za-z0-9_]*)\s*(<=|>=|<>|!=|<|>|=)\s*(-?\d+(?:\.\d*)?)\s*$)" ) );
    const QRegularExpressionMatch m = pattern.match( text );
    if ( !m.hasMatch() )
        return std::nullopt;
    Comparison c;
    c.field = ds.fieldIndex( m.captured( 1 ) );
    if ( c.field < 0 )
        return std::nullopt;
    const int type = ds.fieldType( c.field );
    if ( type != FieldInteger && type != FieldDouble )
        return std::nullopt;
    const std::optional<Op> op = opOf( m.captured( 2 ) );
    bool ok = false;
    c.value = m.captured( 3 ).toDouble( &ok );
    if ( !op || !ok || !std::isfinite( c.value ) )
        return std::nullopt;
    c.op = *op;
    if ( type == FieldInteger && !m.captured( 3 ).contains( QLatin1Char( '.' ) ) )
    {
        const qint64 whole = m.captured( 3 ).toLongLong( &ok );
        if ( ok )
            c.wholeValue = whole;
    }
    return c;
}

} // namespace

std::optional<std::vector<qint64>> evaluate( const Dataset &ds, const QString &where )
{
    // At most one AND, and no other keyword: anything richer is OGR's.
    static const QRegularExpression andWord( QStringLiteral( R"(\s+AND\s+)" ),
                                             QRegularExpression::CaseInsensitiveOption );
    const QStringList parts = where.split( andWord );
    if ( parts.isEmpty() || parts.size() > 2 )
        return std::nullopt;
    std::vector<Comparison> comparisons;
    for ( const QString &part : parts )
    {
        const std::optional<Comparison> c = comparisonOf( ds, part );
        if ( !c )
            return std::nullopt;
        comparisons.push_back( *c );
    }

    std::vector<qint64> found;
    const qint64 n = ds.recordCount();
    for ( qint64 r = 0; r < n; ++r )
    {
        bool match = true;
        for ( const Comparison &c : comparisons )
        {
            if ( !holds( ds.value( r, c.field ), c ) )
            {
                match = false;
                break;
            }
        }
        if ( match )
            found.push_back( r );
    }
    return found;
}

} // namespace expressionfilter
} // namespace gis
