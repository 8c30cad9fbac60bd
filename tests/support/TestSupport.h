#pragma once

#include "common/Dialogs.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QtEndian>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace gis
{
class Dataset;
class MapWidget;
} // namespace gis
class LegendControl;

/**
 * Fixtures shared by the test executables.
 */
namespace testsupport
{

//! One attribute field of a fixture shapefile.
struct FieldSpec
{
    QString name;
    enum Type { Integer, Real, String, Date } type = Real;
    int width = 0;     //!< 0: OGR's default
    int precision = 0;
};

/**
 * Writes \a dir/\a fileName (a .shp) through OGR: one record per WKT with the
 * given attribute values (a row per record, in field order). A null QVariant
 * writes a null field. \a srs, when not empty, becomes the .prj (anything
 * OGRSpatialReference::SetFromUserInput takes, e.g. "EPSG:32633").
 * Throws std::runtime_error on failure.
 */
void writeShapefile( const QString &dir, const QString &fileName, const QStringList &wkts,
                     const std::vector<FieldSpec> &fields = {},
                     const std::vector<std::vector<QVariant>> &rows = {}, const QString &srs = {} );

/**
 * Copies every shapefile of \a fromDir into \a toDir in the coordinate
 * system \a srs, the same projection in a unit \a metresPerUnit metres long:
 * every coordinate divided by it, fields and records as they are.
 * Throws std::runtime_error on failure.
 */
void writeInUnit( const QString &fromDir, const QString &toDir, const QString &srs, double metresPerUnit );
//! Runs the sample data generator named by OSTRAPEL_SAMPLEDATA into \a dir; false when that fails.
bool writeSampleDataSet( const QString &dir );

//! The whole content of \a path (empty when it cannot be read).
QByteArray readBytes( const QString &path );
//! Replaces the content of \a path by \a bytes. Throws std::runtime_error on failure.
void writeBytes( const QString &path, const QByteArray &bytes );
//! Overwrites the bytes of \a path from \a offset on with \a bytes. Throws std::runtime_error on failure.
void patchBytes( const QString &path, qint64 offset, const QByteArray &bytes );
//! Copies every part there is of the file set \a fromBase (a path without extension) to \a toBase, making its folder.
void copyFileSet( const QString &fromBase, const QString &toBase );

//! \a v as a file stores it little-endian, as the .shp and .dbf store most numbers.
template <typename T>
QByteArray littleEndianBytes( T v )
{
    QByteArray b( sizeof( T ), '\0' );
    qToLittleEndian( v, b.data() );
    return b;
}

//! \a v as a file stores it big-endian, as the .shp and .shx store lengths and offsets.
template <typename T>
QByteArray bigEndianBytes( T v )
{
    QByteArray b( sizeof( T ), '\0' );
    qToBigEndian( v, b.data() );
    return b;
}

/**
 * While alive, opens the given FIFOs for writing now and then: a reader
 * that wrongly opened one is released, so that the test fails instead of
 * waiting for ever.
 */
class FifoRelease
{
  public:
    explicit FifoRelease( const QStringList &fifos );
    ~FifoRelease();
    FifoRelease( const FifoRelease & ) = delete;
    FifoRelease &operator=( const FifoRelease & ) = delete;

  private:
    std::atomic<bool> mStop { false };
    std::thread mThread;
};

/**
 * While alive, file permissions bind the calling thread, and the threads it
 * starts meanwhile, even when the process runs as root, as tests do in CI:
 * the capabilities to read and search any file leave its effective set and
 * come back afterwards. A file of mode 000 then cannot be read, as for any
 * other user.
 */
class PermissionsApply
{
  public:
    PermissionsApply();
    ~PermissionsApply();
    PermissionsApply( const PermissionsApply & ) = delete;
    PermissionsApply &operator=( const PermissionsApply & ) = delete;

    //! True when a file of \a dir whose mode forbids reading it can be read all the same here.
    static bool ignoredIn( const QString &dir );

  private:
    bool mDropped = false;
};

//! Makes what a load of a data directory fills, as the main window has it: a 400 x 300 map and a legend bound to it, loaded.
void makeLoadTarget( std::unique_ptr<gis::MapWidget> &map, std::unique_ptr<LegendControl> &legend );

/**
 * Compares every shape and every value of \a dataset, read from \a path,
 * with what the shapefile driver reads there (shapes converted and made
 * valid the same way), coordinates and real numbers within \a tolerance.
 * Empty when they are equal, else what differs first.
 */
QString differenceFromDriver( const QString &path, const gis::Dataset &dataset, double tolerance = 0 );

//! The UTM zone 33N system most fixtures use.
inline const QString kUtm = QStringLiteral( "EPSG:32633" );
inline const QString kWgs84 = QStringLiteral( "EPSG:4326" );
//! The same zone with the foot (0.3048 m) and the US survey foot (1200/3937 m) as its unit.
inline const QString kUtmFeet = QStringLiteral( "+proj=utm +zone=33 +datum=WGS84 +units=ft +no_defs" );
inline const QString kUtmUsFeet = QStringLiteral( "+proj=utm +zone=33 +datum=WGS84 +units=us-ft +no_defs" );
constexpr double kMetresPerFoot = 0.3048;
constexpr double kMetresPerUsFoot = 1200.0 / 3937.0;

/**
 * Dialog stub: records every box and answers from queues; never blocks.
 * Installs itself on construction and restores the interactive one on destruction.
 */
class RecordingDialogs : public Dialogs
{
  public:
    struct Shown
    {
        QString text;
        QString title;
        Icon icon;
        bool question;
    };

    RecordingDialogs();
    ~RecordingDialogs() override;

    void message( QWidget *parent, const QString &text, const QString &title, Icon icon ) override;
    bool question( QWidget *parent, const QString &text, const QString &title, Icon icon ) override;
    QString openFile( QWidget *parent, const FileRequest &request ) override;
    QString saveFile( QWidget *parent, const FileRequest &request ) override;

    std::vector<Shown> shown;
    std::vector<FileRequest> fileRequests;
    QStringList fileAnswers;        //!< consumed in order; none left answers "cancelled"
    std::vector<bool> yesNoAnswers; //!< consumed in order; none left answers Yes

    QStringList texts() const;
    void reset();
};

} // namespace testsupport
