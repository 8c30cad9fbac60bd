#include "TestSupport.h"

#include "queries/QueryChecks.h"
#include "queries/QueryInputs.h"
#include "queries/QueryNames.h"
#include "workspace/DamageReport.h"

#include <QDirIterator>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

#include <functional>

/**
 * The user guide and the README against the program: the input limits the
 * guide states are those the input check applies, every fixed error text it
 * explains is one the program's sources hold, and the damage lines it explains
 * are those the damage report writes, and the other way round.
 */
class TestUserGuide : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void statedLimitsAreTheChecks_data();
    void statedLimitsAreTheChecks();
    void explainedMessagesAreTheProgramsOwn_data();
    void explainedMessagesAreTheProgramsOwn();
    void explainedDamageLinesAreWritten_data();
    void explainedDamageLinesAreWritten();
    void writtenDamageLinesAreExplained_data();
    void writtenDamageLinesAreExplained();

  private:
    QTextDocument mGuide;
};

namespace
{
const QString kSourceDir = QStringLiteral( OSTRAPEL_SOURCE_DIR );
const QString kDamagedFile = QStringLiteral( "20_wind.shp" );


QString readText( const QString &path )
{
    QFile file( path );
    if ( !file.open( QIODevice::ReadOnly ) )
        return {};
    return QString::fromUtf8( file.readAll() );
}

QString cellText( const QTextTable &table, int row, int column )
{
    const QTextTableCell cell = table.cellAt( row, column );
    if ( !cell.isValid() )
        return {};
    QTextCursor cursor = cell.firstCursorPosition();
    cursor.setPosition( cell.lastCursorPosition().position(), QTextCursor::KeepAnchor );
    return cursor.selectedText().replace( QChar::ParagraphSeparator, QLatin1Char( ' ' ) ).simplified();
}

//! The rows below the heading row of the guide's table whose first heading is \a heading, as cell texts.
QList<QStringList> tableRows( const QTextDocument &doc, const QString &heading )
{
    for ( QTextFrame *frame : doc.rootFrame()->childFrames() )
    {
        const QTextTable *table = qobject_cast<QTextTable *>( frame );
        if ( !table || cellText( *table, 0, 0 ) != heading )
            continue;
        QList<QStringList> rows;
        for ( int r = 1; r < table->rows(); ++r )
        {
            QStringList cells;
            for ( int c = 0; c < table->columns(); ++c )
                cells << cellText( *table, r, c );
            rows << cells;
        }
        return rows;
    }
    return {};
}

//! Every run of fixed-pitch text (code) of the guide, in order.
QStringList codeTexts( const QTextDocument &doc )
{
    QStringList texts;
    QString run;
    for ( QTextBlock block = doc.begin(); block.isValid(); block = block.next() )
    {
        for ( auto it = block.begin(); !it.atEnd(); ++it )
        {
            const QTextFragment fragment = it.fragment();
            if ( fragment.charFormat().fontFixedPitch() )
            {
                run += fragment.text();
                continue;
            }
            if ( !run.isEmpty() )
                texts << run.simplified();
            run.clear();
        }
        if ( !run.isEmpty() )
            texts << run.simplified();
        run.clear();
    }
    return texts;
}

/**
 * The texts the program's sources can put together, as patterns: the string
 * literals of one statement, in order, adjacent ones joined and code between
 * them (and a %1 inside one) standing for any text.
 */
QList<QRegularExpression> programTexts()
{
    QList<QRegularExpression> patterns;
    QDirIterator files( kSourceDir + QStringLiteral( "/src" ), { QStringLiteral( "*.cpp" ), QStringLiteral( "*.h" ) },
                        QDir::Files, QDirIterator::Subdirectories );
    while ( files.hasNext() )
    {
        const QString code = readText( files.next() );
        QStringList pieces; // fixed texts; between two of them, any text
        QString literal;
        bool inserted = false; // code since the last literal
        const auto flush = [&] {
            if ( !pieces.isEmpty() )
            {
                QStringList escaped;
                for ( const QString &piece : pieces )
                    escaped << QRegularExpression::escape( piece.simplified() );
                patterns << QRegularExpression( QRegularExpression::anchoredPattern(
                    escaped.join( QStringLiteral( ".+" ) ).replace( QRegularExpression( QStringLiteral( "%\\d" ) ),
                                                                    QStringLiteral( ".+" ) ) ) );
            }
            pieces.clear();
            inserted = false;
        };
        for ( qsizetype i = 0; i < code.size(); ++i )
        {
            const QChar c = code.at( i );
            if ( c == QLatin1Char( '/' ) && code.mid( i, 2 ) == QLatin1String( "//" ) )
            {
                i = code.indexOf( QLatin1Char( '\n' ), i );
                if ( i < 0 )
                    break;
            }
            else if ( c == QLatin1Char( '/' ) && code.mid( i, 2 ) == QLatin1String( "/*" ) )
            {
                i = code.indexOf( QLatin1String( "*/" ), i );
                if ( i < 0 )
                    break;
                ++i;
            }
            else if ( c == QLatin1Char( '\'' ) )
            {
                i = code.indexOf( QLatin1Char( '\'' ), i + ( code.mid( i, 2 ) == QLatin1String( "'\\" ) ? 3 : 2 ) );
                if ( i < 0 )
                    break;
            }
            else if ( c == QLatin1Char( '"' ) )
            {
                literal.clear();
                for ( ++i; i < code.size() && code.at( i ) != QLatin1Char( '"' ); ++i )
                {
                    if ( code.at( i ) == QLatin1Char( '\\' ) && i + 1 < code.size() )
                    {
                        ++i;
                        literal += code.at( i ) == QLatin1Char( 'n' ) ? QChar( '\n' ) : code.at( i );
                    }
                    else
                    {
                        literal += code.at( i );
                    }
                }
                if ( inserted || pieces.isEmpty() )
                    pieces << literal;
                else
                    pieces.last() += literal;
                inserted = false;
            }
            else if ( c == QLatin1Char( ';' ) || c == QLatin1Char( '{' ) || c == QLatin1Char( '}' ) )
            {
                flush();
            }
            else if ( !c.isSpace() )
            {
                // "a" "b" is one text; "a" ) + name + QStringLiteral( "b" inserts a text between.
                inserted = true;
            }
        }
        flush();
    }
    return patterns;
}

bool isProgramText( const QList<QRegularExpression> &patterns, const QString &text )
{
    const QString wanted = text.simplified();
    for ( const QRegularExpression &pattern : patterns )
    {
        if ( pattern.match( wanted ).hasMatch() )
            return true;
    }
    return false;
}

//! A damage line of the guide, with N and M for numbers and X for a name, as a pattern of one clause.
QRegularExpression damagePattern( const QString &sentence )
{
    QString pattern = QRegularExpression::escape( sentence );
    pattern.replace( QRegularExpression( QStringLiteral( "\\b[NM]\\b" ) ), QStringLiteral( "[0-9][0-9,]*" ) );
    pattern.replace( QRegularExpression( QStringLiteral( "\\bX\\b" ) ), QStringLiteral( ".+" ) );
    return QRegularExpression( QRegularExpression::anchoredPattern( pattern ) );
}

//! One damage of every kind the report words, each alone, by name.
QList<std::pair<QString, gis::ReadDamage>> damageOfEveryKind()
{
    using Unopened = gis::ReadDamage::Unopened;
    QList<std::pair<QString, gis::ReadDamage>> kinds;
    const auto add = [&]( const QString &name, const std::function<void( gis::ReadDamage & )> &set ) {
        gis::ReadDamage damage;
        damage.records = 1754;
        set( damage );
        kinds << std::pair { name, damage };
    };
    add( "records lost", []( gis::ReadDamage &d ) { d.recordsLost = 3; } );
    add( "records deleted", []( gis::ReadDamage &d ) { d.recordsDeleted = 3; } );
    add( "shapes unread", []( gis::ReadDamage &d ) { d.shapesUnread = 1545; } );
    add( "shapes undrawable", []( gis::ReadDamage &d ) { d.shapesUndrawable = 3; } );
    add( "shapes too small", []( gis::ReadDamage &d ) { d.shapesTooSmall = 3; } );
    add( "shapes with a part too small", []( gis::ReadDamage &d ) { d.shapesPartTooSmall = 1; } );
    add( "shapes outside their box", []( gis::ReadDamage &d ) { d.shapesOutsideBox = 3; } );
    add( "attributes unread", []( gis::ReadDamage &d ) { d.attributesUnread = 3; } );
    add( "field description damaged", []( gis::ReadDamage &d ) {
        d.fieldsUnread.push_back( { 2, QStringLiteral( "WINDPWRD" ), 1754 } );
    } );
    add( "field description and name damaged", []( gis::ReadDamage &d ) { d.fieldsUnread.push_back( { 3, {}, 12 } ); } );
    add( "table unread", []( gis::ReadDamage &d ) { d.tableUnread = true; } );
    add( "part damaged", []( gis::ReadDamage &d ) { d.damagedParts << QStringLiteral( "20_wind.dbf" ); } );
    add( "coordinate system unread", []( gis::ReadDamage &d ) { d.crsUnreadable = true; } );
    add( "degrees out of range", []( gis::ReadDamage &d ) { d.geographicOutOfRange = true; } );
    add( "encoding not applied", []( gis::ReadDamage &d ) { d.encodingNotApplied = QStringLiteral( "UTF-16" ); } );
    add( "index rebuilt from the records", []( gis::ReadDamage &d ) {
        d.indexRebuilt = true;
        d.part = QStringLiteral( "20_wind.shx" );
    } );
    const QList<std::pair<QString, Unopened>> unopened {
        { "not a regular file", Unopened::NotRegularFile }, { "link outside", Unopened::LinkOutside },
        { "not permitted", Unopened::NotPermitted },        { "missing index", Unopened::MissingIndex },
        { "damaged index", Unopened::DamagedIndex },        { "cannot open", Unopened::CannotOpen },
    };
    for ( const auto &[name, why] : unopened )
    {
        for ( const QString &part : { kDamagedFile, QStringLiteral( "20_wind.shx" ) } )
        {
            add( name + QStringLiteral( ", " ) + part, [why = why, part]( gis::ReadDamage &d ) {
                d.unopened = why;
                d.part = part;
            } );
        }
    }
    return kinds;
}

//! What the report writes for \a damage alone, without the file name and the full stop.
QString damageClause( const gis::ReadDamage &damage )
{
    DamageReport report;
    report.add( kDamagedFile, damage );
    QString line = report.text().section( QLatin1Char( '\n' ), -1 );
    const QString prefix = kDamagedFile + QStringLiteral( ": " );
    if ( !line.startsWith( prefix ) || !line.endsWith( QLatin1Char( '.' ) ) )
        return {};
    return line.mid( prefix.size(), line.size() - prefix.size() - 1 );
}

QStringList explainedDamageLines( const QTextDocument &guide )
{
    QStringList lines;
    for ( const QStringList &row : tableRows( guide, QStringLiteral( "The line says" ) ) )
        lines << row.value( 0 );
    return lines;
}
} // namespace

