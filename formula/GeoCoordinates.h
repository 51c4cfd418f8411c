#pragma once
// Geographic positions written in the coordinate systems of the functions ConvertGeoCoordinate, Latitude and
// Longitude: UTM ("33U 391776 5820072", WGS84), its military grid reference form ("33U UU 91776 20072"),
// degrees-minutes-seconds ("52°31'12.00\"N 13°24'18.00\"E") and Gauss-Krüger ("4595420 5821730": right and
// high value on the Bessel ellipsoid of the German datum DHDN, zones 3° wide, reached from WGS84 by the
// standard seven-parameter Helmert transformation).
//
// Threading: pure functions.

#include "platform/Text.h"

#include <optional>

namespace formula
{

enum class EGeoSystem
{
    Utm,
    Mgrs,
    Dms,
    GaussKrueger,
};

// The system of a name ("utm", "utmref", "utmmgrs", "dms", "gms", "gk", "gauss-krueger"; any case).
std::optional<EGeoSystem> GeoSystemOfName(KStringView name);

struct SGeoPosition
{
    double dLatitude = 0;  // decimal degrees, north positive
    double dLongitude = 0; // decimal degrees, east positive
};

// A WGS84 position written in a system; nothing when it lies outside the system's range.
std::optional<KString> WriteGeoPosition(const SGeoPosition& position, EGeoSystem system);
// A position read from its text in a system; nothing when the text cannot be read.
std::optional<SGeoPosition> ReadGeoPosition(KStringView text, EGeoSystem system);

} // namespace formula
