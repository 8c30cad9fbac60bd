#include "QueryNumbers.h"

#include <QLocale>

#include <cfloat>
#include <cmath>

namespace querynumbers
{

std::optional<double> toNumber( const QString &text )
{
    const QString t = text.trimmed();
    if ( t.isEmpty() )
        return std::nullopt;
    bool plain = false;
    bool regional = false;
    const double plainValue = t.toDouble( &plain );
    const double regionalValue = QLocale().toDouble( t, &regional );
    if ( plain && regional && plainValue != regionalValue )
        return std::nullopt;
    const double v = plain ? plainValue : regionalValue;
    if ( !( plain || regional ) || !std::isfinite( v ) )
        return std::nullopt;
    return v;
}

std::optional<float> toSingle( double value )
{
    if ( !std::isfinite( value ) || std::fabs( value ) > static_cast<double>( FLT_MAX ) )
        return std::nullopt;
    return static_cast<float>( value );
}

QString numberText( double value, int significantDigits )
{
    QString s = QString::number( value, 'g', significantDigits );
    if ( !s.contains( QLatin1Char( 'e' ) ) )
        return s;
    // Very small or very large magnitudes: write the digits out in full.
    const int exponent = static_cast<int>( std::floor( std::log10( std::fabs( value ) ) ) );
    const int decimals = std::max( 0, significantDigits - 1 - exponent );
    s = QString::number( value, 'f', decimals );
    if ( s.contains( QLatin1Char( '.' ) ) )
    {
        while ( s.endsWith( QLatin1Char( '0' ) ) )
            s.chop( 1 );
        if ( s.endsWith( QLatin1Char( '.' ) ) )
            s.chop( 1 );
    }
    return s;
}

QString fixedText( double value, int decimals )
{
    // The user's regional settings, with grouping on even where the locale's own options leave it off (the C
    // locale's do), so an English or C setting reads 12,345.60.
    QLocale regional;
    regional.setNumberOptions( regional.numberOptions() & ~QLocale::OmitGroupSeparator );
    return regional.toString( value, 'f', decimals );
}

qint64 percentTenths( qint64 part, qint64 whole )
{
    if ( whole == 0 )
        return 0;
    // Tenths of a percent, rounded half away from zero, in integers: exact for any record count.
    const bool negative = ( part < 0 ) != ( whole < 0 );
    const qint64 p = part < 0 ? -part : part;
    const qint64 w = whole < 0 ? -whole : whole;
    const qint64 tenths = ( p * 2000 + w ) / ( 2 * w );
    return negative ? -tenths : tenths;
}

QString percentText( qint64 part, qint64 whole )
{
    return fixedText( static_cast<double>( percentTenths( part, whole ) ) / 10.0, 1 ) + QLatin1Char( '%' );
}

} // namespace querynumbers
