#pragma once

#include <QString>

#include <optional>

/**
 * Number texts of the query module. Numbers are written with a decimal point
 * and without grouping whatever the user's locale, so a selection expression
 * means the same on every machine and the value lists read the same
 * everywhere. Only reading a typed number also accepts the user's regional
 * format.
 */
namespace querynumbers
{
/**
 * The number a typed text stands for (blanks at both ends ignored), or
 * nothing when it is not a finite number. Read with a decimal point first,
 * as the value lists write numbers ("2.5", "1000"); failing that, in the
 * regional format of the default locale (the system's unless the program
 * set another), with its decimal sign and correctly placed digit grouping:
 * "1,000" and "1,000.5" in an English locale, "2,5" and "1.000,5" in a German
 * one. A text that is neither ("2,5" in an English locale) is no number, and
 * so is one that the two readings take for different numbers ("1.000" in a
 * German locale: one or a thousand).
 */
std::optional<double> toNumber( const QString &text );

//! \a value as a single-precision number, or nothing when it lies beyond the single-precision range.
std::optional<float> toSingle( double value );

/**
 * Shortest plain decimal text of \a value with at most \a significantDigits
 * significant digits and never an exponent: 500, 2.5, 199.5.
 * Pass 15 for a double and 7 for a single-precision value.
 */
QString numberText( double value, int significantDigits = 15 );

//! Text of a single-precision value as the user typed it: 3.3f gives "3.3", not 3.29999995231628.
inline QString singleText( float value ) { return numberText( static_cast<double>( value ), 7 ); }

//! \a value with exactly \a decimals decimals in the user's regional format, grouped: 12,345.60 in English.
QString fixedText( double value, int decimals );

//! Share \a part of \a whole in tenths of a percent, rounded half away from zero (3 of 8: 375). A zero whole gives 0.
qint64 percentTenths( qint64 part, qint64 whole );
//! Share \a part of \a whole in percent with one decimal and a trailing "%": 37.5%. A zero whole gives 0.0%.
QString percentText( qint64 part, qint64 whole );
} // namespace querynumbers
