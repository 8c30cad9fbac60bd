#include "QueryFixture.h"

#include "gis/GisError.h"
#include "gis/ShapefileSet.h"
#include "mainwindow/frmMain.h"
#include "queries/md_query_functions2.h"
#include "queries/md_query_save.h"

#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTest>

#include <cmath>
#include <map>

namespace q = md_query_functions2;
using testsupport::RecordingDialogs;

namespace
{
const QString kSaveError = " Error Source:md_query_functions2.SaveTrackingLayer()";

//! A shapefile as OGR reads it back.
struct SavedFile
{
    qint64 count = -1;
    QString fieldName;
    int fieldCount = 0;
    OGRFieldType fieldType = OFTString;
    int width = 0;
    int precision = 0;
    std::vector<double> values;
    std::vector<double> areas;
    bool sameSrs = false;
};

SavedFile readBack( const QString &path )
{
    SavedFile out;
    GDALDatasetUniquePtr ds( GDALDataset::Open( QFile::encodeName( path ).constData(), GDAL_OF_VECTOR | GDAL_OF_READONLY ) );
    if ( !ds )
        return out;
    OGRLayer *layer = ds->GetLayer( 0 );
    out.count = layer->GetFeatureCount();
    out.fieldCount = layer->GetLayerDefn()->GetFieldCount();
    if ( const OGRFieldDefn *field = layer->GetLayerDefn()->GetFieldDefn( 0 ) )
    {
        out.fieldName = QString::fromUtf8( field->GetNameRef() );
        out.fieldType = field->GetType();
        out.width = field->GetWidth();
        out.precision = field->GetPrecision();
    }
    OGRSpatialReference expected;
    expected.SetFromUserInput( testsupport::kUtm.toUtf8().constData() );
    out.sameSrs = layer->GetSpatialRef() && layer->GetSpatialRef()->IsSame( &expected );
    for ( auto &f : *layer )
    {
        out.values.push_back( f->GetFieldAsDouble( 0 ) );
        out.areas.push_back( f->GetGeometryRef() ? OGR_G_Area( OGRGeometry::ToHandle( f->GetGeometryRef() ) ) : -1 );
    }
    return out;
}

QStringList filesIn( const QString &dir )
{
    return QDir( dir ).entryList( QDir::Files | QDir::Hidden | QDir::System, QDir::Name );
}

//! The files a saved set consists of, in the order filesIn() lists them.
QStringList shapefileParts( const QString &name )
{
    return { name + ".dbf", name + ".prj", name + ".shp", name + ".shx" };
}
} // namespace

class TestSaveResults : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void askedAndSaved_data();
    void askedAndSaved();
    void savedFileHoldsTheResults();
    void sameResultsUnderTwoNames();
    void folderNamedLikeTheFile_data();
    void folderNamedLikeTheFile();
    void failuresAreReported_data();
    void failuresAreReported();
    void failureHalfWayKeepsTheEarlierFile();
    void overwriteLeavesOnlyTheNewSet_data();
    void overwriteLeavesOnlyTheNewSet();
    void otherExtensionNeverReplacesUnasked();
    void setOfOtherLetterCaseStays_data();
    void setOfOtherLetterCaseStays();

  private:
    //! A run of \a n results over a wind layer in UTM: squares of growing size, values 100.5, 101.5, ...
    void makeResults( int n, double firstValue = 100.5 );
    QString path( const QString &file ) const { return mDir.filePath( file ); }

    std::unique_ptr<QueryFixture> mFixture;
    gis::LayerPtr mWind;
    std::unique_ptr<RecordingDialogs> mDialogs;
    QTemporaryDir mDir;
};

void TestSaveResults::init()
{
    mFixture = std::make_unique<QueryFixture>();
    mDialogs = std::make_unique<RecordingDialogs>();
    QVERIFY( mDir.isValid() );
    q::cResults.reset();
    Constants::sValueField.clear();
}