void TestUserGuide::initTestCase()
{
    // Numbers as the guide writes them: a decimal point, digits grouped by commas.
    QLocale::setDefault( QLocale( QLocale::English, QLocale::UnitedStates ) );
    const QString html = readText( kSourceDir + QStringLiteral( "/resources/PRAXEN_ONLINE_DOC.html" ) );
    QVERIFY( !html.isEmpty() );
    mGuide.setHtml( html );
}

void TestUserGuide::statedLimitsAreTheChecks_data()
{
    QTest::addColumn<QString>( "input" ); // the start of the guide's row
    QTest::addColumn<int>( "column" );    // 1 lowest, 2 highest
    QTest::addColumn<QString>( "query" );
    QTest::addColumn<QString>( "box" ); // the box that takes the limit; the others hold a sound value

    const QString wind = QStringLiteral( "Wind power density" );
    const QString solar = QStringLiteral( "Solar resource" );
    const QString distance = QStringLiteral( "Distance to roads or transmission lines" );
    using namespace querynames;
    QTest::newRow( "power density Min, lowest" ) << wind << 1 << kWindByPowerDensity << "min";
    QTest::newRow( "power density Max, highest" ) << wind << 2 << kWindByPowerDensity << "max";
    QTest::newRow( "power density Max, highest, combined query" ) << wind << 2 << kWindAll << "max";
    QTest::newRow( "solar Min, lowest" ) << solar << 1 << kSolar << "min";
    QTest::newRow( "solar Max, highest" ) << solar << 2 << kSolar << "max";
    QTest::newRow( "roads distance, lowest" ) << distance << 1 << kWindRoads << "distance2";
    QTest::newRow( "roads distance, highest" ) << distance << 2 << kWindRoads << "distance2";
    QTest::newRow( "transmission distance, lowest" ) << distance << 1 << kWindTransmission << "distance2";
    QTest::newRow( "transmission distance, highest" ) << distance << 2 << kWindTransmission << "distance2";
    QTest::newRow( "combined, transmission distance, lowest" ) << distance << 1 << kWindAll << "distance1";
    QTest::newRow( "combined, transmission distance, highest" ) << distance << 2 << kWindAll << "distance1";
    QTest::newRow( "combined, roads distance, lowest" ) << distance << 1 << kWindAll << "distance2";
    QTest::newRow( "combined, roads distance, highest" ) << distance << 2 << kWindAll << "distance2";
}

