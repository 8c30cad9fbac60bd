#pragma once

#include "Symbol.h"

#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

namespace gis
{

/**
 * Base of the three renderers a layer can carry. A layer without renderer
 * draws every feature with its own symbol.
 */
class Renderer
{
  public:
    enum class Kind { ClassBreaks, ValueMap, Label };
    virtual ~Renderer() = default;
    virtual Kind kind() const = 0;
};

/**
 * Class breaks on a numeric field. breakCount() breaks and breakCount()+1
 * symbols: symbol(i) draws the values up to and including break(i), the last
 * symbol draws the values above the last break.
 *
 * Rule for a value equal to a break: it belongs to the class BELOW the
 * break (value <= break(i) takes symbol(i)). classOf() is the one place that
 * decides it.
 */
class ClassBreaksRenderer : public Renderer
{
  public:
    Kind kind() const override { return Kind::ClassBreaks; }

    QString field;

    int breakCount() const { return static_cast<int>( mBreaks.size() ); }
    //! Resizes the breaks to \a n and the symbols to n + 1, keeping what is set.
    void setBreakCount( int n );
    double breakValue( int i ) const { return mBreaks.at( i ); }
    void setBreak( int i, double value ) { mBreaks.at( i ) = value; }
    Symbol &symbol( int i ) { return mSymbols.at( i ); }
    const Symbol &symbol( int i ) const { return mSymbols.at( i ); }

    //! Index of the symbol that draws \a value (0..breakCount()).
    int classOf( double value ) const;

  private:
    std::vector<double> mBreaks;
    std::vector<Symbol> mSymbols { Symbol() };
};

/**
 * One symbol per distinct text value of a field. Values compare exactly;
 * features whose value is not listed are drawn with the layer's symbol.
 */
class ValueMapRenderer : public Renderer
{
  public:
    Kind kind() const override { return Kind::ValueMap; }

    QString field;

    int valueCount() const { return static_cast<int>( mValues.size() ); }
    void setValueCount( int n );
    const QString &value( int i ) const { return mValues.at( i ); }
    void setValue( int i, const QString &v ) { mValues.at( i ) = v; }
    Symbol &symbol( int i ) { return mSymbols.at( i ); }
    const Symbol &symbol( int i ) const { return mSymbols.at( i ); }

    //! Index of \a text among the values, or -1.
    int indexOf( const QString &text ) const;

  private:
    std::vector<QString> mValues;
    std::vector<Symbol> mSymbols;
};

/**
 * Labels every feature with the text of a field, drawn with symbol(0)'s font
 * and colour at the feature's label point. The features themselves are drawn
 * with the layer's symbol.
 */
class LabelRenderer : public Renderer
{
  public:
    Kind kind() const override { return Kind::Label; }

    QString field;
    bool allowDuplicates = false;
    Symbol &symbol( int i ) { return mSymbols.at( i ); }
    const Symbol &symbol( int i ) const { return mSymbols.at( i ); }

  private:
    std::vector<Symbol> mSymbols { Symbol() };
};

} // namespace gis