void TestSaveResults::cleanup()
{
    gis::shapefileset::setRecordWrittenHook( nullptr );
    for ( const QString &f : filesIn( mDir.path() ) )
        QFile::remove( path( f ) );
    q::cResults.reset();
    mDialogs.reset();
    mWind.reset();
    mFixture.reset();
}

void TestSaveResults::makeResults( int n, double firstValue )
{
    if ( !mWind )
        mWind = mFixture->addWind( { 500.0 } );
    q::cResults.start( "Wind by Power Density", QString() );
    q::cResults.run().classLayer = mWind;
    q::SetValueField( "WINDPWRD" );
    for ( int i = 0; i < n; ++i )
    {
        // Every fifth result is a polygon with a hole, every seventh one of two parts.
        const double x = 3000.0 * i;
        const double side = 100.0 + 10 * i;
        QString wkt = QueryFixture::square( x, 0, side );
        if ( i % 5 == 4 )
            wkt = QStringLiteral( "POLYGON ((%1 0, %2 0, %2 %3, %1 %3, %1 0), (%4 10, %4 20, %5 20, %5 10, %4 10))" )
                      .arg( x ).arg( x + side ).arg( side ).arg( x + 10 ).arg( x + 20 );
        else if ( i % 7 == 6 )
            wkt = QStringLiteral( "MULTIPOLYGON (((%1 0, %2 0, %2 50, %1 50, %1 0)), ((%1 100, %2 100, %2 170, %1 170, %1 100)))" )
                      .arg( x ).arg( x + side );
        QVERIFY( q::AddResult( std::make_shared<gis::Geometry>( gis::Geometry::fromWkt( wkt.toStdString() ) ),
                               "WINDPWRD", firstValue + i ) );
    }
}

void TestSaveResults::askedAndSaved_data()
{
    QTest::addColumn<int>( "count" ); // -1: no query has run
    QTest::addColumn<QList<bool>>( "answers" );
    QTest::addColumn<bool>( "chosen" ); // a file is chosen in the Save dialog, else it is cancelled
    QTest::addColumn<bool>( "dialog" ); // the Save dialog is shown

    QTest::newRow( "50 saved without a question" ) << 50 << QList<bool>() << true << true;
    QTest::newRow( "51 asked, Yes saves" ) << 51 << QList<bool> { true } << true << true;
    QTest::newRow( "51 asked, No leaves no file" ) << 51 << QList<bool> { false } << true << false;
    QTest::newRow( "no query run" ) << -1 << QList<bool>() << true << false;
    QTest::newRow( "query without results" ) << 0 << QList<bool>() << true << false;
    QTest::newRow( "cancel in the Save dialog" ) << 3 << QList<bool>() << false << true;
}

void TestSaveResults::askedAndSaved()
{
    QFETCH( int, count );
    QFETCH( QList<bool>, answers );
    QFETCH( bool, chosen );
    QFETCH( bool, dialog );

    if ( count >= 0 )
        makeResults( count );
    mDialogs->yesNoAnswers.assign( answers.begin(), answers.end() );
    if ( chosen )
        mDialogs->fileAnswers = { path( "result.shp" ) };
    q::SaveTrackingLayer();

    // Only the question above fifty is asked: the user's own choices end silently.
    QCOMPARE( mDialogs->texts(), count > 50 ? QStringList { "It may take few minutes to save 51 features. Do you want to continue? " }
                                            : QStringList() );
    for ( const RecordingDialogs::Shown &s : mDialogs->shown )
    {
        QVERIFY( s.question );
        QCOMPARE( s.title, "QUELM3" );
        QCOMPARE( s.icon, Dialogs::Icon::None );
    }
    QCOMPARE( mDialogs->fileRequests.size(), size_t( dialog ? 1 : 0 ) );
    const bool saved = dialog && chosen;
    QCOMPARE( readBack( path( "result.shp" ) ).count, saved ? qint64( count ) : qint64( -1 ) );
    if ( !saved )
        QVERIFY( filesIn( mDir.path() ).isEmpty() );
}