void TestUserGuide::statedLimitsAreTheChecks()
{
    QFETCH( QString, input );
    QFETCH( int, column );
    QFETCH( QString, query );
    QFETCH( QString, box );

    QString stated;
    for ( const QStringList &row : tableRows( mGuide, QStringLiteral( "Input" ) ) )
    {
        if ( row.value( 0 ).startsWith( input ) )
            stated = row.value( column );
    }
    bool isNumber = false;
    const double limit = stated.toDouble( &isNumber );
    QVERIFY2( isNumber, qPrintable( QStringLiteral( "the guide states no limit for " ) + input ) );

    const bool solar = query == querynames::kSolar;
    const auto check = [&]( double value ) {
        QueryInputs in;
        in.queryName = query;
        in.minText = QStringLiteral( "0" );
        in.maxText = solar ? QStringLiteral( "10" ) : QStringLiteral( "Max" );
        in.distance1Text = in.distance2Text = QStringLiteral( "1" );
        in.selectedLandUses << QStringLiteral( "FOREST" );
        const QString text = QString::number( value, 'g', 12 );
        if ( box == QLatin1String( "min" ) )
        {
            in.minText = text;
            in.maxText = QString::number( value + 1, 'g', 12 );
        }
        else if ( box == QLatin1String( "max" ) )
        {
            in.maxText = text;
        }
        else
        {
            ( box == QLatin1String( "distance1" ) ? in.distance1Text : in.distance2Text ) = text;
        }
        return md_query_functions2::CheckInputs( in );
    };

    testsupport::RecordingDialogs dialogs;
    const md_query_functions2::InputCheck atLimit = check( limit );
    QVERIFY2( atLimit.ok, qPrintable( atLimit.message ) );
    const double beyond = column == 1 ? limit - std::max( limit * 1e-3, 1e-4 ) : limit + limit * 1e-3;
    const md_query_functions2::InputCheck outside = check( beyond );
    QVERIFY( !outside.ok );
    QVERIFY2( !outside.message.isEmpty(), "refused by the check, not by a failure" );
    QVERIFY( dialogs.shown.empty() );
}

