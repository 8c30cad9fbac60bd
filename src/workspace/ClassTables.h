#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

/**
 * The fixed cartography of the standard layers and the class colour tables,
 * kept as data. Colours are component colours (r + 256*g + 65536*b).
 * Every lookup here compares names exactly unless it says otherwise.
 */

/**
 * One class table: breaks of the layer renderer, bounds of the result
 * colouring (same count) and one colour per class (count + 1, the last one
 * above the last bound). The renderer and the result colouring share the
 * colours except class 0, which the renderer may draw differently.
 */
struct ClassTable
{
    std::vector<double> rendererBreaks;
    std::vector<double> resultBounds;
    std::vector<int> colors;
    int rendererClass0Color = 0;

    int breakCount() const { return static_cast<int>( rendererBreaks.size() ); }
    int rendererColor( int cls ) const { return cls == 0 ? rendererClass0Color : colors.at( cls ); }
    int resultColor( int cls ) const { return colors.at( cls ); }
    //! Class of \a value in the result colouring: the first bound the value lies below; the top class otherwise.
    int resultClassOf( double value ) const;
};

const ClassTable &WindPowerDensityClasses();
const ClassTable &ElevationClasses();
const ClassTable &SolarResourceClasses();

//! The table of a class field ("WINDPWRD", "Elev_m", "ANNDIR", "ANNTILT", "ANNGLO"), or nullptr.
const ClassTable *classTableForField( const QString &fieldName );
bool isSolarField( const QString &fieldName );

//! A solar legend name, the standard files whose layers carry it and their value field.
struct SolarResourceName
{
    QString legendName;
    QStringList files;
    QString field;
};

//! The six solar legend names, in their fixed order.
extern const std::array<SolarResourceName, 6> SolarResourceNames;

//! One colour group of the land-use table.
struct LandUseColorGroup
{
    int color;
    QStringList names;
};

//! The land-use colour groups in lookup order (141 names in all).
const std::vector<LandUseColorGroup> &LandUseColorTable();
inline constexpr int kLandUseDefaultColor = 175 + 256 * 175 + 65536 * 177;
//! Colour of an upper-case, trimmed land-use key: the first group holding it, else the default.
int landUseColor( const QString &key );

/**
 * Settings of one standard layer: renderer field, symbol settings on the
 * layer's own symbol (only those given are made), legend name. Solar rows
 * take a non-empty caption as legend name instead.
 */
struct StandardLayerStyle
{
    // Every member is initialised, so a row of the table names only the settings it makes.
    QString file {};
    QString rendererField {};
    std::optional<int> color {};
    std::optional<int> style {};
    std::optional<bool> outline {};
    std::optional<double> size {};
    std::optional<int> outlineColor {};
    QString legendName {};
    bool captionReplacesName = false;
    bool labels = false;
};

//! One row per standard file that has a style (21_wind.shp and 22_wind.shp have none).
const std::vector<StandardLayerStyle> &StandardLayerStyles();
//! The row of \a fileName, compared exactly, or nullptr.
const StandardLayerStyle *findStandardLayerStyle( const QString &fileName );

//! Font of the state-boundary labels.
inline const QString kLabelFontName = QStringLiteral( "MS Sans Serif" );
inline constexpr int kLabelFontSize = 12;

/**
 * The fields the Info window shows for the features of one group of
 * standard files, in the order it lists them; an ordered group lists them
 * upper-cased in this order whatever the file's field order.
 */
struct InfoFieldList
{
    QStringList files;
    QStringList fields;
    bool ordered = false;
};

//! One row per group of standard files that have fields to show.
const std::vector<InfoFieldList> &InfoFieldLists();
//! The row of \a fileName, compared exactly (letter case included), or nullptr.
const InfoFieldList *findInfoFieldList( const QString &fileName );
