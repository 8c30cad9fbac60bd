#pragma once

#include <QByteArray>
#include <QString>

namespace gis
{

/**
 * The file set of a shapefile as the shapefile driver is to see it, with
 * an index other than its .shx: the driver holds the whole index in
 * memory, some sixteen bytes an entry, however many entries it claims, and
 * refuses an index with an entry it cannot use. The view lives in GDAL's
 * memory file system: sparse files made of the parts themselves (.shp,
 * .dbf, .prj, .cpg, read where they lie, never copied), and the index the
 * view was made with.
 *
 * The caller may rely on this: the parts of the file set are only read,
 * never changed; path() is what the driver is to open, the view or, when
 * no view could be made, the file set itself; the view is removed when the
 * object goes, so the driver's handle on it must be closed first.
 */
class DriverView
{
  public:
    //! A view of the file set of \a shpPath whose index holds the first \a entries entries of its .shx.
    DriverView( const QString &shpPath, qint64 entries );
    //! A view of the file set of \a shpPath whose index is \a index, the bytes of a whole .shx.
    DriverView( const QString &shpPath, const QByteArray &index );
    DriverView( const DriverView & ) = delete;
    DriverView &operator=( const DriverView & ) = delete;
    ~DriverView();

    const QString &path() const { return mPath; }

  private:
    //! Makes the view's folder and the parts but the index; false when no view can be made.
    bool describeParts();
    //! Makes \a made the view, when true and the index was made too.
    void finish( bool made );

    QString mShpPath;
    QByteArray mDir;
    QString mPath;
};

} // namespace gis
