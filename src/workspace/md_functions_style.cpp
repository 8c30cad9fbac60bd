#include "md_functions.h"

#include "ClassTables.h"
#include "common/ErrorMessage.h"
#include "gis/GisError.h"
#include "gis/StringCollection.h"

#include <QFont>

#include <limits>

namespace
{
// The value-map renderer counts its values in 16 bits.
constexpr int kMaxValueMapValues = std::numeric_limits<qint16>::max();

QString trimBlanks( const QString &s )
{
    qsizetype first = 0;
    qsizetype last = s.size();
    while ( first < last && s.at( first ) == QLatin1Char( ' ' ) )
        ++first;
    while ( last > first && s.at( last - 1 ) == QLatin1Char( ' ' ) )
        --last;
    return s.mid( first, last - first );
}

void buildClassBreaksRenderer( gis::Layer &layer, const QString &fieldName, const ClassTable &table )
{
    auto renderer = std::make_shared<gis::ClassBreaksRenderer>();
    // Attached first: a failure part-way leaves the layer with what was set so far.
    layer.renderer = renderer;
    renderer->setBreakCount( table.breakCount() );
    renderer->field = fieldName;
    for ( int i = 0; i < table.breakCount(); ++i )
    {
        renderer->setBreak( i, table.rendererBreaks.at( i ) );
        renderer->symbol( i ).color = table.rendererColor( i );
    }
    renderer->symbol( table.breakCount() ).color = table.rendererColor( table.breakCount() );

    if ( isSolarField( fieldName ) )
        layer.visible = false;

    for ( int i = 0; i <= renderer->breakCount(); ++i )
        renderer->symbol( i ).outline = false;
}

void buildLandUseRenderer( gis::Layer &layer, const QString &fieldName )
{
    gis::Recordset records = layer.records();
    const auto &ds = records.dataset();
    const int field = ds ? ds->fieldIndex( fieldName ) : -1;
    if ( field < 0 )
        throw gis::GisError( "no field " + fieldName.toStdString() );

    gis::StringCollection texts;
    for ( records.moveFirst(); !records.eof(); records.moveNext() )
        texts.add( records.value( field ).toString() );

    if ( texts.count() > kMaxValueMapValues )
        throw gis::GisError( "too many land-use values" );

    auto renderer = std::make_shared<gis::ValueMapRenderer>();
    renderer->setValueCount( texts.count() );
    renderer->field = fieldName;
    for ( int i = 0; i < texts.count(); ++i )
    {
        renderer->setValue( i, texts.item( i ) );
        renderer->symbol( i ).outline = false;
        renderer->symbol( i ).color = landUseColor( trimBlanks( renderer->value( i ) ).toUpper() );
    }
    layer.renderer = renderer;
    layer.visible = false;
}
} // namespace

namespace md_functions
{

void SetLayerProperties( gis::Layer &layer, const QString &fileName, const QString &caption )
{
    try
    {
        const StandardLayerStyle *style = findStandardLayerStyle( fileName );
        if ( !style )
            return;

        if ( !style->rendererField.isEmpty() )
            LayerRenderer( layer, style->rendererField );

        gis::Symbol &symbol = layer.symbol;
        if ( style->color )
            symbol.color = *style->color;
        if ( style->style )
            symbol.style = *style->style;
        if ( style->outline )
            symbol.outline = *style->outline;
        if ( style->size )
            symbol.size = *style->size;
        if ( style->outlineColor )
            symbol.outlineColor = *style->outlineColor;

        if ( style->labels )
        {
            QFont font( kLabelFontName );
            font.setBold( true );
            font.setPointSize( kLabelFontSize );
            auto labels = std::make_shared<gis::LabelRenderer>();
            layer.renderer = labels;
            labels->symbol( 0 ).font = font;
            labels->field = QStringLiteral( "NAME" );
            labels->allowDuplicates = true;
        }

        layer.name = ( style->captionReplacesName && !caption.isEmpty() ) ? caption : style->legendName;
    }
    catch ( ... )
    {
        ErrorMessage( QStringLiteral( " Error Source:md_functions.SetLayerProperties()" ), 48 );
    }
}

void LayerRenderer( gis::Layer &layer, const QString &fieldName )
{
    try
    {
        if ( const ClassTable *table = classTableForField( fieldName ) )
            buildClassBreaksRenderer( layer, fieldName, *table );
        else if ( fieldName == QLatin1String( "LAND_USE" ) )
            buildLandUseRenderer( layer, fieldName );
    }
    catch ( ... )
    {
        ErrorMessage( QStringLiteral( " Error Source:md_functions.LayerRenderer()" ), 48 );
    }
}

void SetSymbolColorByValue( const QString &fieldName, double value, gis::Symbol *symbol )
{
    const ClassTable *table = classTableForField( fieldName );
    if ( !table )
        return;
    if ( !symbol )
    {
        ErrorMessage( QStringLiteral( " Error Source:md_functions.SetSymbolColorByValue()" ), 48 );
        return;
    }
    symbol->color = table->resultColor( table->resultClassOf( value ) );
}

} // namespace md_functions
