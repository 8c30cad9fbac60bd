#pragma once

#include "common/Dialogs.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

/**
 * Fixtures shared by the test executables.
 */
namespace testsupport
{

//! One attribute field of a fixture shapefile.
struct FieldSpec
{
    QString name;
    enum Type { Integer, Real, String } type = Real;
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

//! The UTM zone 33N system most fixtures use.
inline const QString kUtm = QStringLiteral( "EPSG:32633" );
inline const QString kWgs84 = QStringLiteral( "EPSG:4326" );

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