void TestSaveResults::savedFileHoldsTheResults()
{
    frmMain *main = frmMain::instance(); // (its loading starts without a value field)
    makeResults( 12 );
    mDialogs->fileAnswers = { path( "result.shp" ) };
    QVERIFY( main->mnuSave->isEnabled() );
    main->mnuSave->trigger();
    QVERIFY( mDialogs->shown.empty() );

    QCOMPARE( mDialogs->fileRequests.size(), size_t( 1 ) );
    const Dialogs::FileRequest &r = mDialogs->fileRequests.front();
    QCOMPARE( r.title, "Save Layer" );
    QCOMPARE( r.filter, "ESRI Shapefiles (*.shp)|*.shp" );
    QCOMPARE( r.defaultExt, ".shp" );
    QVERIFY( r.overwritePrompt );

    const SavedFile saved = readBack( path( "result.shp" ) );
    QCOMPARE( saved.count, qint64( 12 ) );
    QCOMPARE( saved.fieldCount, 1 );
    QCOMPARE( saved.fieldName, "WINDPWRD" );
    QCOMPARE( saved.fieldType, OFTReal );
    QCOMPARE( saved.width, 15 );
    QCOMPARE( saved.precision, 1 );
    QVERIFY( saved.sameSrs );
    for ( qint64 i = 0; i < 12; ++i )
    {
        const size_t k = static_cast<size_t>( i );
        QCOMPARE( saved.values[k], q::cResults.value( i ).toDouble() );
        const double expected = q::cResults.shape( i ).area();
        QVERIFY2( std::fabs( saved.areas[k] - expected ) <= 1e-9 * expected,
                  qPrintable( QStringLiteral( "record %1: %2 != %3" ).arg( i ).arg( saved.areas[k] ).arg( expected ) ) );
    }
    // Nothing but the file set: no temporary files left behind, no other name.
    for ( const QString &f : filesIn( mDir.path() ) )
        QVERIFY2( f.startsWith( QLatin1String( "result." ) ), qPrintable( f ) );
}

void TestSaveResults::sameResultsUnderTwoNames()
{
    makeResults( 4 );
    mDialogs->fileAnswers = { path( "first.shp" ), path( "second.shp" ) };
    q::SaveTrackingLayer();
    q::SaveTrackingLayer();
    QVERIFY( mDialogs->shown.empty() );
    QCOMPARE( q::cResults.count(), qint64( 4 ) );
    const SavedFile first = readBack( path( "first.shp" ) );
    const SavedFile second = readBack( path( "second.shp" ) );
    QCOMPARE( first.count, qint64( 4 ) );
    QCOMPARE( second.values, first.values );
    QCOMPARE( second.areas, first.areas );
}

void TestSaveResults::folderNamedLikeTheFile_data()
{
    QTest::addColumn<QString>( "folder" );
    QTest::newRow( "folder named like the base name" ) << "results";
    QTest::newRow( "folder named like the file" ) << "results.shp";
    QTest::newRow( "file name inside the folder name" ) << "old results.shp files";
}

void TestSaveResults::folderNamedLikeTheFile()
{
    QFETCH( QString, folder );
    makeResults( 3 );
    QVERIFY( QDir( mDir.path() ).mkdir( folder ) );
    mDialogs->fileAnswers = { path( folder + "/results.shp" ) };
    q::SaveTrackingLayer();
    QVERIFY( mDialogs->shown.empty() );
    QCOMPARE( readBack( path( folder + "/results.shp" ) ).count, qint64( 3 ) );
    QCOMPARE( filesIn( path( folder ) ), shapefileParts( "results" ) );
    QVERIFY( filesIn( mDir.path() ).isEmpty() );
    QDir( path( folder ) ).removeRecursively();
}

