#include "scalebar/ScaleBarControl.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>

namespace
{
const QColor kAlternate( 192, 192, 255 );

/**
 * A 400-pixel control for a map 500 pixels wide showing \a left to \a right
 * (at latitude \a latitude for degrees), set up as the print window does it.
 */
void setUp( ScaleBarControl &bar, int units, double left, double right, double latitude = 0, bool unitLabel = true )
{
    bar.resize( 400, 50 );
    bar.setMapExtent( left, latitude - 1, right, latitude + 1 );
    bar.setScreenRect( 100, 50, 600, 350 );
    QFont font( QStringLiteral( "Arial Narrow" ) );
    font.setPointSizeF( 8 );
    bar.setup( unitLabel, Qt::white, QColor( 128, 128, 128 ), kAlternate, 3, font, units, 0.6f, 3 );
    bar.refreshScaleBar();
}
} // namespace

class TestScaleBar : public QObject
{
    Q_OBJECT

  private slots:
    void roundSegments_data()
    {
        // The bar may take 240 of the control's 400 pixels, in three segments.
        QTest::addColumn<int>( "units" );
        QTest::addColumn<double>( "width" ); // of the extent, in map units
        QTest::addColumn<double>( "latitude" );
        QTest::addColumn<double>( "segment" );
        QTest::addColumn<QString>( "unit" );
        QTest::addColumn<QStringList>( "labels" );
        QTest::addColumn<double>( "barPixels" );
        // 200 m a pixel: 48 km may be shown, 16 km a segment, rounded down to 10.
        QTest::newRow( "metres, km" ) << 2 << 100000.0 << 0.0 << 10.0 << "km" << QStringList { "0", "10", "20", "30 km" }
                                      << 150.0;
        QTest::newRow( "metres, m" ) << 2 << 1000.0 << 0.0 << 100.0 << "m" << QStringList { "0", "100", "200", "300 m" }
                                     << 150.0;
        // Exactly 2 km a segment stays 2, not 1.
        QTest::newRow( "metres, exactly 2" ) << 2 << 12500.0 << 0.0 << 2.0 << "km" << QStringList { "0", "2", "4", "6 km" }
                                             << 240.0;
        QTest::newRow( "metres, 4.8 rounds to 2" ) << 2 << 30000.0 << 0.0 << 2.0 << "km"
                                                  << QStringList { "0", "2", "4", "6 km" } << 100.0;
        QTest::newRow( "metres, 5" ) << 2 << 37500.0 << 0.0 << 5.0 << "km" << QStringList { "0", "5", "10", "15 km" }
                                     << 200.0;
        QTest::newRow( "fractions" ) << 2 << 1.0 << 0.0 << 0.1 << "m" << QStringList { "0", "0.1", "0.2", "0.3 m" }
                                     << 150.0;
        // 200 ft a pixel: 16000 ft a segment, about 3 miles, rounded down to 2.
        QTest::newRow( "feet, miles" ) << 1 << 100000.0 << 0.0 << 2.0 << "mi" << QStringList { "0", "2", "4", "6 mi" }
                                       << 158.4;
        QTest::newRow( "feet, feet" ) << 1 << 5000.0 << 0.0 << 500.0 << "ft" << QStringList { "0", "500", "1000", "1500 ft" }
                                      << 150.0;
        // One degree at the equator is 111.3 km; at 60 degrees half of that.
        QTest::newRow( "degrees, equator" ) << 0 << 1.0 << 0.0 << 10.0 << "km" << QStringList { "0", "10", "20", "30 km" }
                                            << 500 * 30000 / 111319.49;
        QTest::newRow( "degrees, 60 north" ) << 0 << 1.0 << 60.0 << 5.0 << "km" << QStringList { "0", "5", "10", "15 km" }
                                             << 500 * 15000 / ( 111319.49 * 0.5 );
    }

    void roundSegments()
    {
        QFETCH( int, units );
        QFETCH( double, width );
        QFETCH( double, latitude );
        QFETCH( double, segment );
        QFETCH( QString, unit );
        QFETCH( QStringList, labels );
        QFETCH( double, barPixels );
        ScaleBarControl bar;
        setUp( bar, units, 5000, 5000 + width, latitude );
        QCOMPARE( bar.segmentCount(), 3 );
        QVERIFY2( std::fabs( bar.segmentLength() - segment ) < 1e-9 * segment, qPrintable( QString::number( bar.segmentLength() ) ) );
        QCOMPARE( bar.unitName(), unit );
        QCOMPARE( bar.labels(), labels );
        QVERIFY2( std::fabs( bar.barLengthPixels() - barPixels ) < 1e-6, qPrintable( QString::number( bar.barLengthPixels() ) ) );
        QVERIFY( bar.barLengthPixels() <= 240 + 1e-9 );

        // Without the unit label the last label is the bare number.
        setUp( bar, units, 5000, 5000 + width, latitude, false );
        labels.last().chop( unit.size() + 1 );
        QCOMPARE( bar.labels(), labels );
    }

