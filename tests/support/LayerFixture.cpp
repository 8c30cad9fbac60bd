#include "LayerFixture.h"

namespace testsupport
{

gis::LayerPtr LayerFixture::layer( const QStringList &wkts, const QString &name, const std::vector<double> &values,
                                   const QStringList &texts )
{
    const QString file = QStringLiteral( "l%1.shp" ).arg( mFile++ );
    std::vector<std::vector<QVariant>> rows;
    for ( int i = 0; i < wkts.size(); ++i )
    {
        const size_t n = static_cast<size_t>( i );
        rows.push_back( { n < values.size() ? QVariant( values[n] ) : QVariant( 0.0 ),
                          i < texts.size() ? QVariant( texts[i] ) : QVariant( QString() ) } );
    }
    writeShapefile( mDir.path(), file, wkts, { { "V", FieldSpec::Real, 12, 4 }, { "T", FieldSpec::String, 40 } }, rows,
                    kUtm );
    auto layer = std::make_shared<gis::Layer>( gis::Dataset::open( mDir.filePath( file ) ) );
    layer->name = name;
    return layer;
}

std::shared_ptr<gis::ClassBreaksRenderer> windDensityBreaks( const QString &field )
{
    auto r = std::make_shared<gis::ClassBreaksRenderer>();
    r->field = field;
    const double breaks[] = { 200, 300, 400, 500, 600, 800 };
    r->setBreakCount( 6 );
    for ( int i = 0; i < 6; ++i )
        r->setBreak( i, breaks[i] );
    return r;
}

} // namespace testsupport