void TestSaveResults::failuresAreReported_data()
{
    QTest::addColumn<QString>( "chosen" );
    QTest::addColumn<QString>( "valueField" );
    QTest::addColumn<bool>( "readOnlyFolder" );

    QTest::newRow( "missing folder" ) << "missing/result.shp" << "WINDPWRD" << false;
    QTest::newRow( "folder is a file" ) << "plain.txt/result.shp" << "WINDPWRD" << false;
    QTest::newRow( "unwritable folder" ) << "locked/result.shp" << "WINDPWRD" << true;
    QTest::newRow( "no result field" ) << "result.shp" << "" << false;
    QTest::newRow( "no name before the extension" ) << ".shp" << "WINDPWRD" << false;
}

void TestSaveResults::failuresAreReported()
{
    QFETCH( QString, chosen );
    QFETCH( QString, valueField );
    QFETCH( bool, readOnlyFolder );

    makeResults( 3 );
    Constants::sValueField = valueField;
    testsupport::writeBytes( path( "plain.txt" ), {} );
    if ( readOnlyFolder )
    {
        QVERIFY( QDir( mDir.path() ).mkdir( "locked" ) );
        QFile::setPermissions( path( "locked" ), QFile::ReadOwner | QFile::ExeOwner );
        if ( QFileInfo( path( "locked" ) ).isWritable() )
        {
            QDir( path( "locked" ) ).removeRecursively();
            QSKIP( "the tests run with rights that ignore folder permissions" );
        }
    }
    mDialogs->fileAnswers = { path( chosen ) };
    q::SaveTrackingLayer();
    QCOMPARE( mDialogs->texts(), QStringList { kSaveError } );
    QCOMPARE( filesIn( mDir.path() ), QStringList { "plain.txt" } );
    if ( readOnlyFolder )
    {
        QVERIFY( filesIn( path( "locked" ) ).isEmpty() );
        QFile::setPermissions( path( "locked" ), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner );
        QDir( path( "locked" ) ).removeRecursively();
    }
}

void TestSaveResults::failureHalfWayKeepsTheEarlierFile()
{
    makeResults( 3, 700.5 );
    mDialogs->fileAnswers = { path( "result.shp" ) };
    q::SaveTrackingLayer();
    const QStringList before = filesIn( mDir.path() );
    QCOMPARE( readBack( path( "result.shp" ) ).count, qint64( 3 ) );

    makeResults( 10, 200.5 );
    gis::shapefileset::setRecordWrittenHook( []( qint64 written ) {
        if ( written == 2 )
            throw gis::GisError( "injected write failure" );
    } );
    mDialogs->fileAnswers = { path( "result.shp" ) };
    q::SaveTrackingLayer();

    QCOMPARE( mDialogs->texts(), QStringList { kSaveError } );
    const SavedFile kept = readBack( path( "result.shp" ) );
    QCOMPARE( kept.count, qint64( 3 ) );
    QCOMPARE( kept.values, ( std::vector<double> { 700.5, 701.5, 702.5 } ) );
    QCOMPARE( filesIn( mDir.path() ), before );
}