    void measuresAnotherLinearUnitInMetres_data()
    {
        QTest::addColumn<double>( "metresPerUnit" );
        QTest::addColumn<double>( "width" ); // of the extent, in map units
        // All show 100 km across the map: 200 m a pixel, as "metres, km" does.
        QTest::newRow( "foot" ) << 0.3048 << 100000 / 0.3048;
        QTest::newRow( "US survey foot" ) << 1200.0 / 3937.0 << 100000 / ( 1200.0 / 3937.0 );
        QTest::newRow( "kilometre" ) << 1000.0 << 100.0;
        QTest::newRow( "no length counts as the metre" ) << 0.0 << 100000.0;
    }

    void measuresAnotherLinearUnitInMetres()
    {
        QFETCH( double, metresPerUnit );
        QFETCH( double, width );
        ScaleBarControl bar;
        bar.setMetresPerMapUnit( metresPerUnit );
        setUp( bar, ScaleBarControl::Metres, 5000, 5000 + width );
        QCOMPARE( bar.unitName(), QStringLiteral( "km" ) );
        QCOMPARE( bar.labels(), ( QStringList { "0", "10", "20", "30 km" } ) );
        QVERIFY2( std::fabs( bar.barLengthPixels() - 150 ) < 1e-6, qPrintable( QString::number( bar.barLengthPixels() ) ) );
    }

    void nothingToShow_data()
    {
        QTest::addColumn<double>( "left" );
        QTest::addColumn<double>( "right" );
        QTest::addColumn<double>( "screenRight" );
        QTest::addColumn<bool>( "setUp" );
        QTest::newRow( "before the setup" ) << 0.0 << 1000.0 << 600.0 << false;
        QTest::newRow( "empty extent" ) << 10.0 << 10.0 << 600.0 << true;
        QTest::newRow( "no screen width" ) << 0.0 << 1000.0 << 100.0 << true;
        QTest::newRow( "not a number" ) << 0.0 << std::nan( "" ) << 600.0 << true;
    }

    void nothingToShow()
    {
        QFETCH( double, left );
        QFETCH( double, right );
        QFETCH( double, screenRight );
        QFETCH( bool, setUp );
        ScaleBarControl bar;
        bar.resize( 400, 50 );
        bar.setMapExtent( left, 0, right, 10 );
        bar.setScreenRect( 100, 50, screenRight, 350 );
        if ( setUp )
            bar.setup( true, Qt::white, Qt::gray, kAlternate, 3, QFont(), 2, 0.6f, 3 );
        bar.refreshScaleBar();
        QCOMPARE( bar.segmentCount(), 0 );
        QVERIFY( bar.labels().isEmpty() );
        // Only the background is painted.
        QImage image( 400, 50, QImage::Format_RGB32 );
        image.fill( Qt::black );
        QPainter painter( &image );
        bar.paint( painter, QRectF( 0, 0, 400, 50 ) );
        painter.end();
        QImage white( 400, 50, QImage::Format_RGB32 );
        white.fill( Qt::white );
        QCOMPARE( image, white );
    }

    void paintsTheSamePictureAtAnySize_data()
    {
        QTest::addColumn<double>( "scale" );
        QTest::newRow( "as on the screen" ) << 1.0;
        QTest::newRow( "four times" ) << 4.0;
    }

    void paintsTheSamePictureAtAnySize()
    {
        QFETCH( double, scale );
        ScaleBarControl bar;
        setUp( bar, 2, 0, 100000 ); // 150 pixels of bar, centred: 125 to 275
        QImage image( QSize( 400, 50 ) * scale, QImage::Format_RGB32 );
        image.fill( Qt::black );
        QPainter painter( &image );
        bar.paint( painter, QRectF( QPointF(), QSizeF( image.size() ) ) );
        painter.end();

        // At the bottom: the first and last segments in the alternate colour, the middle one white;
        // outside the bar and above the labels the background.
        const QColor white( Qt::white );
        for ( const auto &[x, y, color] : { std::tuple { 150, 46, kAlternate }, std::tuple { 200, 46, white },
                                            std::tuple { 250, 46, kAlternate }, std::tuple { 100, 46, white },
                                            std::tuple { 300, 46, white }, std::tuple { 200, 5, white } } )
            QCOMPARE( image.pixelColor( static_cast<int>( x * scale ), static_cast<int>( y * scale ) ), color );
        // Label ink lies between the top and the bar.
        bool ink = false;
        for ( int x = 0; x < image.width() && !ink; ++x )
            for ( int yy = static_cast<int>( 20 * scale ); yy < static_cast<int>( 40 * scale ) && !ink; ++yy )
                ink = image.pixelColor( x, yy ).red() < 200;
        QVERIFY( ink );
    }
};

QTEST_MAIN( TestScaleBar )
#include "tst_scalebar.moc"