void TestUserGuide::explainedMessagesAreTheProgramsOwn_data()
{
    QTest::addColumn<QString>( "text" );
    QTest::addColumn<bool>( "own" );

    QStringList texts;
    for ( const QStringList &row : tableRows( mGuide, QStringLiteral( "Message" ) ) )
        texts << row.value( 0 );
    for ( const QString &code : codeTexts( mGuide ) )
    {
        if ( code.contains( QLatin1String( "Error Source:" ) ) )
            texts << code;
    }
    const QString readme = readText( kSourceDir + QStringLiteral( "/README.md" ) );
    QRegularExpressionMatchIterator quoted = QRegularExpression( QStringLiteral( "\"([^\"]+)\"" ) ).globalMatch( readme );
    while ( quoted.hasNext() )
        texts << quoted.next().captured( 1 );
    for ( QString &text : texts )
        text = text.simplified();
    texts.removeDuplicates();
    QVERIFY( texts.size() >= 5 );

    for ( const QString &text : texts )
        QTest::newRow( qPrintable( text.left( 60 ) ) ) << text << true;
    // The matcher itself must not take any text for the program's.
    QTest::newRow( "not the program's: a print error of another source" ) << "Error Source:frmPrint.cmdPrint()" << false;
    QTest::newRow( "not the program's: a message about the printer" ) << "No printer was found." << false;
}

void TestUserGuide::explainedMessagesAreTheProgramsOwn()
{
    QFETCH( QString, text );
    QFETCH( bool, own );
    static const QList<QRegularExpression> patterns = programTexts();
    QVERIFY( patterns.size() > 100 );
    QCOMPARE( isProgramText( patterns, text ), own );
}

void TestUserGuide::explainedDamageLinesAreWritten_data()
{
    QTest::addColumn<QString>( "sentence" );
    const QStringList lines = explainedDamageLines( mGuide );
    QVERIFY( lines.size() >= 15 );
    for ( const QString &line : lines )
        QTest::newRow( qPrintable( line.left( 60 ) ) ) << line;
}

void TestUserGuide::explainedDamageLinesAreWritten()
{
    QFETCH( QString, sentence );
    const QRegularExpression pattern = damagePattern( sentence );
    bool written = false;
    for ( const auto &[name, damage] : damageOfEveryKind() )
        written = written || pattern.match( damageClause( damage ) ).hasMatch();
    QVERIFY( written );
}

void TestUserGuide::writtenDamageLinesAreExplained_data()
{
    QTest::addColumn<QString>( "clause" );
    for ( const auto &[name, damage] : damageOfEveryKind() )
        QTest::newRow( qPrintable( name ) ) << damageClause( damage );
}

void TestUserGuide::writtenDamageLinesAreExplained()
{
    QFETCH( QString, clause );
    QVERIFY( !clause.isEmpty() );
    bool explained = false;
    for ( const QString &sentence : explainedDamageLines( mGuide ) )
        explained = explained || damagePattern( sentence ).match( clause ).hasMatch();
    QVERIFY2( explained, qPrintable( clause ) );
}

QTEST_MAIN( TestUserGuide )
#include "tst_userguide.moc"