void TestSaveResults::overwriteLeavesOnlyTheNewSet_data()
{
    QTest::addColumn<QStringList>( "earlier" ); // the files of an earlier set of another program
    QTest::addColumn<QString>( "chosen" );
    QTest::addColumn<QList<bool>>( "answers" );
    QTest::addColumn<QStringList>( "asked" );
    QTest::addColumn<QStringList>( "left" ); // the files in the folder afterwards; the earlier ones: nothing replaced

    const QStringList upperCase { "OLD.DBF", "OLD.PRJ", "OLD.SHP", "OLD.SHX" };
    const QString question = QStringLiteral( "OLD.SHP already exists.\nDo you want to replace it?" );
    // A .prj of another system and spatial indexes that would no longer match.
    QTest::newRow( "same name, stale indexes" ) << shapefileParts( "result" ) + QStringList { "result.qix", "result.sbn", "result.sbx" }
                                                << "result.shp" << QList<bool> {} << QStringList {} << shapefileParts( "result" );
    // Readers take OLD.SHP's parts in either letter case: the new ones must be the only ones there.
    QTest::newRow( "upper-case set chosen as it is" ) << upperCase + QStringList { "OLD.QIX", "OLD.Sbn", "OLD.cpg" } << "OLD.SHP"
                                                      << QList<bool> {} << QStringList {} << upperCase;
    QTest::newRow( "upper-case set chosen in lower case, replaced" ) << upperCase << "OLD.shp" << QList<bool> { true }
                                                                    << QStringList { question } << shapefileParts( "OLD" );
    // The only .shp is the chosen one: its index and table in upper case are its own.
    QTest::newRow( "chosen set with upper-case parts" ) << QStringList { "OLD.shp", "OLD.SHX", "OLD.DBF" } << "OLD.shp"
                                                        << QList<bool> {} << QStringList {} << shapefileParts( "OLD" );
    QTest::newRow( "upper-case set chosen in lower case, kept" ) << upperCase << "OLD.shp" << QList<bool> { false }
                                                                << QStringList { question } << upperCase;
}

void TestSaveResults::overwriteLeavesOnlyTheNewSet()
{
    QFETCH( QStringList, earlier );
    QFETCH( QString, chosen );
    QFETCH( QList<bool>, answers );
    QFETCH( QStringList, asked );
    QFETCH( QStringList, left );

    testsupport::writeShapefile( mDir.path(), "earlier.shp", { QueryFixture::square( 0, 0, 5 ) },
                                 { { "OLD", testsupport::FieldSpec::Integer } }, { { 1 } }, testsupport::kWgs84 );
    for ( const QString &name : earlier )
    {
        const QString written = path( "earlier." + QFileInfo( name ).suffix().toLower() );
        if ( QFile::exists( written ) )
            QVERIFY( QFile::rename( written, path( name ) ) );
        else
            testsupport::writeBytes( path( name ), "stale" );
    }
    for ( const QString &f : filesIn( mDir.path() ) )
    {
        if ( f.startsWith( "earlier." ) )
            QFile::remove( path( f ) );
    }

    makeResults( 5 );
    mDialogs->fileAnswers = { path( chosen ) };
    mDialogs->yesNoAnswers.assign( answers.begin(), answers.end() );
    q::SaveTrackingLayer();
    QCOMPARE( mDialogs->texts(), asked );

    QStringList files = filesIn( mDir.path() );
    files.sort();
    left.sort();
    earlier.sort();
    QCOMPARE( files, left );
    // The chosen name opens the new records, through OGR and through our reader.
    const bool replaced = left != earlier;
    const QString opened = path( replaced ? chosen : QStringLiteral( "OLD.SHP" ) );
    const SavedFile saved = readBack( opened );
    QCOMPARE( saved.count, qint64( replaced ? 5 : 1 ) );
    QCOMPARE( saved.fieldName, replaced ? "WINDPWRD" : "OLD" );
    QCOMPARE( saved.sameSrs, replaced );
    const std::shared_ptr<gis::Dataset> ours = gis::Dataset::open( opened );
    QCOMPARE( ours->recordCount(), saved.count );
    QCOMPARE( ours->value( 0, 0 ).toDouble(), saved.values.front() );
}

void TestSaveResults::otherExtensionNeverReplacesUnasked()
{
    makeResults( 3, 700.5 );
    mDialogs->fileAnswers = { path( "results.shp" ) };
    q::SaveTrackingLayer();

    // The dialog asked about results.txt only: results.shp must stay as it is.
    makeResults( 5, 200.5 );
    mDialogs->fileAnswers = { path( "results.txt" ) };
    q::SaveTrackingLayer();
    QVERIFY( mDialogs->shown.empty() );
    QCOMPARE( readBack( path( "results.shp" ) ).count, qint64( 3 ) );
    QCOMPARE( readBack( path( "results.txt.shp" ) ).count, qint64( 5 ) );

    // The set that name leads to exists now, so it is asked about; No keeps it.
    makeResults( 2, 300.5 );
    mDialogs->fileAnswers = { path( "results.txt" ) };
    mDialogs->yesNoAnswers = { false };
    q::SaveTrackingLayer();
    QCOMPARE( mDialogs->texts(), QStringList { "results.txt.shp already exists.\nDo you want to replace it?" } );
    QCOMPARE( readBack( path( "results.txt.shp" ) ).count, qint64( 5 ) );
}

void TestSaveResults::setOfOtherLetterCaseStays_data()
{
    QTest::addColumn<QString>( "chosen" );
    QTest::addColumn<QString>( "other" );

    QTest::newRow( "lower-case set chosen beside an upper-case one" ) << "OLD.shp" << "OLD.SHP";
    QTest::newRow( "upper-case set chosen beside a lower-case one" ) << "OLD.SHP" << "OLD.shp";
}

void TestSaveResults::setOfOtherLetterCaseStays()
{
    QFETCH( QString, chosen );
    QFETCH( QString, other );

    // Two complete sets of one name in two letter cases, each with its own .prj and .cpg.
    const auto writeSet = [this]( const QString &shp, int value ) {
        testsupport::writeShapefile( mDir.path(), "set.shp", { QueryFixture::square( 0, 0, 5 ) },
                                     { { "OLD", testsupport::FieldSpec::Integer } }, { { value } }, testsupport::kWgs84 );
        testsupport::writeBytes( path( "set.cpg" ), "UTF-8" );
        const bool upper = shp.endsWith( "SHP" );
        for ( const QString ext : { "shp", "shx", "dbf", "prj", "cpg" } )
            QVERIFY( QFile::rename( path( "set." + ext ), path( QFileInfo( shp ).completeBaseName() + '.' + ( upper ? ext.toUpper() : ext ) ) ) );
    };
    writeSet( other, 7 );
    writeSet( chosen, 8 );
    QStringList otherFiles;
    std::map<QString, QByteArray> otherBytes;
    const bool otherUpper = other.endsWith( "SHP" );
    for ( const QString &f : filesIn( mDir.path() ) )
    {
        const QString suffix = QFileInfo( f ).suffix();
        if ( suffix == ( otherUpper ? suffix.toUpper() : suffix.toLower() ) )
        {
            otherFiles << f;
            otherBytes[f] = testsupport::readBytes( path( f ) );
        }
    }
    QCOMPARE( otherFiles.size(), 5 );

    makeResults( 5 );
    mDialogs->fileAnswers = { path( chosen ) };
    q::SaveTrackingLayer();

    // The chosen set exists as chosen, so the dialog asked about it; nothing else is asked.
    QCOMPARE( mDialogs->texts(), QStringList {} );
    for ( const QString &f : otherFiles )
        QCOMPARE( testsupport::readBytes( path( f ) ), otherBytes[f] );
    // Readers try the lower-case parts first: the new set is read from a copy of its own.
    QVERIFY( QDir( mDir.path() ).mkpath( "check" ) );
    const QString chosenBase = QFileInfo( chosen ).completeBaseName();
    for ( const QString ext : { "shp", "shx", "dbf", "prj" } )
        QVERIFY( ( QFile::remove( path( "check/new." + ext ) ), QFile::copy( path( chosenBase + '.' + ( chosen.endsWith( "SHP" ) ? ext.toUpper() : ext ) ), path( "check/new." + ext ) ) ) );
    const SavedFile saved = readBack( path( "check/new.shp" ) );
    QCOMPARE( saved.count, qint64( 5 ) );
    QCOMPARE( saved.fieldName, "WINDPWRD" );
    QCOMPARE( filesIn( mDir.path() ).size(), otherFiles.size() + 4 );
}

QTEST_MAIN( TestSaveResults )
#include "tst_save_results.moc"
